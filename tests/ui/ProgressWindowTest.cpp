// The progress window: its state after creation, what a real run shows in it, the Abort button,
// closing during a run, its placement, the shortened directory, how little a busy run costs and how
// it follows a change of language.

#include "ui/p_fprogress.h"

#include "batch/p_BatchList.h"
#include "core/AppStrings.h"
#include "framework/QtEventPump.h"
#include "framework/TvkLanguage.h"
#include "framework/vk_contexte.h"
#include "testkit/TestKit.h"
#include "tests/guikit/GuiTestKit.h"
#include "ui/UiTestKit.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QLabel>
#include <QProgressBar>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <memory>
#include <set>

namespace fs = std::filesystem;

namespace {

class ProgressWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        uitest::ensureApplication();
        // The settings store names its file after the program, as the main window does at start.
        AppContexte().SetApplicationName(QStringLiteral("Vorland"));
        QSettings(QStringLiteral("Orvane"), QStringLiteral("Vorland")).clear();
    }

    static QLabel* field(TFrmSaveProgress& form, const char* name)
    {
        auto* label = form.findChild<QLabel*>(QString::fromLatin1(name));
        EXPECT_NE(label, nullptr) << name;
        return label;
    }
    static QProgressBar* bar(TFrmSaveProgress& form, const char* name)
    {
        auto* progress = form.findChild<QProgressBar*>(QString::fromLatin1(name));
        EXPECT_NE(progress, nullptr) << name;
        return progress;
    }
    static QString accessibleName(QWidget* widget)
    {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
        return face != nullptr ? face->text(QAccessible::Name) : QString();
    }
};

// A progress view that hands every call to the window and remembers the highest bar values seen.
class TRecordingWindow : public TFrmSaveProgress
{
public:
    int LastZipMax = -1;
    int HighestZip = 0;
    std::set<std::string> Sections;
    void StartSection(const std::string& name, const std::string& archive, const std::string& directory,
                      int maximum) override
    {
        if (!name.empty()) {
            Sections.insert(name);
            LastZipMax = maximum;
        }
        TFrmSaveProgress::StartSection(name, archive, directory, maximum);
    }
    void SetZipPosition(int position) override
    {
        HighestZip = std::max(HighestZip, position);
        TFrmSaveProgress::SetZipPosition(position);
    }
};

} // namespace

TEST_F(ProgressWindowTest, starts_hidden_with_an_empty_batch_of_one_hundred)
{
    TFrmSaveProgress form;
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.windowTitle(), QString::fromStdString(AppString(sProcessingArchive) + " "));
    EXPECT_EQ(bar(form, "Gauge")->maximum(), 100);
    EXPECT_EQ(bar(form, "Gauge")->value(), 0);
    EXPECT_EQ(field(form, "_idFichier")->text(), QStringLiteral("Initializing file list ..."));
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    // A screen reader finds the three bars by their captions, and the button by its text.
    EXPECT_EQ(accessibleName(bar(form, "Gauge")), QStringLiteral("Batch"));
    EXPECT_EQ(accessibleName(bar(form, "ProgressBar")), QStringLiteral("Zip"));
    EXPECT_EQ(accessibleName(bar(form, "ProgressFile")), QStringLiteral("File"));
    auto* abort = form.findChild<QAbstractButton*>(QStringLiteral("tsbZipIt"));
    ASSERT_NE(abort, nullptr);
    EXPECT_EQ(accessibleName(abort), QStringLiteral("Abort"));
}

