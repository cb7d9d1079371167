// The runner inside the process: a recording progress view, a prompter that answers as told and an
// event pump that lets a test step in at the runner's fixed points.

#include "batch/BatchRun.h"
#include "batch/p_BatchList.h"

#include "core/AppStrings.h"
#include "core/CoreErrors.h"
#include "core/Questions.h"
#include "testkit/CoreDoubles.h"
#include "testkit/TestKit.h"
#include "zipcomp/ZipComp.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <functional>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

class RecordingView : public IProgressView
{
public:
    void Show() override { calls.push_back("Show"); }
    void Hide() override { calls.push_back("Hide"); }
    void SetBatchMax(int count) override
    {
        batchMax = count;
        batchPosition = 0;
        calls.push_back("SetBatchMax " + std::to_string(count));
    }
    void SetBatchPosition(int position) override
    {
        batchPosition = position;
        calls.push_back("SetBatchPosition " + std::to_string(position));
    }
    void StartSection(const std::string& name, const std::string&, const std::string&, int maximum) override
    {
        zipMax = maximum;
        zipPosition = 0;
        if (!name.empty()) {
            calls.push_back("StartSection " + name + " " + std::to_string(maximum));
        }
    }
    void SetZipPosition(int position) override
    {
        zipPosition = position;
        zipPositions.push_back(position);
    }
    void ArchiveComplete() override { calls.push_back("ArchiveComplete"); }
    void StartFile(const std::string&, int maximum) override
    {
        fileMax = maximum;
        filePosition = 0;
    }
    void SetFilePosition(int position) override
    {
        filePosition = position;
        filePositions.push_back(position);
    }
    void FileComplete() override
    {
        filePosition = fileMax;
        filePositions.push_back(-1);
    }
    void ReportProblem(const std::string& text) override { problems.push_back(text); }

    std::vector<std::string> calls;
    std::vector<std::string> problems;
    std::vector<int> zipPositions;
    std::vector<int> filePositions;
    int batchMax = 0, batchPosition = 0, zipMax = 0, zipPosition = 0, fileMax = 0, filePosition = 0;
};

class BatchRunner : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetAppPrompter(&prompter);
        auto owned = std::make_unique<RecordingView>();
        view = owned.get();
        list.SetProgressForm(std::move(owned));
        list.SetEventPump(&pump);
        list.ZipComponent->SetUnattended(true);
        list.ZipComponent->SetDLLDirectory(testkit::binDir().string());
        for (int i = 0; i < 4; ++i) {
            testkit::writeFile(src / ("f" + std::to_string(i) + ".dat"), testkit::randomBytes(300'000, i));
        }
        testkit::writeFile(src / "sub/note.txt", "note\n");
    }
    void TearDown() override { SetAppPrompter(nullptr); }

    void add(const std::string& name, const std::string& zip, const std::string& dir, bool compress,
             const std::string& suffix = "")
    {
        list.AddEntry(std::make_unique<TBatchEntry>(name, zip, dir, suffix, "", true, false, compress));
    }
    bool haveEngine() const { return fs::exists(testkit::binDir() / "libzipengine.so"); }

    testkit::TempDir tmp;
    fs::path src = tmp.path() / "src";
    TQueuedPrompter prompter;
    TCountingPump pump;
    TpxBatchList list;
    RecordingView* view = nullptr;
};

} // namespace

TEST_F(BatchRunner, an_entry_without_source_is_skipped_and_reported_and_the_batch_bar_ends_full)
{
    ASSERT_TRUE(haveEngine()) << "the engine is not built";
    add("One", tmp / "out/one.zip", src.string(), true);
    add("Empty", tmp / "out/two.zip", "", true);
    list.RunAll();
    EXPECT_TRUE(fs::exists(tmp.path() / "out/one.zip"));
    EXPECT_FALSE(fs::exists(tmp.path() / "out/two.zip"));
    EXPECT_EQ(view->batchMax, 2);
    EXPECT_EQ(view->batchPosition, 2);
    ASSERT_EQ(view->problems.size(), 1U);
    EXPECT_NE(view->problems[0].find("Section \"Empty\" skipped"), std::string::npos);
    EXPECT_EQ(list.RunSummary.ExitCode(), kExitWithErrors);
    EXPECT_EQ(list.RunSummary.SectionsRun, 1);
    EXPECT_EQ(view->calls.front(), "Show");
    EXPECT_EQ(view->calls.back(), "Hide");
    EXPECT_FALSE(list.Running());
}

