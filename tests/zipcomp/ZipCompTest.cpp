#include "ZipCompFixture.h"
#include "zipcomp/ZipExecBlock.h"

#include <gtest/gtest.h>

namespace {

const char* const kDefaultSuffixes =
    ".gif:.png:.z:.zip:.zoo:.arc:.lzh:.arj:.taz:.tgz:.lha:.rar:.ace:.cab:.gz:.gzip:.jar";

} // namespace

TEST(ZipComponent, constructor_sets_the_defaults)
{
    TZipComponent zip;
    EXPECT_FALSE(zip.Verbose());
    EXPECT_FALSE(zip.Trace());
    EXPECT_EQ(zip.AddCompLevel(), 9);
    EXPECT_TRUE(zip.AddOptions().Empty());
    EXPECT_EQ(zip.ExtrBaseDir(), "");
    EXPECT_TRUE(zip.ExtrOptions().Empty());
    EXPECT_EQ(zip.SFXOptions(), SFXOpts{SFXOpt::SFXCheckSize});
    EXPECT_TRUE(zip.FSpecArgs().empty());
    EXPECT_FALSE(zip.Unattended());
    EXPECT_EQ(zip.ZipFileName(), "");
    EXPECT_EQ(zip.Password(), "");
    EXPECT_EQ(zip.SFXPath(), "ZipStub.bin");
    EXPECT_EQ(zip.DLLDirectory(), "");
    EXPECT_EQ(zip.SFXOverWriteMode(), OvrOpts::OvrConfirm);
    EXPECT_EQ(zip.SFXCaption(), "Self-extracting Archive");
    EXPECT_EQ(zip.TempDir(), "");
    EXPECT_EQ(zip.KeepFreeOnDisk1(), 0);
    EXPECT_EQ(zip.MaxVolumeSize(), 0);
    EXPECT_EQ(zip.MinFreeVolumeSize(), 65536);
    EXPECT_TRUE(zip.ConfirmErase());
    EXPECT_EQ(zip.CodePage(), CodePageOpts::cpAuto);
    EXPECT_EQ(zip.HowToDelete(), DeleteOpts::htdAllowUndo);
    EXPECT_EQ(zip.VersionInfo(), "1.60 N");
    EXPECT_EQ(zip.AddStoreSuffixes().ToBits(), 0x1FFFFu);
    EXPECT_FALSE(zip.AddStoreSuffixes().Has(AddStoreExt::assEXE));
    EXPECT_EQ(zip.PasswordReqCount(), 1u);
    EXPECT_FALSE(zip.UseDirOnlyEntries());
    EXPECT_EQ(zip.RootDir(), "");
    EXPECT_FALSE(zip.Cancel());
    EXPECT_FALSE(zip.Busy());
    EXPECT_EQ(zip.EngineHandle(), nullptr);
}

TEST(ZipComponent, setters_apply_their_rules)
{
    TZipComponent zip;
    zip.SetRootDir("/data/src");
    EXPECT_EQ(zip.RootDir(), "/data/src/");
    zip.SetRootDir("/data/src/");
    EXPECT_EQ(zip.RootDir(), "/data/src/");
    zip.SetRootDir("");
    EXPECT_EQ(zip.RootDir(), "");
    zip.SetDLLDirectory("/opt/engine/");
    EXPECT_EQ(zip.DLLDirectory(), "/opt/engine");
    zip.SetPasswordReqCount(40);
    EXPECT_EQ(zip.PasswordReqCount(), 15u);
    zip.SetPasswordReqCount(7);
    EXPECT_EQ(zip.PasswordReqCount(), 7u);
    zip.SetVersionInfo("9.99");
    EXPECT_EQ(zip.VersionInfo(), "1.60 N");
    zip.SetPassword(std::string(300, 'p'));
    EXPECT_EQ(zip.Password().size(), 255u);
    AddOpts runner = AddOpts::FromBits(0x0891);
    EXPECT_TRUE(runner.Has(AddOpt::AddDirNames));
    EXPECT_TRUE(runner.Has(AddOpt::AddUpdate));
    EXPECT_TRUE(runner.Has(AddOpt::AddHiddenFiles));
    EXPECT_TRUE(runner.Has(AddOpt::AddSeparateDirs));
    EXPECT_FALSE(runner.Has(AddOpt::AddRecurseDirs));
}

