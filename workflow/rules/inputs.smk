# The two input files of a data set under results/<dataset>/: each a copy of
# the file given, or prepared from a raw download by ddinfer-prep (a newer
# download under the same name prepares it again). The logs keep
# ddinfer-prep's report: the rows skipped and why.


rule given_pairs:
    input:
        lambda w: DATASETS[w.ds]["pairs"],
    output:
        "results/{ds}/pairs.txt",
    wildcard_constraints:
        ds=one_of(GIVEN_PAIRS),
    log:
        "logs/{ds}/given_pairs.log",
    shell:
        "cp {input} {output} 2> {log}"


rule given_domains:
    input:
        lambda w: DATASETS[w.ds]["domains"],
    output:
        "results/{ds}/domains.txt",
    wildcard_constraints:
        ds=one_of(GIVEN_DOMAINS),
    log:
        "logs/{ds}/given_domains.log",
    shell:
        "cp {input} {output} 2> {log}"


rule prep_pairs:
    # The aliases of STRING ids (raw_aliases, or --aliases FILE in
    # pairs_prep) are an input too: a newer file prepares the pairs again.
    input:
        raw=lambda w: DATASETS[w.ds]["raw_pairs"],
        aliases=lambda w: ([DATASETS[w.ds]["raw_aliases"]] if DATASETS[w.ds].get("raw_aliases") else [])
        + prep_files(DATASETS[w.ds].get("pairs_prep")),
    output:
        "results/{ds}/pairs.txt",
    wildcard_constraints:
        ds=one_of(RAW_PAIRS),
    params:
        bin=config["bin"],
        options=lambda w: DATASETS[w.ds].get("pairs_prep", "")
        + (f" --aliases {DATASETS[w.ds]['raw_aliases']}" if DATASETS[w.ds].get("raw_aliases") else ""),
    log:
        "logs/{ds}/prep_pairs.log",
    shell:
        "{params.bin}/ddinfer-prep pairs {params.options} {input.raw} -o {output} 2> {log}"


rule prep_domains:
    input:
        raw=lambda w: DATASETS[w.ds]["raw_domains"],
        pairs="results/{ds}/pairs.txt",
    output:
        "results/{ds}/domains.txt",
    wildcard_constraints:
        ds=one_of(RAW_DOMAINS),
    params:
        bin=config["bin"],
        options=lambda w: DATASETS[w.ds].get("domains_prep", ""),
    log:
        "logs/{ds}/prep_domains.log",
    shell:
        "{params.bin}/ddinfer-prep domains {params.options} --proteins {input.pairs} {input.raw} -o {output} 2> {log}"