TEST_F(BatchRunner, zip_progress_percentages_are_right_past_the_32_bit_range)
{
    const std::int64_t gib = std::int64_t{1} << 30;
    TZipComponent& zip = *list.ZipComponent;
    list.ZipProgress(zip, ProgressType::TotalSize2Process, "", 3 * gib);
    list.ZipProgress(zip, ProgressType::NewFile, "big.bin", 5 * gib / 2);
    list.ZipProgress(zip, ProgressType::ProgressUpdate, "", 5 * gib / 4);
    EXPECT_EQ(view->filePosition, 50);
    EXPECT_EQ(view->zipPosition, 42); // 1.25 of 3 GiB, rounded
    list.ZipProgress(zip, ProgressType::ProgressUpdate, "", 5 * gib / 4);
    EXPECT_EQ(view->filePosition, 100);
    EXPECT_EQ(view->zipPosition, 83);
    // An empty file fills the File bar at once.
    list.ZipProgress(zip, ProgressType::NewFile, "empty", 0);
    list.ZipProgress(zip, ProgressType::ProgressUpdate, "", 0);
    EXPECT_EQ(view->filePositions.back(), -1);
    list.ZipProgress(zip, ProgressType::EndOfBatch, "", 0);
    EXPECT_EQ(view->calls.back(), "ArchiveComplete");
    // Every event lets pending messages through, and carries the stop request to the component.
    EXPECT_EQ(pump.Calls, 7);
    list.CancelRequested = true;
    list.ZipProgress(zip, ProgressType::TotalFiles2Process, "", 1);
    EXPECT_TRUE(zip.Cancel());
}

TEST_F(BatchRunner, query_stop_asks_only_while_running_and_sets_the_stop_on_ok)
{
    EXPECT_TRUE(list.QueryStop());
    EXPECT_TRUE(prompter.Questions.empty());

    list.BatchRunning = true;
    prompter.QueueConfirm(false);
    EXPECT_FALSE(list.QueryStop());
    EXPECT_FALSE(list.CancelRequested);
    prompter.QueueConfirm(true);
    EXPECT_TRUE(list.QueryStop());
    EXPECT_TRUE(list.CancelRequested);
    EXPECT_EQ(prompter.Questions, (std::vector<std::string>{"Cancel zip ?", "Cancel zip ?"}));
    list.BatchRunning = false;
}

TEST_F(BatchRunner, run_section_outside_the_list_does_nothing)
{
    add("One", tmp / "copy", src.string(), false);
    list.RunSection(1);
    list.RunSection(-1);
    EXPECT_TRUE(view->calls.empty());
    EXPECT_FALSE(fs::exists(tmp.path() / "copy"));
}

