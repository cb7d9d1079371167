// The runner inside the process, with an event pump that changes the source tree at the runner's
// fixed points: a file that vanishes after it was found, files that grow or shrink while the engine
// compresses them. The run finishes, every other file is backed up and the problem is reported.

#include "batch/p_BatchList.h"
#include "core/Questions.h"
#include "faults/FaultKit.h"
#include "testkit/CoreDoubles.h"
#include "zipcomp/ZipComp.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>

namespace {

using faultkit::fs::path;
using testkit::writeFile;

// Records the file line and the problems; nothing else matters here.
class FileLineView : public TQuietProgressView
{
public:
    void StartFile(const std::string& text, int) override { fileLine = text; }
    std::string fileLine;
};

class RunnerFaults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetAppPrompter(&prompter);
        auto owned = std::make_unique<FileLineView>();
        view = owned.get();
        list.SetProgressForm(std::move(owned));
        list.SetEventPump(&pump);
        list.ZipComponent->SetUnattended(true);
        list.ZipComponent->SetDLLDirectory(testkit::binDir().string());
    }
    void TearDown() override { SetAppPrompter(nullptr); }

    bool reported(const std::string& part) const
    {
        for (const auto& problem : view->Problems) {
            if (problem.find(part) != std::string::npos) {
                return true;
            }
        }
        return false;
    }

    testkit::TempDir tmp;
    path src = tmp.path() / "src";
    TQueuedPrompter prompter;
    TCountingPump pump;
    FileLineView* view = nullptr;
    TpxBatchList list;
};

TEST_F(RunnerFaults, a_file_removed_after_it_was_found_is_reported_and_the_others_are_copied)
{
    writeFile(src / "a.txt", "a\n");
    writeFile(src / "gone.txt", "soon gone\n");
    writeFile(src / "sub" / "z.txt", "z\n");
    const path target = tmp.path() / "copy";
    list.UpdateZip = false;
    list.AddEntry(std::make_unique<TBatchEntry>("Copy", target.string(), src.string(), "", "", true, false, false));
    // The runner shows each file before it copies it: that is the moment to take it away.
    pump.Hook = [&] {
        if (view->fileLine == (src / "gone.txt").string()) {
            faultkit::fs::remove(src / "gone.txt");
        }
    };
    list.RunAll();
    EXPECT_TRUE(reported((src / "gone.txt").string())) << testing::PrintToString(view->Problems);
    EXPECT_EQ(faultkit::TreeDifference(faultkit::ReadTree(target), {{"a.txt", "a\n"}, {"sub/z.txt", "z\n"}}), "");
    EXPECT_EQ(list.RunSummary.ExitCode(), kExitWithErrors);
}

TEST_F(RunnerFaults, files_that_grow_or_shrink_while_compressed_leave_a_valid_archive)
{
    writeFile(src / "a.txt", "a\n");
    writeFile(src / "grow.bin", testkit::randomBytes(3 << 20, 21));
    writeFile(src / "shrink.bin", testkit::randomBytes(3 << 20, 22));
    writeFile(src / "z.txt", std::string(100000, 'z'));
    const path archive = tmp.path() / "out" / "backup.zip";
    list.AddEntry(std::make_unique<TBatchEntry>("Zip", archive.string(), src.string(), "", "", true, false, true));
    bool changed = false;
    // At the engine's first report the files are counted and sized but not yet read through.
    pump.Hook = [&] {
        if (changed || !list.ZipComponent->Busy()) {
            return;
        }
        changed = true;
        faultkit::fs::resize_file(src / "shrink.bin", 1000);
        std::ofstream grow(src / "grow.bin", std::ios::binary | std::ios::app);
        const std::string more = testkit::randomBytes(2 << 20, 23);
        grow.write(more.data(), static_cast<std::streamsize>(more.size()));
    };
    list.RunAll();
    ASSERT_TRUE(changed);
    std::string report;
    EXPECT_TRUE(faultkit::ArchiveTestsOk(archive, &report)) << report;
    EXPECT_EQ(faultkit::ArchiveNames(archive), (std::vector<std::string>{"a.txt", "grow.bin", "shrink.bin", "z.txt"}));
    EXPECT_NE(list.RunSummary.ExitCode(), kExitStoppedByError) << testing::PrintToString(view->Problems);
}

