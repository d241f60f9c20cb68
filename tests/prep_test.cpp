// ddinfer-prep on the shipped sample of each format, and the human example
// taken out to plain tables and back.
#include "prep/prep.h"

#include <gtest/gtest.h>

#include "test_util.h"

namespace ddinfer::test {
namespace {

const fs::path formats = fs::path(DDINFER_SOURCE_DIR) / "examples" / "formats";

class PrepTest : public TempDirTest {
protected:
    // Converts and returns the written file; the run's messages in `run`.
    std::string prep(const std::string& kind, std::vector<std::string> args) {
        args.insert(args.begin(), {bin("ddinfer-prep"), kind});
        args.insert(args.end(), {"-o", "out.txt"});
        fs::remove(path("out.txt"));
        run = run_in(dir, args);
        return fs::exists(path("out.txt")) ? read_file(path("out.txt")) : "(none)";
    }
    static std::string sample(const std::string& name) { return (formats / name).string(); }
    RunResult run;
};

TEST_F(PrepTest, InteractionListsFromEachFormat) {
    // Repeats and reversed repeats merged, the self-pair and the row without
    // an accession skipped, the first of several accessions taken.
    EXPECT_EQ(prep("pairs", {"--format", "biogrid-tab3", "--physical", "--taxon", "9606", "--no-self",
                             sample("biogrid.tab3.txt")}),
              "9\nP45985 Q14315\nQ86TC9 P35609\nQ04771 P49354\nP23769 P29590\nP15927 P40763\nP84077 Q9NZ52\n"
              "A8K4W6 P53365\nQ8IZH2 P04075\nP24941 P14635\n");
    const std::string where = sample("biogrid.tab3.txt");
    EXPECT_EQ(run.err.substr(0, run.err.find(where)), "ddinfer-prep: read 16 lines; skipped 4\n  1 an interactor without a "
                                                      "SWISS-PROT or TREMBL accession, the first ");
    EXPECT_NE(run.err.find("\n  1 not physical (--physical), the first " + where + ":13: 910\\x09"), std::string::npos);
    EXPECT_NE(run.err.find("\n  1 other taxa (--taxon), the first " + where + ":14: 911\\x09"), std::string::npos);
    EXPECT_NE(run.err.find("\nddinfer-prep: wrote 9 pairs to out.txt; merged 2 repeated\n"), std::string::npos);
    EXPECT_EQ(prep("pairs", {"--format", "biogrid-tab3", "--id", "entrez", "--self", sample("biogrid.tab3.txt")})
                  .substr(0, 30),
              "13\n6416 2318\n84665 88\n90 2339\n");
    // Side B without an accession in either column: that row alone skipped.
    const std::string sample_text = read_file(where);
    std::string first_row = sample_text.substr(sample_text.find('\n') + 1);
    first_row.resize(first_row.find('\n'));
    std::vector<std::string> cells;
    for (std::size_t at = 0;; at = first_row.find('\t', at) + 1) {
        cells.push_back(first_row.substr(at, first_row.find('\t', at) - at));
        if (first_row.find('\t', at) == std::string::npos) break;
    }
    cells[26] = cells[27] = "-";  // SWISS-PROT and TREMBL Accessions Interactor B
    std::string no_b = cells[0];
    for (std::size_t c = 1; c < cells.size(); ++c) no_b += "\t" + cells[c];
    write_file(path("no_b.tab3.txt"), sample_text.substr(0, sample_text.find('\n') + 1) + first_row + "\n" + no_b + "\n");
    EXPECT_EQ(prep("pairs", {"--format", "biogrid-tab3", "no_b.tab3.txt"}), "1\nP45985 Q14315\n");
    EXPECT_NE(run.err.find("  1 an interactor without a SWISS-PROT or TREMBL accession, the first no_b.tab3.txt:3:"),
              std::string::npos)
        << run.err;
    // CRLF line ends; the first uniprotkb: id, from the alternative ids
    // too; isoform suffixes stripped; no small molecules, other taxa on
    // either side.
    EXPECT_EQ(prep("pairs", {"--format", "mitab", "--taxon", "9606", sample("mitab.txt")}),
              "4\nP49418 O43426\nP06241 P05556\nO14920 Q9Y6K9\nP62993 P00533\n");
    EXPECT_NE(run.err.find("\n  3 other taxa (--taxon), the first "), std::string::npos) << run.err;
    // A score equal to --min-score is kept; the first UniProt_AC alias of an
    // id is taken.
    EXPECT_EQ(prep("pairs", {"--format", "string", "--min-score", "490", "--keep-isoforms", "--aliases",
                             sample("string.aliases.txt"), sample("string.links.txt")}),
              "3\nP84085 O75400\nQ9UKB1 Q6ZSJ9\nQ6ZSJ9 P42345\n");
    // CRLF line ends.
    // Self-pairs (homodimers) are kept, and counted.
    EXPECT_EQ(prep("pairs", {"--format", "tsv", "--header", "--keep-isoforms", sample("pairs.tsv")}),
              "4\nP04637 Q00987\nP04637 P04637\nP38398 Q7Z569-2\nO15151 P04637\n");
    EXPECT_NE(run.err.find("\n  1 self-pairs, kept (--no-self drops them), the first "), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("  1 lines with one name, the first " + sample("pairs.tsv") + ":7: P38398\n"),
              std::string::npos);
}

TEST_F(PrepTest, DomainFilesFromEachFormat) {
    // Two regions of PF00533 in one protein make one membership; versions go.
    EXPECT_EQ(prep("domains", {"--format", "pfam-regions", sample("pfam.regions.tsv")}),
              "6\nPF08563: P04637\nPF00870: P04637\nPF07710: P04637\nPF02201: Q00987 O15151\nPF00097: P38398 Q7Z569\n"
              "PF00533: P38398\n");
    EXPECT_EQ(run.err, "ddinfer-prep: read 10 lines; skipped 0\nddinfer-prep: wrote 8 memberships to out.txt; merged 1 "
                       "repeated\n");
    EXPECT_EQ(prep("domains", {"--format", "interpro", sample("protein2ipr.dat")}),
              "5\nIPR003121: O15151 Q00987\nIPR036885: O15151\nIPR002117: P04637\nIPR008967: P04637\nIPR011615: P04637\n");
    // The same file as a map of entries to their signatures, each pair
    // once, colons as in the domain files.
    EXPECT_EQ(prep("map", {"--format", "interpro", sample("protein2ipr.dat")}),
              "IPR003121\tPF02201\nIPR036885\tG3DSA_1.10.245.10\nIPR002117\tPR00386\nIPR008967\tSSF49417\n"
              "IPR011615\tPF00870\nIPR011615\tPS00348\n");
    EXPECT_NE(run.err.find("ddinfer-prep: wrote 6 pairs of ids to out.txt; merged 2 repeated\n"), std::string::npos)
        << run.err;
    write_file(path("keep.txt"), "2\nP04637 O15151\nP04637 P04637\n");  // O15151 second only
    EXPECT_EQ(prep("domains", {"--format", "uniprot", "--proteins", "keep.txt", sample("uniprot.tsv")}),
              "5\nPF00870: P04637\nPF08563: P04637\nPF07710: P04637\nPF02201: O15151\nPF00641: O15151\n");
    EXPECT_EQ(prep("domains", {"--format", "tsv", "--keep-versions", sample("domains.tsv")}),
              "3\nPF00870: P04637\nPF02201.21: Q00987\nPF02201: O15151\n");
    // Names: a family's short name and description (not its clan's), a
    // clan's own line passed over; an InterPro entry's name and type.
    write_file(path("clans.tsv"), "PF00001\tCL0192\tGPCR_A\t7tm_1\t7 transmembrane receptor (rhodopsin family)\n"
                                  "PF00002\t\t\t7tm_2\tSecretin family\nPF00003\tCL0192\tGPCR_A\t7tm_3\t\n"
                                  "CL0192\tx\ty\tz\tw\n");
    EXPECT_EQ(prep("names", {"--format", "pfam-clans", "clans.tsv"}),
              "PF00001\t7tm_1: 7 transmembrane receptor (rhodopsin family)\nPF00002\t7tm_2: Secretin family\n"
              "PF00003\t7tm_3\n");
    // Gene names of proteins: the first of the cell (the primary name, not
    // a synonym); a protein without one passed over.
    write_file(path("genes.tsv"), "Entry\tGene Names\tPfam\nP04637\tTP53 P53\tPF00870;\nQ9XXX1\t\t\n"
                                  "O15151\tMDM4; MDMX\t\n");
    EXPECT_EQ(prep("names", {"--format", "uniprot", "genes.tsv"}), "O15151\tMDM4\nP04637\tTP53\n");
    // BioGRID: each interactor's official symbol, under the id --id picks;
    // the one interactor without an accession passed over (its gene kept
    // under its Entrez id).
    EXPECT_NE(prep("names", {"--format", "biogrid-tab3", sample("biogrid.tab3.txt")}).find("\nP04637\tTP53\nP14635\tCCNB1\n"),
              std::string::npos);
    EXPECT_NE(run.err.find("1 interactors without a SWISS-PROT or TREMBL accession, the first "), std::string::npos) << run.err;
    const std::string entrez = prep("names", {"--format", "biogrid-tab3", "--id", "entrez", sample("biogrid.tab3.txt")});
    EXPECT_NE(entrez.find("\n5290\tPIK3CA\n"), std::string::npos) << entrez;
    EXPECT_NE(entrez.find("\n7157\tTP53\n"), std::string::npos) << entrez;
    write_file(path("entry.list"), "ENTRY_AC\tENTRY_TYPE\tENTRY_NAME\nIPR000001\tDomain\tKringle\nIPR000002\tFamily\n");
    EXPECT_EQ(prep("names", {"--format", "interpro-entries", "entry.list"}), "IPR000001\tKringle (Domain)\n");
    EXPECT_EQ(run.err, "ddinfer-prep: read 3 lines; skipped 1\n  1 lines of fewer than 3 columns, the first "
                       "entry.list:3: IPR000002\\x09Family\nddinfer-prep: wrote 1 names to out.txt; merged 0 repeated\n");
}

TEST_F(PrepTest, MistakesAndFilesOfAnotherFormat) {
    EXPECT_EQ(prep("pairs", {"--format", "biogrid-tab3", sample("mitab.txt")}), "(none)");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "ddinfer-prep: " + sample("mitab.txt") +
                           ":1: this looks like a mitab file, not biogrid-tab3: use ddinfer-prep pairs --format mitab\n");
    // A BioGRID file read as MITAB used to give no pair and status 0.
    EXPECT_EQ(prep("pairs", {"--format", "mitab", sample("biogrid.tab3.txt")}), "(none)");
    EXPECT_EQ(run.err, "ddinfer-prep: " + sample("biogrid.tab3.txt") +
                           ":1: this looks like a biogrid-tab3 file, not mitab: use ddinfer-prep pairs --format "
                           "biogrid-tab3\n");
    EXPECT_EQ(prep("domains", {"--format", "interpro", sample("pfam.regions.tsv")}), "(none)");
    EXPECT_NE(run.err.find("use ddinfer-prep domains --format pfam-regions\n"), std::string::npos) << run.err;
    // Options that would do nothing for the format.
    for (const auto& [args, message] :
         {std::pair{std::vector<std::string>{"pairs", "--format", "string", "--taxon", "9606"},
                    "--taxon does nothing for pairs --format string (it applies to pairs --format biogrid-tab3, "
                    "pairs --format mitab)"},
          {{"pairs", "--format", "mitab", "--physical"},
           "--physical does nothing for pairs --format mitab (it applies to pairs --format biogrid-tab3)"},
          {{"domains", "--format", "interpro", "--no-self"}, "--no-self does nothing for domains --format interpro"}}) {
        std::vector<std::string> words{bin("ddinfer-prep")};
        words.insert(words.end(), args.begin(), args.end());
        words.insert(words.end(), {sample("mitab.txt"), "-o", "x.txt"});
        const RunResult wrong = run_in(dir, words);
        EXPECT_EQ(wrong.status, 2);
        EXPECT_EQ(wrong.err.rfind("ddinfer-prep: " + std::string(message), 0), 0u) << wrong.err;
    }
    // STRING ids without aliases are written, with a word about it.
    EXPECT_EQ(prep("pairs", {"--format", "string", sample("string.links.txt")}).substr(0, 2), "6\n");
    EXPECT_NE(run.err.find("ddinfer-prep: warning: STRING's own ids (such as 9606.ENSP"), std::string::npos) << run.err;
    EXPECT_EQ(prep("domains", {"--format", "pfam-regions", sample("uniprot.tsv")}), "(none)");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(prep("pairs", {"--format", "psi", sample("mitab.txt")}), "(none)");
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run_in(dir, {bin("ddinfer-prep"), "pairs", "--format", "tsv", sample("pairs.tsv")}).err.substr(0, 47),
              "ddinfer-prep: -o FILE names the file to write; ");
    // A first line of column names, read as a row: a warning that names it
    // (a first row of ids gets none).
    write_file(path("headed.tsv"), "protein\tpfam_id\nP1\tPF00001\n");
    EXPECT_EQ(prep("domains", {"--format", "tsv", "headed.tsv"}), "2\npfam_id: protein\nPF00001: P1\n");
    EXPECT_EQ(run.err.substr(0, run.err.find('\n') + 1),
              "ddinfer-prep: warning: headed.tsv:1: \"protein pfam_id\" looks like column names, read as a row; give "
              "--header to pass over the first line\n");
    EXPECT_EQ(prep("domains", {"--format", "tsv", "--header", "headed.tsv"}), "1\nPF00001: P1\n");
    EXPECT_EQ(run.err.find("warning"), std::string::npos);
    EXPECT_EQ(prep("domains", {"--format", "tsv", sample("domains.tsv")}).substr(0, 2), "2\n");
    EXPECT_EQ(run.err.find("warning"), std::string::npos);
    write_file(path("genes.tsv"), "GENE7\tPF00001\n");  // a protein named like a column, a domain id
    EXPECT_EQ(prep("domains", {"--format", "tsv", "genes.tsv"}), "1\nPF00001: GENE7\n");
    EXPECT_EQ(run.err.find("warning"), std::string::npos);
    // The help of one kind: its usage and options alone.
    const std::string names_help = run_in(dir, {bin("ddinfer-prep"), "names", "--help"}).out;
    EXPECT_EQ(names_help.substr(0, names_help.find('\n') + 1),
              "usage: ddinfer-prep names --format pfam-clans|interpro-entries|biogrid-tab3|uniprot IN... -o NAMES\n");
    EXPECT_EQ(names_help.find("--taxon"), std::string::npos);
    EXPECT_NE(run_in(dir, {bin("ddinfer-prep"), "--help"}).out.find("--taxon"), std::string::npos);
}