TEST_F(ZipCompFixture, add_refuses_missing_settings_with_its_messages)
{
    UseFake("fake_v160");
    zip.FSpecArgs().clear();
    zip.Add();
    EXPECT_EQ(zip.ErrCode(), 10301);
    EXPECT_EQ(zip.Message(), *zipmsg::LookupText(10301));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].first, 0);
    EXPECT_EQ(prompter.Messages.size() + prompter.Errors.size(), 1u);

    zip.FSpecArgs() = {"*"};
    zip.SetZipFileName("");
    zip.Add();
    EXPECT_EQ(zip.ErrCode(), 10102);

    zip.SetUnattended(true);
    zip.SetZipFileName(run.Dir() / "out.zip");
    zip.SetAddOptions(AddOpts{AddOpt::AddEncrypt});
    zip.Add();
    EXPECT_EQ(zip.ErrCode(), 10302);
    // Unattended: reported, never shown.
    EXPECT_EQ(prompter.Messages.size() + prompter.Errors.size(), 2u);

    zip.SetAddOptions(AddOpts{AddOpt::AddDiskSpan, AddOpt::AddUpdate});
    zip.Add();
    EXPECT_EQ(zip.ErrCode(), 10303);
    zip.SetAddOptions(AddOpts{AddOpt::AddDiskSpanErase});
    zip.SetZipFileName(run.Dir() / "set.EXE");
    zip.Add();
    EXPECT_EQ(zip.ErrCode(), 11041);
    EXPECT_TRUE(run.Dump().empty()) << "the engine must not have run";
}

TEST_F(ZipCompFixture, a_second_add_without_new_specifications_reports_nothing_to_add)
{
    UseFake("fake_v160");
    run.Script({"result 3"});
    zip.FSpecArgsExcl() = {"*.bak"};
    zip.Add();
    EXPECT_EQ(zip.ProcessedCount(), 3);
    EXPECT_TRUE(zip.FSpecArgs().empty());
    EXPECT_TRUE(zip.FSpecArgsExcl().empty());
    EXPECT_FALSE(zip.Busy());
    EXPECT_EQ(zip.EngineHandle(), nullptr) << "the engine is unloaded by the Add that loaded it";
    zip.Add();
    EXPECT_EQ(zip.ErrCode(), 10301);
    EXPECT_EQ(zip.ProcessedCount(), 0);
}

TEST_F(ZipCompFixture, engine_library_problems_are_reported_by_number)
{
    struct Case
    {
        const char* fake;
        int message;
    };
    for (const Case& c : {Case{"fake_no_exports", 10602}, Case{"fake_no_exec", 10602}, Case{"fake_no_version", 10603},
                          Case{"no_such_folder", 10604}}) {
        UseFake(c.fake);
        zip.Add();
        EXPECT_EQ(zip.ErrCode(), c.message) << c.fake;
        EXPECT_EQ(zip.ProcessedCount(), 0);
        EXPECT_EQ(zip.EngineHandle(), nullptr);
        EXPECT_FALSE(zip.Busy());
    }

    // A file of the library's name that is not a library: not loadable, and the loader says why.
    testkit::writeFile(run.Dir().path() / "broken" / "libzipengine.so", "not a shared object");
    zip.SetDLLDirectory(run.Dir() / "broken");
    zip.FSpecArgs() = {"*"};
    zip.Add();
    EXPECT_EQ(zip.ErrCode(), 10604);
    EXPECT_GT(zip.Message().size(), zipmsg::LookupText(10604)->size());
}

TEST_F(ZipCompFixture, trace_reports_the_loaded_engine_and_the_version_query_unloads_again)
{
    UseFake("fake_v160");
    zip.SetTrace(true);
    zip.Add();
    EXPECT_TRUE(HasMessageStarting(*zipmsg::LookupText(10601)));
    EXPECT_EQ(run.Dump()["Trace"], "-1");
    EXPECT_EQ(run.Dump()["Verbose"], "-1");

    zip.SetTrace(false);
    zip.SetDLLDirectory(zipfake::FakeDir("fake_v150") + "/");
    EXPECT_EQ(zip.ZipEngineVersion(), 150);
    EXPECT_EQ(zip.EngineHandle(), nullptr);
    zip.SetDLLDirectory(run.Dir() / "empty");
    EXPECT_EQ(zip.ZipEngineVersion(), 0);
    EXPECT_EQ(zip.ErrCode(), 10604);
}