TEST_F(BatchRunner, a_copy_section_whose_masks_match_nothing_still_counts_every_file)
{
    add("Copy", tmp / "copy", src.string(), false, "*.none");
    list.RunAll();
    EXPECT_TRUE(fs::is_directory(tmp.path() / "copy"));
    EXPECT_TRUE(fs::is_empty(tmp.path() / "copy"));
    EXPECT_EQ(list.FileTotal, 5);
    EXPECT_EQ(list.FileDone, 5);
    EXPECT_EQ(view->zipMax, 5);
    EXPECT_EQ(view->zipPositions, (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(list.RunSummary.ExitCode(), kExitOk);
}

// The system's text of a problem follows its line: English in the English line even where the
// process's locale is French (the window library sets it from the environment), French in the
// French line.
TEST_F(BatchRunner, an_unreadable_source_folder_is_reported_with_the_systems_text_in_each_lines_language)
{
    const fs::path locales = tmp.path() / "locales";
    fs::create_directories(locales);
    const auto made =
        testkit::runProcess({"localedef", "-i", "fr_FR", "-f", "UTF-8", (locales / "fr_FR.UTF-8").string()});
    ASSERT_TRUE(fs::is_directory(locales / "fr_FR.UTF-8")) << "scripts/packages.txt installs locales: " << made.err;
    ::setenv("LOCPATH", locales.c_str(), 1);
    ::setenv("LC_ALL", "fr_FR.UTF-8", 1);
    ASSERT_NE(std::setlocale(LC_ALL, ""), nullptr);
    AppStrings().Set(sCannotReadFolder, "Impossible de lire « %1 » : %2");

    add("Copy", tmp / "copy", (tmp.path() / "missing").string(), false);
    list.RunAll();

    std::setlocale(LC_ALL, "C");
    ::unsetenv("LC_ALL");
    ::unsetenv("LOCPATH");
    AppStrings().Reset();
    ASSERT_EQ(view->problems.size(), 1U);
    const std::string missing = (tmp.path() / "missing").string();
    EXPECT_NE(view->problems[0].find("Cannot read \"" + missing + "/\": No such file or directory"), std::string::npos)
        << view->problems[0];
    ASSERT_EQ(list.RunSummary.LocalProblemLines.size(), 1U);
    EXPECT_EQ(list.RunSummary.LocalProblemLines[0],
              "Impossible de lire « " + missing + "/ » : Aucun fichier ou dossier de ce type");
    EXPECT_EQ(list.RunSummary.ExitCode(), kExitWithErrors);
}

TEST_F(BatchRunner, a_stop_confirmed_while_the_engine_runs_ends_the_run_and_restores_a_rebuilt_archive)
{
    ASSERT_TRUE(haveEngine()) << "the engine is not built";
    const std::string archive = tmp / "out/a.zip";
    add("First", archive, src.string(), true);
    list.RunAll();
    ASSERT_TRUE(fs::exists(archive));
    const std::string previous = testkit::readFile(archive);

    // Rebuild, second section and an After command; the user confirms the stop at the engine's
    // first file.
    add("Second", tmp / "copy", src.string(), false);
    list.UpdateZip = false;
    list.After = "sh -c \"touch '" + (tmp / "after-ran") + "'\"";
    prompter.QueueConfirm(true);
    pump.Hook = [this] {
        if (list.ZipComponent->Busy() && !list.CancelRequested) {
            list.QueryStop();
        }
    };
    EXPECT_THROW(list.RunAll(), ESilentStop);
    EXPECT_EQ(prompter.Questions.size(), 1U);
    EXPECT_EQ(testkit::readFile(archive), previous);
    EXPECT_FALSE(fs::exists(tmp.path() / "copy"));
    EXPECT_FALSE(fs::exists(tmp.path() / "after-ran"));
    EXPECT_TRUE(list.RunSummary.StoppedByUser);
    EXPECT_EQ(list.RunSummary.ExitCode(), kExitStoppedByUser);
    EXPECT_FALSE(list.Running());
    EXPECT_EQ(view->calls.back(), "Hide");
}

TEST_F(BatchRunner, an_error_of_the_run_ends_it_and_clears_the_running_state)
{
    add("Bare", "bare.zip", src.string(), true);
    add("Copy", tmp / "copy", src.string(), false);
    struct : IBatchRunReport
    {
        void RunError(const std::string& text) override { said.push_back("error " + text); }
        void RunEnded(const TRunSummary& summary, int exitCode) override
        {
            said.push_back("ended " + std::to_string(exitCode) + " " + summary.StopError);
        }
        std::vector<std::string> said;
    } report;
    const TBatchRunResult result = RunWholeBatch(list, "", report);
    EXPECT_EQ(result.ExitCode, kExitStoppedByError);
    EXPECT_NE(result.Summary.find("Stopped by an error in section \"Bare\""), std::string::npos) << result.Summary;
    EXPECT_EQ(report.said,
              (std::vector<std::string>{"error Unable to create directory", "ended 2 Unable to create directory"}));
    EXPECT_FALSE(fs::exists(tmp.path() / "copy"));
    EXPECT_EQ(list.RunSummary.CurrentSection, "Bare");
    EXPECT_FALSE(list.Running());
    EXPECT_EQ(view->calls.back(), "Hide");
}

// ---- how the user interface is wired to the list and its component ----

TEST(BatchRunnerWiring, a_prompter_installed_after_the_list_answers_the_list_and_its_component)
{
    TpxBatchList list;    // built before any prompter exists, as a program may do
    TQueuedPrompter late; // installs itself as the application's prompter
    for (int i = 0; i < 3; ++i) {
        late.QueueConfirm(true);
    }
    ASSERT_NE(list.ZipComponent->Prompter(), nullptr);
    EXPECT_TRUE(list.ZipComponent->Prompter()->Confirm("component question"));
    list.BatchRunning = true;
    EXPECT_TRUE(list.QueryStop());
    EXPECT_TRUE(list.CancelRequested);

    // A prompter set on the list wins over the application's; nullptr goes back to it.
    TQueuedPrompter own;
    SetAppPrompter(&late); // the application's prompter stays the late one
    list.SetPrompter(&own);
    EXPECT_FALSE(list.ZipComponent->Prompter()->Confirm("to the list's own"));
    list.SetPrompter(nullptr);
    EXPECT_TRUE(list.ZipComponent->Prompter()->Confirm("back to the application's"));
    SetAppPrompter(nullptr);
    EXPECT_FALSE(list.ZipComponent->Prompter()->Confirm("nobody to ask"));
    list.BatchRunning = false;

    ASSERT_EQ(late.Questions.size(), 3U);
    EXPECT_EQ(late.Questions[0], "component question");
    ASSERT_EQ(own.Questions.size(), 1U);

    TCountingPump pump;
    list.SetEventPump(&pump);
    EXPECT_EQ(list.EventPump(), &pump);
    EXPECT_EQ(list.ZipComponent->EventPump(), nullptr); // its events reach the list, which pumps once
}

TEST_F(BatchRunner, a_second_run_started_from_the_event_pump_is_refused)
{
    ASSERT_TRUE(haveEngine()) << "the engine is not built";
    add("One", tmp / "out/one.zip", src.string(), true);
    add("Two", tmp / "out/two", src.string(), false);
    int nested = 0;
    pump.Hook = [this, &nested] {
        if (nested < 3) {
            ++nested;
            list.RunAll(); // a second click on Zip it
            list.RunSection(1);
        }
    };
    list.RunAll();
    EXPECT_EQ(nested, 3);
    EXPECT_EQ(list.RunSummary.SectionsRun, 2);
    EXPECT_EQ(list.RunSummary.ExitCode(), kExitOk);
    EXPECT_EQ(std::count(view->calls.begin(), view->calls.end(), "Show"), 1);
    EXPECT_FALSE(list.Running());
}

TEST_F(BatchRunner, a_silent_stop_from_the_event_pump_inside_the_engine_ends_the_run_as_stopped)
{
    ASSERT_TRUE(haveEngine()) << "the engine is not built";
    add("One", tmp / "out/one.zip", src.string(), true);
    add("Two", tmp / "out/two", src.string(), false);
    pump.Hook = [this] {
        if (list.ZipComponent->Busy()) {
            throw ESilentStop();
        }
    };
    EXPECT_THROW(list.RunAll(), ESilentStop);
    EXPECT_TRUE(list.RunSummary.StoppedByUser);
    EXPECT_EQ(list.RunSummary.ExitCode(), kExitStoppedByUser);
    EXPECT_TRUE(view->problems.empty()) << view->problems.front();
    EXPECT_FALSE(fs::exists(tmp.path() / "out/one.zip"));
    EXPECT_FALSE(fs::exists(tmp.path() / "out/two"));
    EXPECT_FALSE(list.ZipComponent->Busy());
    EXPECT_FALSE(list.Running());

    // Any other error from the pump is the engine call's failure (10101); the run goes on.
    pump.Hook = [this] {
        if (list.ZipComponent->Busy()) {
            throw std::runtime_error("handler failed");
        }
    };
    list.RunAll();
    ASSERT_FALSE(view->problems.empty());
    EXPECT_EQ(view->problems[0].rfind("[10101] ", 0), 0U) << view->problems[0];
    EXPECT_EQ(list.RunSummary.ExitCode(), kExitWithErrors);
    EXPECT_TRUE(fs::exists(tmp.path() / "out/two"));
}

TEST(BatchRunnerMessages, a_displaced_directory_or_trailing_bytes_are_shown_but_are_no_problem)
{
    EXPECT_EQ(ZipMessageWeight(10203), TZipMessageWeight::Notice);
    EXPECT_EQ(ZipMessageWeight(10204), TZipMessageWeight::Notice);
    EXPECT_EQ(ZipMessageWeight(ZIP_MSG_DIR_LINK_SKIPPED), TZipMessageWeight::Notice);
    EXPECT_EQ(ZipMessageWeight(10102), TZipMessageWeight::Problem);
    EXPECT_EQ(ZipMessageWeight(10201), TZipMessageWeight::Problem);
    EXPECT_EQ(ZipMessageWeight(ZIP_MSG_INFO), TZipMessageWeight::Ignored);

    TpxBatchList list;
    auto owned = std::make_unique<RecordingView>();
    RecordingView* view = owned.get();
    list.SetProgressForm(std::move(owned));
    list.ZipMessage(*list.ZipComponent, 10204, "There are bytes after the end of the archive");
    EXPECT_EQ(list.RunSummary.ProblemCount(), 0);
    EXPECT_EQ(list.RunSummary.ExitCode(), kExitOk);
    ASSERT_EQ(list.RunSummary.NoticeLines.size(), 1U);
    EXPECT_EQ(list.RunSummary.NoticeLines[0].rfind("[10204] ", 0), 0U);
    EXPECT_TRUE(view->problems.empty());
    // The console keeps the English count, which scripts read; the windows show the translation.
    AppStrings().Set(sRunNoticeCount, "%1 remarque(s).");
    EXPECT_NE(list.RunSummary.Text().find("\n1 notice(s).\n"), std::string::npos) << list.RunSummary.Text();
    EXPECT_NE(list.RunSummary.LocalText().find("\n1 remarque(s).\n"), std::string::npos);
    AppStrings().Reset();
    list.ZipMessage(*list.ZipComponent, 10102, "damaged");
    EXPECT_EQ(list.RunSummary.ExitCode(), kExitWithErrors);
}