// What the shipped samples do not show: a taxon or an id on one side only,
// BioGRID's systematic names, MITAB's annotated ids and taxa, STRING's
// combined alias sources, UniProt's older column name, isoforms and bad
// names on either side.
TEST_F(PrepTest, EachSideOfEachReader) {
    write_file(path("biogrid.txt"),
               "#BioGRID Interaction ID\tSystematic Name Interactor A\tSystematic Name Interactor B\t"
               "Experimental System Type\tOrganism ID Interactor A\tOrganism ID Interactor B\t"
               "SWISS-PROT Accessions Interactor A\tTREMBL Accessions Interactor A\t"
               "SWISS-PROT Accessions Interactor B\tTREMBL Accessions Interactor B\n"
               "1\tYAL001C\tYBR002W\tphysical\t559292\t559292\tP1\t-\t-\tQ2\n"
               "2\tYAL003W\tYBR004C\tphysical\t9606\t559292\tP3\t-\tP4\t-\n");
    EXPECT_EQ(prep("pairs", {"--format", "biogrid-tab3", "--taxon", "559292", "biogrid.txt"}), "1\nP1 Q2\n");
    EXPECT_EQ(prep("pairs", {"--format", "biogrid-tab3", "--id", "systematic", "--taxon", "559292", "biogrid.txt"}),
              "1\nYAL001C YBR002W\n");
    const std::string rest = "\t-\t-\t-\t-\t-\t";
    write_file(path("mitab.txt"), "intact:EBI-1\tuniprotkb:P2\tuniprotkb:Q1(isoform synonym)|intact:EBI-9\t-" + rest +
                                      "taxid:9606|taxid:9606(Homo sapiens)\ttaxid:9606(human)\t-\t-\t-\t-\n"
                                      "intact:EBI-2\tintact:EBI-3\tuniprotkb:Q5\tuniprotkb:Q6" + rest +
                                      "taxid:9606\ttaxid:9606\t-\t-\t-\t-\n"
                                      "intact:EBI-4\tintact:EBI-5\tuniprotkb:Q7\tuniprotkb:Q8" + rest +
                                      "taxid:9606\ttaxid:10090(mouse)\t-\t-\t-\t-\n");
    EXPECT_EQ(prep("pairs", {"--format", "mitab", "--taxon", "9606", "mitab.txt"}), "2\nQ1 P2\nQ5 Q6\n") << run.err;
    write_file(path("aliases.txt"), "9606.ENSP1\tP11111\tEnsembl_UniProt_AC BLAST_UniProt_AC\n9606.ENSP2\tP22222\tUniProt_AC\n");
    write_file(path("links.txt"), "protein1 protein2 combined_score\n9606.ENSP1 9606.ENSP2 900\n");
    EXPECT_EQ(prep("pairs", {"--format", "string", "--aliases", "aliases.txt", "links.txt"}), "1\nP11111 P22222\n");
    write_file(path("p.tsv"), "A-1 B\n-7 C-2\nC D\x7f\nE-x F-\n");
    EXPECT_EQ(prep("pairs", {"--format", "tsv", "p.tsv"}), "3\nA B\n-7 C\nE-x F-\n");
    EXPECT_NE(run.err.find("  1 names holding white space or control bytes, the first p.tsv:3: "), std::string::npos)
        << run.err;
    // Only digits after the last dot make a version; only digits after the
    // last dash an isoform.
    write_file(path("v.tsv"), "P1 PF00005.\nP2-x PF00006.2\nP3-12 PF00006.\n");
    EXPECT_EQ(prep("domains", {"--format", "tsv", "v.tsv"}), "3\nPF00005.: P1\nPF00006: P2-x\nPF00006.: P3\n");
    write_file(path("uniprot.tsv"), "Entry\tCross-reference (Pfam)\nP1-2\tPF00001;PF00002;\nP3\tPF00003; PF00004\n");
    EXPECT_EQ(prep("domains", {"--format", "uniprot", "uniprot.tsv"}), "4\nPF00001: P1\nPF00002: P1\nPF00003: P3\nPF00004: P3\n");
    write_file(path("ipr.tsv"), "P1\t\tx\nP2\tIPR000001\tx\n");
    EXPECT_EQ(prep("domains", {"--format", "interpro", "ipr.tsv"}), "1\nIPR000001: P2\n");
    EXPECT_NE(run.err.find("  1 empty names, the first ipr.tsv:1: "), std::string::npos) << run.err;
}