TEST_F(RunnerFaults, a_rebuild_keeps_the_previous_archive_at_its_name_until_the_new_one_is_complete)
{
    writeFile(src / "a.txt", "a\n");
    writeFile(src / "big.bin", testkit::randomBytes(3 << 20, 24));
    const path archive = tmp.path() / "out" / "backup.zip";
    list.UpdateZip = false;
    list.AddEntry(std::make_unique<TBatchEntry>("Zip", archive.string(), src.string(), "", "", true, false, true));
    list.RunAll();
    ASSERT_EQ(list.RunSummary.ExitCode(), kExitOk) << testing::PrintToString(view->Problems);
    const std::string previous = testkit::readFile(archive);

    writeFile(src / "new.txt", "new\n");
    int checks = 0;
    bool present = true;
    std::vector<std::string> replacedBy;
    // At every report of the engine the archive is at its name: the previous one, or at the very end
    // the complete new one.
    pump.Hook = [&] {
        if (!list.ZipComponent->Busy()) {
            return;
        }
        ++checks;
        present = present && faultkit::fs::exists(archive);
        if (present) {
            const std::string now = testkit::readFile(archive);
            if (now != previous) {
                replacedBy.push_back(now);
            }
        }
    };
    list.RunAll();
    EXPECT_GT(checks, 2);
    EXPECT_TRUE(present);
    EXPECT_LE(replacedBy.size(), 1u);
    for (const auto& seen : replacedBy) {
        EXPECT_EQ(seen, testkit::readFile(archive));
    }
    EXPECT_EQ(list.RunSummary.ExitCode(), kExitOk) << testing::PrintToString(view->Problems);
    EXPECT_EQ(faultkit::ArchiveNames(archive), (std::vector<std::string>{"a.txt", "big.bin", "new.txt"}));
}

TEST_F(RunnerFaults, copy_and_zip_sections_report_a_growing_file_and_a_dangling_link_alike)
{
    writeFile(src / "a.txt", "a\n");
    writeFile(src / "grow.txt", "short\n");
    faultkit::fs::create_symlink(src / "missing.txt", src / "dead.txt");
    const path target = tmp.path() / "copy";
    const path archive = tmp.path() / "out" / "backup.zip";
    list.AddEntry(std::make_unique<TBatchEntry>("Copy", target.string(), src.string(), "", "", true, false, false));
    list.AddEntry(std::make_unique<TBatchEntry>("Zip", archive.string(), src.string(), "", "", true, false, true));
    // The file grows once it was found, before it is read: at the copy's file line, at the engine's
    // first report.
    int grown = 0;
    pump.Hook = [&] {
        const bool copying = view->fileLine == (src / "grow.txt").string();
        const bool zipping = list.ZipComponent->Busy() && grown == 1;
        if ((grown == 0 && copying) || zipping) {
            ++grown;
            std::ofstream more(src / "grow.txt", std::ios::binary | std::ios::app);
            more << "and longer now\n";
        }
    };
    list.RunAll();
    EXPECT_EQ(grown, 2);
    const auto& problems = list.RunSummary.Problems;
    EXPECT_EQ(problems[static_cast<std::size_t>(TRunProblem::FileChanged)], 2)
        << testing::PrintToString(view->Problems);
    EXPECT_EQ(problems[static_cast<std::size_t>(TRunProblem::UnreadableFolder)] +
                  problems[static_cast<std::size_t>(TRunProblem::ZipError)],
              2)
        << testing::PrintToString(view->Problems);
    int links = 0;
    int changes = 0;
    for (const auto& problem : view->Problems) {
        links += problem.find((src / "dead.txt").string() + ": cannot follow the link") != std::string::npos ? 1 : 0;
        changes += problem.find((src / "grow.txt").string() + ": ") != std::string::npos &&
                           problem.find("while it was read") != std::string::npos
                       ? 1
                       : 0;
    }
    EXPECT_EQ(links, 2) << testing::PrintToString(view->Problems);
    EXPECT_EQ(changes, 2) << testing::PrintToString(view->Problems);
    EXPECT_EQ(list.RunSummary.ExitCode(), kExitWithErrors);
    EXPECT_EQ(testkit::readFile(target / "grow.txt"), "short\nand longer now\n");
}

} // namespace