TEST_F(ProgressWindowTest, a_real_run_fills_the_bars_and_hides_the_window_at_its_end)
{
    testkit::TempDir dir;
    for (int i = 0; i < 12; ++i) {
        testkit::writeFile(dir / ("src/f" + std::to_string(i) + ".txt"), testkit::randomBytes(3000 + i * 100, i));
    }
    testkit::writeFile(dir / "src/empty.txt", "");

    TpxBatchList batch;
    batch.ZipComponent->SetDLLDirectory(testkit::binDir().string());
    auto window = std::make_unique<TRecordingWindow>();
    TRecordingWindow* form = window.get();
    form->BatchList = &batch;
    std::vector<std::string> problems;
    form->SetProblemSink([&](const std::string& text) { problems.push_back(text); });
    batch.SetProgressForm(std::move(window));
    TQtEventPump pump;
    batch.SetEventPump(&pump);
    batch.AddEntry(std::make_unique<TBatchEntry>("zip", dir / "out.zip", dir / "src", "", "", true, false, true));
    batch.AddEntry(std::make_unique<TBatchEntry>("copy", dir / "copy", dir / "src", "", "", true, false, false));

    bool shownDuringRun = false;
    QTimer::singleShot(0, [&] { shownDuringRun = form->isVisible(); });
    batch.RunAll();

    EXPECT_EQ(batch.RunSummary.ExitCode(), kExitOk) << batch.RunSummary.Text();
    EXPECT_TRUE(problems.empty());
    EXPECT_TRUE(shownDuringRun);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->Sections, (std::set<std::string>{"zip", "copy"}));
    // The copy section counts files: its Zip bar's maximum is the number found.
    EXPECT_EQ(form->LastZipMax, 13);
    EXPECT_EQ(bar(*form, "Gauge")->value(), 2);
    EXPECT_EQ(bar(*form, "Gauge")->maximum(), 2);
    EXPECT_EQ(bar(*form, "ProgressBar")->value(), 13);
    EXPECT_TRUE(fs::exists(dir.path() / "copy" / "f11.txt"));
    const auto test = testkit::runProcess({"unzip", "-tq", dir / "out.zip"});
    EXPECT_EQ(test.exitCode, 0) << test.out << test.err;
}

TEST_F(ProgressWindowTest, abort_asks_only_while_a_run_goes_on)
{
    TQueuedPrompter prompter;
    TpxBatchList batch;
    TFrmSaveProgress form;
    form.BatchList = &batch;
    auto* abort = form.findChild<QAbstractButton*>(QStringLiteral("tsbZipIt"));
    ASSERT_NE(abort, nullptr);

    abort->click();
    EXPECT_TRUE(prompter.Questions.empty());
    EXPECT_FALSE(batch.CancelRequested);

    batch.BatchRunning = true;
    prompter.QueueConfirm(false);
    prompter.QueueConfirm(true);
    abort->click();
    ASSERT_EQ(prompter.Questions.size(), 1u);
    EXPECT_EQ(prompter.Questions[0], AppString(sCancelZip));
    EXPECT_FALSE(batch.CancelRequested);
    abort->click();
    EXPECT_TRUE(batch.CancelRequested);
    batch.BatchRunning = false;
}

TEST_F(ProgressWindowTest, closing_hides_the_window_and_the_next_one_opens_where_it_was)
{
    {
        TFrmSaveProgress form;
        form.Show();
        form.move(140, 90);
        form.resize(620, form.height());
        form.close();
        EXPECT_FALSE(form.isVisible());
        // The run goes on: the window keeps following it, hidden.
        form.SetBatchPosition(1);
        form.Flush();
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(bar(form, "Gauge")->value(), 1);
    }
    TFrmSaveProgress again;
    EXPECT_EQ(again.pos(), QPoint(140, 90));
    EXPECT_EQ(again.width(), 620);
}

TEST_F(ProgressWindowTest, a_stored_placement_of_the_wrong_type_is_ignored)
{
    QSettings settings(QStringLiteral("Orvane"), QStringLiteral("Vorland"));
    settings.setValue(QStringLiteral("Settings/FrmSaveProgress/Left"), QStringLiteral("far"));
    settings.setValue(QStringLiteral("Settings/FrmSaveProgress/Top"), 10);
    settings.sync();
    TFrmSaveProgress reference;
    TFrmSaveProgress form;
    EXPECT_EQ(form.pos(), reference.pos());
}

TEST_F(ProgressWindowTest, the_directory_is_shortened_to_the_field)
{
    TFrmSaveProgress form;
    form.resize(300, form.height());
    form.Show();
    const std::string longPath = "/home/someone/projects/a-rather-long-folder-name/another-long-folder/sub/source";
    form.StartSection("s", "/tmp/a.zip", longPath, 100);
    QLabel* directory = field(form, "_idRepertoire");
    const QString shown = directory->text();
    EXPECT_TRUE(shown.startsWith(QStringLiteral("/.../"))) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("/source")));
    EXPECT_LE(QFontMetrics(directory->font()).horizontalAdvance(shown), directory->contentsRect().width());
    EXPECT_EQ(directory->toolTip().toStdString(), longPath);

    // Wider, the whole path fits again.
    form.resize(1400, form.height());
    EXPECT_EQ(directory->text().toStdString(), longPath);
    form.Hide();
}