// Every name written reads back as itself: names with white space or
// control bytes are skipped, a colon in a domain id becomes _, only a
// versioned accession loses its version; an input that gives nothing is
// an error, and nothing is written.
TEST_F(PrepTest, NamesReadBackAsWrittenAndEmptyResultsAreErrors) {
    write_file(path("ipr.tsv"), "P1\tG3DSA:1.10.245.10\tx\nP2\tPF00001.27\nP3\tcd00180\nP4\tPF00002.27.1\n"
                                "P5 X\tPF00003\nP6\x01\tPF00004\nP7\tPF 5\nP8\tG3DSA:1.10.8.10\nP9\tXY.7\n");
    EXPECT_EQ(prep("domains", {"--format", "interpro", "ipr.tsv"}),
              "6\nG3DSA_1.10.245.10: P1\nPF00001: P2\ncd00180: P3\nPF00002.27.1: P4\nG3DSA_1.10.8.10: P8\n"
              "XY.7: P9\n");
    EXPECT_EQ(run.err, "ddinfer-prep: read 9 lines; skipped 3\n"
                       "  3 names holding white space or control bytes, the first ipr.tsv:5: P5 X\\x09PF00003\n"
                       "  2 domain ids holding a colon, written with _ for it, the first ipr.tsv:1: "
                       "P1\\x09G3DSA:1.10.245.10\\x09x\n"
                       "ddinfer-prep: wrote 6 memberships to out.txt; merged 0 repeated\n");
    // A MITAB accession holding a space.
    const std::string rest = "\t-\t-\t-\t-\t-\ttaxid:9606\ttaxid:9606\t-\t-\t-\t-\n";
    write_file(path("mitab.txt"), "uniprotkb:P1 X\tuniprotkb:P2\t-\t-" + rest + "uniprotkb:P3\tuniprotkb:P4\t-\t-" + rest);
    EXPECT_EQ(prep("pairs", {"--format", "mitab", "mitab.txt"}), "1\nP3 P4\n");
    EXPECT_NE(run.err.find("  1 names holding white space or control bytes, the first mitab.txt:1: "), std::string::npos)
        << run.err;
    // Nothing to write: a header-only download, or every line skipped.
    write_file(path("header.txt"), "#BioGRID Interaction ID\tEntrez Gene Interactor A\n");
    EXPECT_EQ(prep("pairs", {"--format", "biogrid-tab3", "--id", "entrez", "header.txt"}), "(none)");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "ddinfer-prep: header.txt:1: the header lacks a column this conversion needs (the Entrez Gene id "
                       "columns, Experimental System Type, Organism ID)\n");
    write_file(path("empty.tsv"), "# nothing\n");
    EXPECT_EQ(prep("pairs", {"--format", "tsv", "empty.tsv"}), "(none)");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "ddinfer-prep: empty.tsv: no pair to write (1 lines read); nothing written\n");
    write_file(path("keep.txt"), "1\nQ1 Q2\n");
    EXPECT_EQ(prep("domains", {"--format", "interpro", "--proteins", "keep.txt", "ipr.tsv"}), "(none)");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "ddinfer-prep: ipr.tsv: no membership to write (9 lines read; 3 names holding white space or "
                       "control bytes; 6 proteins not in --proteins); nothing written\n");
    // An interaction list one line short of its count is refused as cut; a
    // blank line is no pair.
    write_file(path("short.txt"), "2\nP1 P2\n\n");
    EXPECT_EQ(prep("domains", {"--format", "interpro", "--proteins", "short.txt", "ipr.tsv"}), "(none)");
    EXPECT_EQ(run.err, "ddinfer-prep: short.txt: line 1 declares 2 pairs, but the file holds 1 (cut short?)\n");
}

