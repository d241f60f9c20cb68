#include "core/atomic_file.h"

#include <gtest/gtest.h>

#include "core/error.h"
#include "core/input_file.h"
#include "solve/solver.h"
#include "test_util.h"

namespace ddinfer::test {
namespace {

class AtomicFileTest : public TempDirTest {
protected:
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(dir)) found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }
    static std::string message(const std::function<void()>& f) {
        try {
            f();
        } catch (const Error& e) {
            return e.what();
        }
        return "no error";
    }
};

// Two writers of one name at once: each has a file of its own, and the
// name always holds one whole text.
TEST_F(AtomicFileTest, WritersOfOneNameNeverMix) {
    const std::string target = path("t.tsv").string();
    write_file(target, "earlier\n");
    {
        AtomicFile a(target), b(target);
        EXPECT_NE(a.temporary(), b.temporary());
        std::fputs("first half of a, ", a.file());
        std::fputs("all of b\n", b.file());
        std::fputs("second half of a\n", a.file());
        EXPECT_EQ(read_file(target), "earlier\n");
        b.commit();
        EXPECT_EQ(read_file(target), "all of b\n");
        a.commit();
    }
    EXPECT_EQ(read_file(target), "first half of a, second half of a\n");
    {
        AtomicFile dropped(target);
        std::fputs("never seen\n", dropped.file());
    }
    EXPECT_EQ(read_file(target), "first half of a, second half of a\n");
    EXPECT_EQ(names(), (std::vector<std::string>{"t.tsv"}));
}

// What a run killed outright left (a private file of a process that is
// gone) goes with the next write of the same name; a live process's stays,
// and so do names of another shape or of another file.
TEST_F(AtomicFileTest, ThePrivateFilesOfADeadRunAreRemovedNextTime) {
    const std::string live = std::to_string(getpid());
    for (const std::string& name : std::vector<std::string>{
             "r.tsv.tmp-999999999-aB3dEf", "r.tsv.tmp-" + live + "-aB3dEf", "r.tsv.tmp-XYZ-aB3dEf", "r.tsv.tmp-aB3dEf",
             "q.tsv.tmp-999999999-aB3dEf", "r.tsv.0.100000.tmp-999999999-aB3dEf.lp"}) {
        write_file(path(name), "left\n");
    }
    write_whole(path("r.tsv").string(), "whole\n");
    EXPECT_EQ(names(), (std::vector<std::string>{"q.tsv.tmp-999999999-aB3dEf", "r.tsv",
                                                 "r.tsv.0.100000.tmp-999999999-aB3dEf.lp", "r.tsv.tmp-" + live + "-aB3dEf",
                                                 "r.tsv.tmp-XYZ-aB3dEf", "r.tsv.tmp-aB3dEf"}));
    // The private LP file of a solve killed outright goes with the next
    // solve of the same list and ratio.
    const RunFiles own = private_run_files(run_files(path("r.tsv").string(), 0.1f));
    EXPECT_FALSE(fs::exists(path("r.tsv.0.100000.tmp-999999999-aB3dEf.lp")));
    EXPECT_EQ(fs::path(own.lp).filename().string().substr(0, 20 + live.size()), "r.tsv.0.100000.tmp-" + live + "-");
    // A run's own private files are named with its process id.
    AtomicFile file(path("s.tsv").string());
    EXPECT_EQ(fs::path(file.temporary()).filename().string().substr(0, 11 + live.size()), "s.tsv.tmp-" + live + "-");
    // A stop removes what is being written and the files marked as
    // unfinished, and nothing else.
    write_file(path("marked"), "half\n");
    write_file(path("unmarked"), "whole\n");
    mark_unfinished(path("marked").string());
    mark_unfinished(path("unmarked").string());
    mark_unfinished(path("unmarked").string(), false);
    remove_unfinished_files();
    EXPECT_FALSE(fs::exists(file.temporary()));
    EXPECT_FALSE(fs::exists(path("marked")));
    EXPECT_TRUE(fs::exists(path("unmarked")));
    EXPECT_TRUE(fs::exists(path("r.tsv")));
}

TEST_F(AtomicFileTest, FailuresGiveTheSystemsReasonAndLeaveTheOldFile) {
    const std::string missing = path("no/t.tsv").string();
    EXPECT_EQ(message([&] { AtomicFile f(missing); }), missing + ": cannot write: No such file or directory");
    fs::create_directory(path("folder"));
    const std::string folder = path("folder").string();
    EXPECT_EQ(message([&] { write_whole(folder, "text\n"); }), folder + ": cannot write: Is a directory");
    // Found when the file is finished, before any of a set is published.
    EXPECT_EQ(message([&] {
                  AtomicFile f(folder);
                  f.finish();
              }),
              folder + ": cannot write: Is a directory");
    write_file(path("t.tsv"), "earlier\n");
    errno = ENOSPC;  // as a failed write leaves it
    EXPECT_EQ(message([&] {
                  AtomicFile f(path("t.tsv").string());
                  f.commit(false);
              }),
              path("t.tsv").string() + ": cannot write: No space left on device");
    EXPECT_EQ(read_file(path("t.tsv")), "earlier\n");
    EXPECT_EQ(names(), (std::vector<std::string>{"folder", "t.tsv"}));
    // Results that appear together: the third cannot be renamed (a folder
    // came in its way after the checks), so the first is put back and the
    // second, new, goes.
    {
        AtomicFile first(path("t.tsv").string()), second(path("new.tsv").string()), third(path("late").string());
        for (AtomicFile* file : {&first, &second, &third}) {
            std::fputs("now\n", file->file());
            file->finish();
        }
        fs::create_directories(path("late/inside"));
        EXPECT_EQ(message([&] { publish_together({&first, &second, &third}); }),
                  path("late").string() + ": cannot write: Is a directory");
    }
    EXPECT_EQ(read_file(path("t.tsv")), "earlier\n");
    EXPECT_EQ(names(), (std::vector<std::string>{"folder", "late", "t.tsv"}));
    {
        AtomicFile first(path("t.tsv").string()), second(path("new.tsv").string());
        for (AtomicFile* file : {&first, &second}) {
            std::fputs("now\n", file->file());
            file->finish();
        }
        publish_together({&first, &second});
    }
    EXPECT_EQ(read_file(path("t.tsv")) + read_file(path("new.tsv")), "now\nnow\n");
    EXPECT_EQ(names(), (std::vector<std::string>{"folder", "late", "new.tsv", "t.tsv"}));
}

// Every byte of a file comes through, plain or compressed, the last chunk
// however short.
TEST_F(AtomicFileTest, InputFilesReadPlainAndGzipAlike) {
    for (const std::string& text : {std::string("a"), std::string(262145, 'b')}) {
        write_file(path("in.txt"), text);
        ASSERT_EQ(run_in(dir, {"sh", "-c", "gzip -c in.txt > in.gz"}).status, 0);
        for (const char* name : {"in.txt", "in.gz"}) {
            std::ostringstream read;
            read << InputFile(path(name).string()).rdbuf();
            EXPECT_EQ(read.str(), text) << name << " " << text.size();
        }
    }
}

}  // namespace
}  // namespace ddinfer::test