TEST_F(ProgressWindowTest, a_busy_run_costs_little_and_the_last_state_is_shown)
{
    TFrmSaveProgress form;
    form.Show();
    form.SetBatchMax(1);
    form.StartSection("many", "/tmp/many.zip", "/tmp/src", 100);
    QElapsedTimer clock;
    clock.start();
    constexpr int kFiles = 100000;
    TQtEventPump pump;
    for (int i = 0; i < kFiles; ++i) {
        form.StartFile("/tmp/src/file" + std::to_string(i), 100);
        form.SetFilePosition(50);
        form.FileComplete();
        form.SetZipPosition(i * 100 / kFiles);
        pump.ProcessMessages();
    }
    const qint64 elapsed = clock.elapsed();
    // About 30 microseconds per file would already be a run-time cost of note; repainting every
    // call costs far more than that.
    EXPECT_LT(elapsed, 4000) << elapsed << " ms for " << kFiles << " files";
    QTRY_COMPARE_WITH_TIMEOUT(field(form, "_idFichier")->text(), QStringLiteral("/tmp/src/file99999"), 5000);
    EXPECT_EQ(bar(form, "ProgressFile")->value(), 100);
    form.Hide();
}

TEST_F(ProgressWindowTest, a_maximum_of_zero_shows_a_full_bar_not_a_busy_one)
{
    TFrmSaveProgress form;
    form.SetBatchMax(0);
    EXPECT_GT(bar(form, "Gauge")->maximum(), 0);
    EXPECT_EQ(bar(form, "Gauge")->value(), bar(form, "Gauge")->maximum());
}

TEST_F(ProgressWindowTest, captions_and_the_texts_of_a_run_follow_a_change_of_language)
{
    struct TEnglishAfter
    {
        ~TEnglishAfter()
        {
            AppLanguage().SetTranslationLines({});
            AppLanguage().ApplyTranslations();
        }
    } english;
    TFrmSaveProgress form;
    form.Show();
    form.StartSection("Documents", "/backup/documents.zip", "/home/docs", 10);
    EXPECT_EQ(field(form, "_idFichier")->text(), QStringLiteral("Initializing file list ..."));

    AppLanguage().SetTranslationLines({QStringLiteral("FrmSaveProgress.lbBatch.Caption=Lot"),
                                       QStringLiteral("FrmSaveProgress.tsbZipIt.Caption=Interrompre"),
                                       QStringLiteral("strings.15=Liste des fichiers ..."),
                                       QStringLiteral("strings.17=Archive en cours ..."),
                                       QStringLiteral("strings.19=Archive terminée")});
    AppLanguage().ApplyTranslations();
    EXPECT_EQ(field(form, "lbBatch")->text(), QStringLiteral("Lot"));
    EXPECT_EQ(accessibleName(bar(form, "Gauge")), QStringLiteral("Lot"));
    auto* abort = form.findChild<QAbstractButton*>(QStringLiteral("tsbZipIt"));
    ASSERT_NE(abort, nullptr);
    EXPECT_EQ(accessibleName(abort), QStringLiteral("Interrompre"));
    // A longer caption widens the button instead of being cut.
    EXPECT_GT(abort->width(), QFontMetrics(abort->font()).horizontalAdvance(QStringLiteral("Interrompre")));
    // Texts the window shows for the run are read again; names and paths stay as they are.
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Archive en cours ... Documents"));
    EXPECT_EQ(field(form, "_idFichier")->text(), QStringLiteral("Liste des fichiers ..."));
    EXPECT_EQ(field(form, "_idSection")->text(), QStringLiteral("/backup/documents.zip"));
    form.ArchiveComplete();
    EXPECT_EQ(field(form, "_idFichier")->text(), QString::fromUtf8("Archive terminée"));
    // A file name that happens to read like a status text is never translated.
    form.StartFile("Initializing file list ...", 100);
    form.Flush();
    AppLanguage().ApplyTranslations();
    EXPECT_EQ(field(form, "_idFichier")->text(), QStringLiteral("Initializing file list ..."));

    AppLanguage().SetTranslationLines({});
    AppLanguage().ApplyTranslations();
    EXPECT_EQ(field(form, "lbBatch")->text(), QStringLiteral("Batch"));
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Processing archive ... Documents"));
    form.Hide();
}