// -o - is standard output; a FIFO or a device is written in place, never
// replaced by a file.
TEST_F(PrepTest, OutputsThatAreNoRegularFiles) {
    write_file(path("p.tsv"), "A B\n");
    const RunResult to_stdout = run_in(dir, {bin("ddinfer-prep"), "pairs", "--format", "tsv", "p.tsv", "-o", "-"});
    EXPECT_EQ(to_stdout.status, 0);
    EXPECT_EQ(to_stdout.out, "1\nA B\n");
    EXPECT_FALSE(fs::exists(path("-")));
    const RunResult fifo = run_in(dir, {"sh", "-c", "mkfifo out.fifo && (cat out.fifo > got &) && " +
                                                        bin("ddinfer-prep") + " pairs --format tsv p.tsv -o out.fifo"});
    EXPECT_EQ(fifo.status, 0) << fifo.err;
    EXPECT_TRUE(fs::is_fifo(path("out.fifo")));
    for (int i = 0; i < 100 && read_file(path("got")).empty(); ++i) run_in(dir, {"sleep", "0.02"});
    EXPECT_EQ(read_file(path("got")), "1\nA B\n");
}

// A zip archive of one file is read through; of several, one is named
// with --member, else the members are listed; a cut archive is an error.
// "-" reads standard input.
TEST_F(PrepTest, ZipArchivesAndStandardInput) {
    write_file(path("a.tsv"), "A B\nB C\n");
    write_file(path("b.tsv"), "X Y\n");
    ASSERT_EQ(run_in(dir, {"sh", "-c", "zip -q one.zip a.tsv && zip -q two.zip a.tsv b.tsv"}).status, 0);
    EXPECT_EQ(prep("pairs", {"--format", "tsv", "one.zip"}), "2\nA B\nB C\n");
    EXPECT_EQ(prep("pairs", {"--format", "tsv", "two.zip"}), "(none)");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "ddinfer-prep: two.zip: a zip archive of 2 files (a.tsv, b.tsv); name one with --member NAME\n");
    EXPECT_EQ(prep("pairs", {"--format", "tsv", "--member", "b.tsv", "two.zip"}), "1\nX Y\n");
    // A zipped folder: its folder entry is no file.
    ASSERT_EQ(run_in(dir, {"sh", "-c", "mkdir d e && cp a.tsv d/ && zip -qr folder.zip d && zip -q empty.zip e"}).status,
              0);
    EXPECT_EQ(prep("pairs", {"--format", "tsv", "folder.zip"}), "2\nA B\nB C\n");
    EXPECT_EQ(prep("pairs", {"--format", "tsv", "empty.zip"}), "(none)");
    EXPECT_EQ(run.err, "ddinfer-prep: empty.zip: a zip archive holding no file\n");
    EXPECT_EQ(prep("pairs", {"--format", "tsv", "--member", "b.tsv", "a.tsv"}), "(none)");
    EXPECT_EQ(run.err, "ddinfer-prep: a.tsv: --member names a file in a zip archive; this is none\n");
    EXPECT_EQ(prep("pairs", {"--format", "tsv", "--member", "c.tsv", "two.zip"}), "(none)");
    EXPECT_EQ(run.err.rfind("ddinfer-prep: two.zip: cannot open c.tsv in the zip archive: ", 0), 0u) << run.err;
    std::string big;
    for (int k = 0; k < 20000; ++k) big += numbered("P", k, " ") + numbered("Q", k * 7 % 1000, "\n");
    write_file(path("big.tsv"), big);
    ASSERT_EQ(run_in(dir, {"zip", "-q", "big.zip", "big.tsv"}).status, 0);
    const std::string zipped = read_file(path("big.zip"));
    write_file(path("cut.zip"), zipped.substr(0, zipped.size() / 2));
    EXPECT_EQ(prep("pairs", {"--format", "tsv", "cut.zip"}), "(none)");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err.rfind("ddinfer-prep: cut.zip: cannot open the zip archive: ", 0), 0u) << run.err;
    // A small archive of one endless line (3 GiB of NULs zip to 3 MB): an
    // error at once, in little memory.
    ASSERT_EQ(run_in(dir, {"sh", "-c", "head -c 50000000 /dev/zero > nul.tsv && zip -q nul.zip nul.tsv"}).status, 0);
    EXPECT_EQ(prep("pairs", {"--format", "tsv", "nul.zip"}), "(none)");
    EXPECT_EQ(run.err, "ddinfer-prep: nul.zip:1: a line of over 1 MiB: not a text file of the kind expected\n");
    const RunResult zip_piped = run_in(dir, {"sh", "-c", bin("ddinfer-prep") + " pairs --format tsv - -o x.txt < one.zip"});
    EXPECT_EQ(zip_piped.err, "ddinfer-prep: standard input: cannot read: a zip archive cannot be read from standard "
                             "input; give its file name\n");
    const RunResult piped = run_in(dir, {"sh", "-c", "gzip -c a.tsv | " + bin("ddinfer-prep") +
                                                         " pairs --format tsv - -o -"});
    EXPECT_EQ(piped.out, "2\nA B\nB C\n");
}

