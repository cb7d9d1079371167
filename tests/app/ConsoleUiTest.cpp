// The console's progress view, questions and signal handling, on memory streams.

#include "app/ConsoleEventPump.h"
#include "app/ConsoleProgressView.h"
#include "app/ConsolePrompter.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <string>

namespace {

// A writable memory stream whose text can be read back.
class MemoryOut
{
public:
    MemoryOut() : m_file(open_memstream(&m_buffer, &m_size)) {}
    ~MemoryOut()
    {
        std::fclose(m_file);
        std::free(m_buffer);
    }
    MemoryOut(const MemoryOut&) = delete;
    MemoryOut& operator=(const MemoryOut&) = delete;
    std::FILE* file() { return m_file; }
    std::string text()
    {
        std::fflush(m_file);
        return std::string(m_buffer, m_size);
    }

private:
    char* m_buffer = nullptr;
    std::size_t m_size = 0;
    std::FILE* m_file;
};

std::size_t countOf(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

void runTwoSections(IProgressView& view)
{
    view.Show();
    view.SetBatchMax(2);
    view.StartSection("Photos", "/backup/photos.zip", "/home/me/photos", 100);
    view.StartFile("a.jpg", 100);
    view.SetFilePosition(50);
    view.ReportProblem("[1] /home/me/photos/b.jpg: cannot read it");
    view.ArchiveComplete();
    view.SetBatchPosition(1);
    view.StartSection("Papers", "/backup/papers", "/home/me/papers", 100);
    view.StartSection("Papers", "/backup/papers", "/home/me/papers", 12); // the copy section's second start
    view.SetZipPosition(12);
    view.SetBatchPosition(2);
    view.Hide();
}

} // namespace

TEST(ConsoleProgressView, without_a_terminal_writes_one_line_per_section_and_per_problem)
{
    MemoryOut out;
    TConsoleProgressView view(out.file(), false);
    runTwoSections(view);
    EXPECT_EQ(out.text(), "Section \"Photos\": /home/me/photos -> /backup/photos.zip\n"
                          "[1] /home/me/photos/b.jpg: cannot read it\n"
                          "Section \"Papers\": /home/me/papers -> /backup/papers\n");
}

TEST(ConsoleProgressView, on_a_terminal_redraws_in_place_and_stops_when_the_batch_is_done)
{
    MemoryOut out;
    TConsoleProgressView view(out.file(), true);
    runTwoSections(view);
    const std::string text = out.text();
    // The problem is printed once, above the view; the view's lines are redrawn in place.
    EXPECT_EQ(countOf(text, "[1] /home/me/photos/b.jpg: cannot read it\n"), 1U);
    EXPECT_NE(text.find("Processing archive ... Photos"), std::string::npos);
    EXPECT_NE(text.find("Zip       /backup/photos.zip"), std::string::npos);
    EXPECT_NE(text.find("Directory /home/me/photos"), std::string::npos);
    EXPECT_NE(text.find("\x1b[7A"), std::string::npos);
    // The final state stays on screen: the last drawing shows the full batch bar, and nothing is
    // drawn after it (Hide adds nothing).
    const std::string lastBatch = "Batch [##############################] 2/2\n";
    ASSERT_NE(text.find(lastBatch), std::string::npos) << text;
    const std::string tail = text.substr(text.rfind(lastBatch));
    EXPECT_EQ(tail.find("\x1b["), tail.find("\x1b[2K")); // only line clears of the last drawing
    EXPECT_EQ(countOf(tail, "\n"), 3U);                  // its Batch, Zip and File lines
}

TEST(ConsolePrompter, without_a_terminal_every_question_gets_the_safe_answer)
{
    MemoryOut out;
    TConsolePrompter prompter(stdin, out.file(), false);
    EXPECT_FALSE(prompter.Confirm("Cancel zip ?"));
    EXPECT_EQ(prompter.ConfirmYesNoCancel("Save batch file ?"), YesNoCancel::Cancel);
    std::string password = "unchanged";
    EXPECT_EQ(prompter.AskPassword("Password", "Enter:", kPwButtonOk | kPwButtonCancel, password),
              PasswordResult::Cancel);
    EXPECT_EQ(password, "unchanged");
    EXPECT_FALSE(prompter.AskVolume("Insert disk 2"));
    EXPECT_EQ(out.text(), "");
}

TEST(ConsolePrompter, on_a_terminal_reads_the_answers)
{
    char answers[] = "y\nno\n\nYES\r\n";
    std::FILE* in = fmemopen(answers, sizeof answers - 1, "r");
    MemoryOut out;
    TConsolePrompter prompter(in, out.file(), true);
    int before = 0;
    prompter.SetBeforeQuestion([&before] { ++before; });
    EXPECT_TRUE(prompter.Confirm("Cancel zip ?"));
    EXPECT_EQ(prompter.ConfirmYesNoCancel("Save batch file ?"), YesNoCancel::No);
    EXPECT_FALSE(prompter.Confirm("Cancel zip ?")); // an empty answer is the default, No
    EXPECT_TRUE(prompter.Confirm("Cancel zip ?"));
    EXPECT_FALSE(prompter.Confirm("Cancel zip ?")); // end of input
    EXPECT_EQ(before, 5);
    EXPECT_EQ(countOf(out.text(), "Cancel zip ? (y/N) "), 4U);
    std::fclose(in);
}

TEST(ConsoleEventPump, a_signal_only_sets_a_flag_that_the_pump_hands_on)
{
    std::vector<int> seen;
    {
        TConsoleEventPump pump([&seen](int signal) { seen.push_back(signal); });
        pump.ProcessMessages();
        EXPECT_TRUE(seen.empty());
        std::raise(SIGTERM);
        EXPECT_EQ(TConsoleEventPump::PendingSignal(), SIGTERM);
        EXPECT_TRUE(seen.empty());
        pump.ProcessMessages();
        pump.ProcessMessages();
        std::raise(SIGINT);
        pump.ProcessMessages();
    }
    EXPECT_EQ(seen, (std::vector<int>{SIGTERM, SIGINT}));
    // The previous handlers are back: an ignored SIGINT stays harmless.
    std::signal(SIGINT, SIG_IGN);
    std::raise(SIGINT);
    std::signal(SIGINT, SIG_DFL);
}
