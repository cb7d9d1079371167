#include "ZipCompFixture.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct ProgressCall
{
    ProgressType type;
    std::string name;
    std::int64_t size;
};

} // namespace

class ZipCallbackTest : public ZipCompFixture
{
protected:
    void SetUp() override
    {
        UseFake("fake_v160");
        zip.OnProgress = [this](TZipComponent&, ProgressType type, const std::string& name, std::int64_t size) {
            progress.push_back({type, name, size});
        };
    }
    std::map<std::string, std::string> RunScript(const std::vector<std::string>& lines)
    {
        run.Script(lines);
        zip.FSpecArgs() = {"*"};
        zip.Add();
        return run.Dump();
    }
    std::vector<ProgressCall> progress;
};

TEST_F(ZipCallbackTest, progress_actions_raise_on_progress_with_exact_64_bit_sizes)
{
    auto d = RunScript({
        "5 0 3 0 0",
        "6 0 705032704 5000000000 0",
        "1 0 705032704 5000000000 0 big/file.bin \\x01\\x09 ",
        "2 0 1048576 1048576 0",
        "wide 0",
        "1 0 -1 0 0 narrow.bin",
        "3 0 0 0 0",
        "result 2",
    });
    ASSERT_EQ(progress.size(), 6u);
    EXPECT_EQ(progress[0].type, ProgressType::TotalFiles2Process);
    EXPECT_EQ(progress[0].size, 3);
    EXPECT_EQ(progress[1].type, ProgressType::TotalSize2Process);
    EXPECT_EQ(progress[1].size, 5000000000);
    EXPECT_EQ(zip.AnnouncedTotalSize(), 5000000000);
    EXPECT_EQ(progress[2].type, ProgressType::NewFile);
    EXPECT_EQ(progress[2].name, "big/file.bin") << "trailing blanks and control characters go, '/' stays";
    EXPECT_EQ(progress[2].size, 5000000000);
    EXPECT_EQ(progress[3].type, ProgressType::ProgressUpdate);
    EXPECT_EQ(progress[3].name, "");
    EXPECT_EQ(progress[3].size, 1048576);
    EXPECT_EQ(progress[4].size, 4294967295) << "a narrow record's size is unsigned";
    EXPECT_EQ(progress[5].type, ProgressType::EndOfBatch);
    EXPECT_EQ(d["Callbacks"], "6");
    EXPECT_EQ(d["Cb.0.Answer"], "0");
    EXPECT_EQ(zip.ProcessedCount(), 2);
    EXPECT_EQ(pump.Calls, 6) << "the event pump runs once per callback";
}

TEST_F(ZipCallbackTest, every_action_without_handlers_gets_its_default_answer)
{
    zip.OnProgress = nullptr;
    zip.OnMessage = nullptr;
    zip.SetUnattended(true);
    auto d = RunScript({
        "1 0 10 10 0 a",
        "2 0 10 10 0",
        "3 0 0 0 0",
        "4 0 0 0 0 info",
        "5 0 1 0 0",
        "6 0 10 10 0",
        "7 77 0 0 0 name",
        "8 0 3 0 1 file",
        "9 11 22 0 0 file",
        "10 65537 1 0 0 file",
        "11 0 2 0 0 file",
        "12 5 6 0 0 file",
        "13 0 16 16 0",
        "99 4 5 0 0 what",
    });
    EXPECT_EQ(d["Callbacks"], "14");
    for (int i = 0; i < 14; ++i) {
        EXPECT_EQ(d["Cb." + std::to_string(i) + ".Answer"], "0") << i;
    }
    EXPECT_EQ(d["Cb.6.Arg1"], "77") << "no rename handler: the record stays as it was";
    EXPECT_EQ(d["Cb.7.Arg1"], "0") << "no password";
    EXPECT_EQ(d["Cb.7.Arg2"], "0");
    EXPECT_EQ(zip.ErrCode(), 10151) << "unattended password request";
    EXPECT_EQ(d["Cb.8.Arg1"], "2") << "no CRC handler answers 2";
    EXPECT_EQ(d["Cb.9.Arg2"], "1") << "no overwrite handler: untouched";
    EXPECT_EQ(d["Cb.11.Arg1"], "5");
    EXPECT_EQ(d["Cb.11.Text"], "file");
    EXPECT_EQ(d["Cb.12.Arg1"], "0") << "stream memory reached the engine";
    EXPECT_EQ(d["Cb.12.Size64Nonzero"], "1");
    EXPECT_EQ(d["Cb.13.Arg1"], "4");
}