// The human example out to two-column tables and back in gives the shipped
// files byte for byte, and a gzip copy gives the same.
TEST_F(PrepTest, TheHumanExampleRoundTrips) {
    const fs::path example = fs::path(DDINFER_SOURCE_DIR) / "examples" / "human_pipe_2016";
    const std::string pairs = read_file(example / "pairs.txt"), domains = read_file(example / "domains.txt");
    write_file(path("pairs.tsv"), pairs.substr(pairs.find('\n') + 1));
    std::string table;
    std::istringstream lines(domains.substr(domains.find('\n') + 1));
    for (std::string line; std::getline(lines, line);) {
        const std::string domain = line.substr(0, line.find(':'));
        std::istringstream members(line.substr(line.find(':') + 1));
        for (std::string protein; members >> protein;) table += protein + "\t" + domain + "\n";
    }
    write_file(path("domains.tsv"), table);
    ASSERT_EQ(run_in(dir, {"gzip", "-k", "pairs.tsv"}).status, 0);
    EXPECT_EQ(prep("pairs", {"--format", "tsv", "--self", "pairs.tsv"}), pairs);
    EXPECT_EQ(prep("pairs", {"--format", "tsv", "--self", "pairs.tsv.gz"}), pairs);
    EXPECT_EQ(prep("domains", {"--format", "tsv", "domains.tsv"}), domains);
}

}  // namespace
}  // namespace ddinfer::test