TEST_F(ZipCompFixture, full_block_carries_every_option)
{
    UseFake("fake_v160");
    zip.SetPassword(std::string(100, 'x'));
    zip.SetAddOptions(AddOpts{AddOpt::AddEncrypt, AddOpt::AddRecurseDirs, AddOpt::AddHiddenFiles, AddOpt::AddUpdate,
                              AddOpt::AddFreshen, AddOpt::AddMove, AddOpt::AddZipTime, AddOpt::AddForceDOS,
                              AddOpt::AddArchiveOnly, AddOpt::AddVolume});
    zip.SetAddCompLevel(4);
    zip.SetRootDir("/src/base");
    zip.SetTempDir(run.Dir() / "tmp");
    zip.SetCodePage(CodePageOpts::cpOEM);
    zip.FSpecArgs() = {"plain/*.txt", ">deep/*.c", "|flat/*.h", "secret/*.key<own<pw", "open/*.md<"};
    zip.FSpecArgsExcl() = {"*.bak", "build/*"};
    zip.Add();

    auto d = run.Dump();
    EXPECT_EQ(d["Layout"], "full");
    EXPECT_EQ(d["Handle"], "set");
    EXPECT_EQ(d["Caller"], "set");
    EXPECT_EQ(d["Callback"], "set");
    EXPECT_EQ(d["Version"], "160");
    EXPECT_EQ(d["Check"], "7");
    EXPECT_EQ(d["Password"], std::string(81, 'x'));
    EXPECT_EQ(d["StoreSuffixes"], kDefaultSuffixes);
    EXPECT_EQ(d["Encrypt"], "-1");
    EXPECT_EQ(d["HiddenFiles"], "-1");
    EXPECT_EQ(d["Volume"], "-1");
    EXPECT_EQ(d["NoDirEntries"], "-1");
    EXPECT_EQ(d["JunkDirNames"], "-1");
    EXPECT_EQ(d["Verbose"], "0");
    EXPECT_EQ(d["Trace"], "0");
    EXPECT_EQ(d["AlwaysTrue56"], "-1");
    EXPECT_EQ(d["AlwaysTrue80"], "-1");
    EXPECT_EQ(d["Level"], "4");
    EXPECT_EQ(d["Recurse"], "65535");
    EXPECT_EQ(d["ForceDOS"], "-1");
    EXPECT_EQ(d["Move"], "-1");
    EXPECT_EQ(d["Update"], "-1");
    EXPECT_EQ(d["Freshen"], "0") << "freshen is dropped when update is set";
    EXPECT_EQ(d["ZipTime"], "-1");
    EXPECT_EQ(d["ArchivePath"], run.Dir() / "out.zip");
    EXPECT_EQ(d["TempDir"], run.Dir() / "tmp");
    EXPECT_EQ(d["ArchiveComment"], "(null)");
    EXPECT_EQ(d["ArchiveOnly"], "1");
    EXPECT_EQ(d["ResetArchive"], "0");
    EXPECT_EQ(d["AllowUndo"], "-1");
    EXPECT_EQ(d["CodePage"], "2");
    EXPECT_EQ(d["CommonReservedZero"], "1");
    EXPECT_EQ(d["FullReservedZero"], "1");

    EXPECT_EQ(d["ExcludeCount"], "2");
    EXPECT_EQ(d["Exclude.0"], "*.bak");
    EXPECT_EQ(d["Exclude.1"], "build/*");

    EXPECT_EQ(d["SpecCount"], "5");
    EXPECT_EQ(d["Spec.0.FileSpec"], "plain/*.txt");
    EXPECT_EQ(d["Spec.0.Password"], std::string(81, 'x'));
    EXPECT_EQ(d["Spec.0.Encrypt"], "-1");
    EXPECT_EQ(d["Spec.0.Recurse"], "65535");
    EXPECT_EQ(d["Spec.0.RootDir"], "/src/base/");
    EXPECT_EQ(d["Spec.0.ReservedZero"], "1");
    EXPECT_EQ(d["Spec.1.FileSpec"], "deep/*.c");
    EXPECT_EQ(d["Spec.1.Recurse"], "65535");
    EXPECT_EQ(d["Spec.2.FileSpec"], "flat/*.h");
    EXPECT_EQ(d["Spec.2.Recurse"], "0");
    EXPECT_EQ(d["Spec.3.FileSpec"], "secret/*.key");
    EXPECT_EQ(d["Spec.3.Password"], "own<pw");
    EXPECT_EQ(d["Spec.3.Encrypt"], "65535");
    EXPECT_EQ(d["Spec.4.FileSpec"], "open/*.md");
    EXPECT_EQ(d["Spec.4.Password"], "(null)");
    EXPECT_EQ(d["Spec.4.Encrypt"], "0");
}