TEST_F(ZipCallbackTest, engine_messages_set_codes_and_raise_on_message)
{
    auto d = RunScript({"4 0 0 0 0 just information", "4 1041 0 0 0 file.txt: cannot read  "});
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0], std::make_pair(0, std::string("just information")));
    EXPECT_EQ(messages[1], std::make_pair(1041, std::string("file.txt: cannot read")));
    EXPECT_EQ(zip.ErrCode(), 1041 & 0xFF);
    EXPECT_EQ(zip.EngineErrCode(), 1041);
    EXPECT_EQ(zip.Message(), "file.txt: cannot read");
    EXPECT_TRUE(prompter.Messages.empty() && prompter.Errors.empty()) << "engine messages are never shown in a box";

    // Code 0 keeps the last code but still updates the text.
    RunScript({"4 0 0 0 0 more information"});
    EXPECT_EQ(zip.ErrCode(), 1041 & 0xFF);
    EXPECT_EQ(zip.Message(), "more information");
}

TEST_F(ZipCallbackTest, handlers_answer_rename_crc_overwrite_skip_and_comment)
{
    zip.OnSetNewName = [](TZipComponent&, std::string& name, bool& changed) {
        if (name == "old.txt") {
            name = "new/" + std::string(600, 'n');
            changed = true;
        }
    };
    bool sawOlder = false;
    std::int32_t sawIndex = -1;
    zip.OnCRC32Error = [](TZipComponent&, const std::string&, std::uint32_t found, std::uint32_t expected,
                          bool& doExtract) { doExtract = found == expected; };
    zip.OnExtractOverwrite = [&](TZipComponent&, const std::string&, bool isOlder, bool& doOverwrite,
                                 std::int32_t dirIndex) {
        sawOlder = isOlder;
        sawIndex = dirIndex;
        doOverwrite = !doOverwrite;
    };
    UnZipSkipTypes skip{};
    zip.OnExtractSkipped = [&](TZipComponent&, const std::string&, UnZipSkipTypes type, std::int32_t) { skip = type; };
    zip.OnFileComment = [](TZipComponent&, const std::string& file, std::string& comment, bool& changed) {
        if (file == "c.txt") {
            comment = "about c";
            changed = true;
        }
    };
    auto d = RunScript({"7 0 0 0 0 old.txt", "7 5 0 0 0 keep.txt", "9 7 7 0 0 f", "9 7 8 0 0 f", "10 65541 0 0 0 f",
                        "11 515 3 0 0 f", "12 0 0 0 0 c.txt", "12 9 9 0 0 d.txt"});
    EXPECT_EQ(d["Cb.0.Arg1"], "1");
    EXPECT_EQ(d["Cb.0.Text"].size(), 511u) << "a new name is cut to 511 characters";
    EXPECT_EQ(d["Cb.1.Arg1"], "0");
    EXPECT_EQ(d["Cb.1.Text"], "keep.txt");
    EXPECT_EQ(d["Cb.2.Arg1"], "1");
    EXPECT_EQ(d["Cb.3.Arg1"], "0");
    EXPECT_TRUE(sawOlder);
    EXPECT_EQ(sawIndex, 5);
    EXPECT_EQ(d["Cb.4.Arg2"], "1");
    EXPECT_EQ(skip, UnZipSkipTypes::stFileExists);
    EXPECT_EQ(zip.ErrCode(), 515 & 0xFF);
    EXPECT_EQ(zip.EngineErrCode(), 515);
    EXPECT_EQ(d["Cb.6.Arg1"], "1");
    EXPECT_EQ(d["Cb.6.Text"], "about c");
    EXPECT_EQ(d["Cb.6.Arg2"], "7");
    EXPECT_EQ(d["Cb.7.Arg1"], "0");
    EXPECT_EQ(d["Cb.7.Text"], "");
    EXPECT_EQ(d["Cb.7.Arg2"], "0");
}

TEST_F(ZipCallbackTest, password_handler_answers_are_cut_and_capped)
{
    std::vector<TPasswordButton> buttons = {TPasswordButton::pwbOk, TPasswordButton::pwbCancel,
                                            TPasswordButton::pwbCancelAll, TPasswordButton::pwbAbort};
    std::size_t call = 0;
    std::vector<bool> sawZipAction;
    zip.OnPasswordError = [&](TZipComponent&, bool isZip, std::string& pw, const std::string&, std::uint32_t& repeat,
                              TPasswordButton& action) {
        sawZipAction.push_back(isZip);
        pw = std::string(100, 'k');
        repeat = 20;
        action = buttons[call++];
    };
    auto d = RunScript({"8 1 2 0 1 a", "8 0 2 0 0 b", "8 0 2 0 0 c", "8 0 2 0 0 d", "8 0 2 0 0 never"});
    EXPECT_EQ(sawZipAction, (std::vector<bool>{true, false, false, false}));
    EXPECT_EQ(d["Cb.0.Arg1"], "1");
    EXPECT_EQ(d["Cb.0.Text"], std::string(80, 'k'));
    EXPECT_EQ(d["Cb.0.Arg2"], "15");
    EXPECT_EQ(d["Cb.1.Arg1"], "0") << "cancel empties the password";
    EXPECT_EQ(d["Cb.1.Arg2"], "0");
    EXPECT_EQ(d["Cb.2.Action"], "0") << "cancel-all";
    EXPECT_EQ(d["Cb.2.Answer"], "0");
    EXPECT_EQ(d["Cb.3.Answer"], "-1") << "abort sets Cancel, which this same callback answers";
    EXPECT_EQ(d["StoppedAt"], "3");
    EXPECT_FALSE(zip.Cancel()) << "Cancel is cleared when Add ends";
}

TEST_F(ZipCallbackTest, password_dialogs_go_through_the_prompter)
{
    for (const auto& [result, text] :
         std::vector<std::pair<PasswordResult, std::string>>{{PasswordResult::Ok, "secret"},
                                                             {PasswordResult::Ok, "secret"},
                                                             {PasswordResult::Ok, "one"},
                                                             {PasswordResult::Ok, "two"},
                                                             {PasswordResult::CancelAll, ""},
                                                             {PasswordResult::Ok, "plain"}}) {
        prompter.QueuePassword(result, text);
    }
    auto d = RunScript({"8 1 1 0 1 new", "8 1 1 0 1 differ", "8 0 1 0 1 all", "8 0 1 0 1 plain"});
    EXPECT_EQ(d["Cb.0.Text"], "secret");
    EXPECT_EQ(d["Cb.0.Arg1"], "1");
    EXPECT_EQ(d["Cb.1.Arg1"], "0");
    EXPECT_TRUE(HasMessageStarting(*zipmsg::LookupText(10104)));
    EXPECT_EQ(d["Cb.2.Action"], "0");
    EXPECT_EQ(d["Cb.3.Text"], "plain");
    ASSERT_GE(prompter.AskedButtons.size(), 6u);
    EXPECT_EQ(prompter.AskedButtons[0], kPwButtonOk | kPwButtonCancel);
    EXPECT_EQ(prompter.Questions[1], "Enter the password again:");
    EXPECT_EQ(prompter.AskedButtons[4], kPwButtonOk | kPwButtonCancel | kPwButtonCancelAll);

    zip.SetUnattended(true);
    RunScript({"8 1 1 0 1 new"});
    EXPECT_EQ(zip.ErrCode(), 10150);
}

TEST_F(ZipCallbackTest, cancel_set_in_on_progress_stops_that_same_callback)
{
    zip.OnProgress = [](TZipComponent& sender, ProgressType type, const std::string&, std::int64_t) {
        if (type == ProgressType::NewFile) {
            sender.SetCancel(true);
        }
    };
    auto d = RunScript({"5 0 2 0 0", "1 0 1 1 0 a", "1 0 1 1 0 b", "result 2"});
    EXPECT_EQ(d["Cb.0.Answer"], "0");
    EXPECT_EQ(d["Cb.1.Answer"], "-1");
    EXPECT_EQ(d["StoppedAt"], "1");
    EXPECT_FALSE(zip.Cancel());
    EXPECT_FALSE(zip.Busy());
}

TEST_F(ZipCallbackTest, cancel_set_while_messages_are_processed_counts_at_the_next_callback)
{
    pump.Hook = [this] { zip.SetCancel(true); };
    auto d = RunScript({"5 0 2 0 0", "1 0 1 1 0 a"});
    EXPECT_EQ(d["Cb.0.Answer"], "0");
    EXPECT_EQ(d["Cb.1.Answer"], "-1");
}

TEST_F(ZipCallbackTest, a_nested_add_while_busy_does_nothing)
{
    bool nestedBusy = false;
    zip.OnProgress = [&](TZipComponent& sender, ProgressType type, const std::string&, std::int64_t) {
        if (type == ProgressType::NewFile) {
            nestedBusy = sender.Busy();
            sender.FSpecArgs() = {"other"};
            sender.Add();
        }
    };
    auto d = RunScript({"1 0 1 1 0 a", "3 0 0 0 0", "result 1"});
    EXPECT_TRUE(nestedBusy);
    EXPECT_EQ(d["Callbacks"], "2") << "the fake ran once";
    EXPECT_EQ(zip.ProcessedCount(), 1);
    EXPECT_TRUE(messages.empty());
}

TEST_F(ZipCallbackTest, an_error_thrown_by_a_handler_stops_the_engine_and_reports_10101)
{
    int calls = 0;
    zip.OnProgress = [&](TZipComponent&, ProgressType type, const std::string&, std::int64_t) {
        ++calls;
        if (type == ProgressType::NewFile) {
            throw std::runtime_error("handler broke");
        }
    };
    auto d = RunScript({"5 0 2 0 0", "1 0 1 1 0 a", "1 0 1 1 0 b", "result 2"});
    EXPECT_EQ(d["StoppedAt"], "1");
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(zip.ErrCode(), 10101);
    EXPECT_NE(zip.Message().find("handler broke"), std::string::npos);
    EXPECT_EQ(zip.ProcessedCount(), 0);
    EXPECT_FALSE(zip.Busy());
    EXPECT_TRUE(zip.FSpecArgs().empty());
    EXPECT_EQ(zip.EngineHandle(), nullptr);

    // The component is usable again afterwards.
    zip.OnProgress = nullptr;
    RunScript({"1 0 1 1 0 a", "result 1"});
    EXPECT_EQ(zip.ProcessedCount(), 1);
}