TEST_F(ZipCompFixture, plain_options_give_the_opposite_flags)
{
    UseFake("fake_v160");
    zip.SetUnattended(true);
    zip.SetAddOptions(AddOpts{AddOpt::AddDirNames, AddOpt::AddSeparateDirs, AddOpt::AddFreshen});
    zip.SetAddStoreSuffixes(AddStoreExts{AddStoreExt::assZIP, AddStoreExt::assEXE});
    zip.SetHowToDelete(DeleteOpts::htdFinal);
    zip.Add();
    auto d = run.Dump();
    EXPECT_EQ(d["Handle"], "null") << "no window handle when unattended";
    EXPECT_EQ(d["Password"], "(null)");
    EXPECT_EQ(d["StoreSuffixes"], ".zip:.exe");
    EXPECT_EQ(d["Encrypt"], "0");
    EXPECT_EQ(d["NoDirEntries"], "0");
    EXPECT_EQ(d["JunkDirNames"], "0");
    EXPECT_EQ(d["Recurse"], "0");
    EXPECT_EQ(d["Freshen"], "-1");
    EXPECT_EQ(d["TempDir"], "(null)");
    EXPECT_EQ(d["ExcludeCount"], "0");
    EXPECT_EQ(d["AllowUndo"], "0");
    EXPECT_EQ(d["CodePage"], "0");
    EXPECT_EQ(d["Spec.0.Password"], "(null)");
    EXPECT_EQ(d["Spec.0.RootDir"], "(null)");

    zip.SetAddStoreSuffixes(AddStoreExts{});
    zip.FSpecArgs() = {"*"};
    zip.Add();
    EXPECT_EQ(run.Dump()["StoreSuffixes"], "(null)");
}

TEST_F(ZipCompFixture, engines_before_160_get_no_fields_of_160)
{
    UseFake("fake_v155");
    zip.SetTempDir(run.Dir() / "tmp");
    zip.SetAddOptions(AddOpts{AddOpt::AddArchiveOnly, AddOpt::AddResetArchive});
    zip.SetCodePage(CodePageOpts::cpOEM);
    zip.FSpecArgsExcl() = {"*.bak"};
    zip.Add();
    auto d = run.Dump();
    EXPECT_EQ(d["Layout"], "full");
    EXPECT_EQ(d["TempDir"], run.Dir() / "tmp");
    EXPECT_EQ(d["SpecCount"], "1");
    EXPECT_EQ(d["Spec.0.FileSpec"], "*.txt");
    EXPECT_EQ(d["ArchiveOnly"], "0");
    EXPECT_EQ(d["ResetArchive"], "0");
    EXPECT_EQ(d["ExcludeCount"], "0");
    EXPECT_EQ(d["AllowUndo"], "0");
    EXPECT_EQ(d["CodePage"], "0");
}

TEST_F(ZipCompFixture, legacy_engines_get_the_lines_verbatim_and_at_most_4097)
{
    UseFake("fake_v150");
    zip.SetPassword("pw");
    zip.FSpecArgs().clear();
    for (int i = 0; i < 5000; ++i) {
        zip.FSpecArgs().push_back(">dir" + std::to_string(i) + "/*.txt<pw");
    }
    zip.Add();
    auto d = run.Dump();
    EXPECT_EQ(d["Layout"], "legacy");
    EXPECT_EQ(d["Check"], "7");
    EXPECT_EQ(d["Version"], "160");
    EXPECT_EQ(d["SpecCount"], "4097") << "the count never claims more lines than the block holds";
    EXPECT_EQ(d["Spec.0"], ">dir0/*.txt<pw");
    EXPECT_EQ(d["Spec.4096"], ">dir4096/*.txt<pw");
    EXPECT_EQ(d.count("Spec.4097"), 0u);
    EXPECT_EQ(d["Password"], "pw");

    zip.FSpecArgs() = {"a", "b"};
    zip.Add();
    d = run.Dump();
    EXPECT_EQ(d["SpecCount"], "2");
    EXPECT_EQ(d["SpecsAfterCountNull"], "1");
}

TEST(ZipExecBlock, specification_markers_parse_as_documented)
{
    using Line = ZipExecBlock::SpecLine;
    Line plain = ZipExecBlock::ParseSpecLine("a/*.txt");
    EXPECT_EQ(plain.pattern, "a/*.txt");
    EXPECT_EQ(plain.recurse, Line::Recurse::Block);
    EXPECT_EQ(plain.passwordKind, Line::Password::Block);
    Line lone = ZipExecBlock::ParseSpecLine("<");
    EXPECT_EQ(lone.pattern, "");
    EXPECT_EQ(lone.passwordKind, Line::Password::None);
    Line both = ZipExecBlock::ParseSpecLine("|x<y");
    EXPECT_EQ(both.pattern, "x");
    EXPECT_EQ(both.recurse, Line::Recurse::Forbid);
    EXPECT_EQ(both.password, "y");
    // Only one leading marker counts.
    EXPECT_EQ(ZipExecBlock::ParseSpecLine(">>x").pattern, ">x");
}
