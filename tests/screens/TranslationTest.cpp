// The shipped French caption file against the windows as the program makes them: every caption and
// hint a window's template lists has a French text, every French line names a text that exists, a
// caption with an accelerator keeps one, and no two controls that can be reached at the same time
// share an accelerator, in English or in French.
#include "batch/RunStateFiles.h"
#include "batch/ScheduleInstaller.h"
#include "batch/p_BatchList.h"
#include "core/AppStrings.h"
#include "core/Questions.h"
#include "framework/CaptionFile.h"
#include "framework/DialogProvider.h"
#include "framework/DialogRunner.h"
#include "framework/FormTexts.h"
#include "framework/TvkLanguage.h"
#include "framework/vk_contexte.h"
#include "framework/vk_fBaseAPropos.h"
#include "framework/vk_fBaseDialogueListe.h"
#include "framework/vk_fbaseSelectList.h"
#include "testkit/TestKit.h"
#include "ui/EditorTestKit.h"
#include "ui/LastRunPanel.h"
#include "ui/RestoreWindow.h"
#include "ui/ScheduleDialog.h"
#include "ui/p_fmain.h"
#include "ui/p_fprogress.h"
#include "ui/p_fwizard.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLibraryInfo>
#include <QMenu>
#include <QMessageBox>
#include <QStackedWidget>
#include <QTabWidget>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <set>

namespace {

QString languagesFolder()
{
    const char* source = std::getenv("VORLAND_SOURCE_DIR");
    return QString::fromLocal8Bit(source != nullptr ? source : ".") + QStringLiteral("/Languages");
}

// The lines of the shipped French caption file.
QStringList frenchLines()
{
    QStringList lines;
    EXPECT_TRUE(ReadTextLines(languagesFolder() + QStringLiteral("/French/CaptionList.txt"), lines));
    return lines;
}

// The name part of a caption-file line ("FrmSaveZip.cmNew.Caption").
QString nameOf(const QString& line)
{
    return line.section(QLatin1Char('='), 0, 0);
}

QString valueOf(const QString& line)
{
    return line.section(QLatin1Char('='), 1);
}

// The accelerator letter of a caption (after a single "&"), lower-cased; empty when it has none.
QString accelerator(const QString& caption)
{
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption.at(i) != QLatin1Char('&'))
            continue;
        if (caption.at(i + 1) == QLatin1Char('&')) {
            ++i;
            continue;
        }
        return caption.at(i + 1).toLower();
    }
    return {};
}

// A window whose texts are checked: built as the program shows it, and kept open while checked.
struct TWindowUnderTest
{
    QString key;
    QStringList templateLines; // the caption and hint lines of the window's template
    QWidget* window = nullptr;
};

// Where an accelerator can be pressed: a page of a tab or stacked widget (only one shows at a
// time), else the window; for menu items, their menu.
QObject* scopeOf(QObject* component, QWidget* window)
{
    if (auto* action = qobject_cast<QAction*>(component)) {
        for (QObject* user : action->associatedObjects()) {
            if (qobject_cast<QMenu*>(user) != nullptr)
                return user;
        }
        return nullptr;
    }
    auto* widget = qobject_cast<QWidget*>(component);
    // A tab's caption is pressed from anywhere in the window that holds the tab widget.
    for (QWidget* w = widget != nullptr ? widget->parentWidget() : nullptr; w != nullptr && w != window;
         w = w->parentWidget()) {
        if (qobject_cast<QStackedWidget*>(w->parentWidget()) != nullptr)
            return w;
    }
    return window;
}

// "letter: name, name" for every accelerator used twice where both can be reached at once: in the
// same scope, or in a page and the window around it.
QStringList acceleratorClashes(QWidget* window)
{
    std::map<QObject*, std::map<QString, QStringList>> byScope;
    for (QObject* component : FormComponents(window)) {
        if (!HasCaption(component))
            continue;
        const QString letter = accelerator(Caption(component));
        QObject* scope = scopeOf(component, window);
        if (!letter.isEmpty() && scope != nullptr)
            byScope[scope][letter].append(component->objectName());
    }
    QStringList clashes;
    const auto report = [&](const QString& letter, const QStringList& names) {
        if (names.size() > 1)
            clashes.append(letter + QStringLiteral(": ") + names.join(QStringLiteral(", ")));
    };
    for (const auto& [scope, letters] : byScope) {
        for (const auto& [letter, names] : letters) {
            QStringList together = names;
            if (scope != window && qobject_cast<QMenu*>(scope) == nullptr) {
                const auto outer = byScope[window].find(letter);
                if (outer != byScope[window].end())
                    together += outer->second;
            }
            report(letter, together);
        }
    }
    clashes.removeDuplicates();
    return clashes;
}

class Translation : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        uitest::ensureApplication();
        AppContexte().SetApplicationName(QStringLiteral("Vorland"));
    }

    void SetUp() override
    {
        for (const QString& line : frenchLines()) {
            if (line.contains(QLatin1Char('=')))
                french.append(line);
        }
        frenchTable.SetLines(french);
        AppLanguage().SetSearchFolders({QString::fromStdString(user.path().string()), languagesFolder()});
        AppLanguage().LoadLanguageList();
        useEnglish();
    }

    void TearDown() override { useEnglish(); }

    static void useEnglish()
    {
        AppLanguage().SetTranslationLines({});
        AppLanguage().ApplyTranslations();
    }

    void useFrench()
    {
        AppLanguage().SetTranslationLines(french);
        AppLanguage().ApplyTranslations();
    }

    // Every window of the program in English, each as its own test step: `check` runs while it is
    // open. Windows that only exist inside a modal loop are reached through the dialog seam.
    void forEachWindow(const std::function<void(TWindowUnderTest&)>& check)
    {
        const auto visit = [&](QWidget* window) {
            TWindowUnderTest under;
            under.window = window;
            under.key = TvkLanguage::FormKey(window);
            for (const QString& line : AppLanguage().TextLines()) {
                if (line.startsWith(under.key + QLatin1Char('.')))
                    under.templateLines.append(line);
            }
            check(under);
        };
        testkit::TempDir folder;
        TpxBatchList sample;
        sample.After = "false";
        sample.AddEntry(std::make_unique<TBatchEntry>("Missing", (folder.path() / "copy").string(),
                                                      (folder.path() / "missing").string(), "*.*", "", true, false,
                                                      false));
        const std::string batchFile = (folder.path() / "sample.vrl").string();
        sample.SaveToFile(batchFile);

        TFrmSaveZip main;
        main.SetFileName(batchFile);
        visit(&main);

        TFrmSaveProgress progress;
        visit(&progress);

        TfrmBaseAboutBox about;
        visit(&about);

        TScheduleInstaller installer("/usr/bin/vorland", batchFile, folder.path() / "units");
        TFrmSchedule schedule(installer);
        visit(&schedule);
        TRestoreWindow restoreWindow({(folder.path() / "none.zip").string(), true, folder.path().string(), {}});
        visit(&restoreWindow);

        SetModalAnswerer([&](QDialog& dialog) {
            visit(&dialog);
            if (auto* list = qobject_cast<TFrmBaseDialogList*>(&dialog))
                list->sbSelectListClick();
            return static_cast<int>(QDialog::Rejected);
        });
        QStringList masks{QStringLiteral("*.tmp")};
        EditList(QStringLiteral("Exclude files"), masks, [](QStringList& list) { list << QStringLiteral("*.log"); });
        std::unique_ptr<TBatchEntry> made;
        ExecuteBatchWizard(nullptr, nullptr, made);
        main.RunBatch();
        SetModalAnswerer({});
        EXPECT_FALSE(main.LastRunProblems().isEmpty()) << "the run meant to show its problems had none";
    }

    QStringList french;
    TCaptionTable frenchTable;
    testkit::TempDir user;
};

TEST_F(Translation, every_caption_and_hint_of_every_window_has_a_french_text)
{
    QStringList untranslated;
    QStringList keys;
    int checked = 0;
    forEachWindow([&](TWindowUnderTest& under) {
        keys.append(under.key);
        for (const QString& line : std::as_const(under.templateLines)) {
            ++checked;
            if (frenchTable.Value(nameOf(line)).isEmpty())
                untranslated.append(line);
        }
    });
    // The windows the program shows, each under the key its caption-file lines use.
    for (const char* key : {"FrmSaveZip", "FrmSaveProgress", "frmBaseAboutBox", "FrmBaseDialogList",
                            "FrmBaseSelectList", "frmBatchWizard", "FrmRunProblems", "FrmSchedule", "FrmRestore"})
        EXPECT_TRUE(keys.contains(QString::fromLatin1(key)))
            << key << " was not checked; checked: " << keys.join(u' ').toStdString();
    EXPECT_GT(checked, 60);
    EXPECT_TRUE(untranslated.isEmpty()) << "no French text for:\n" << untranslated.join(u'\n').toStdString();
}

TEST_F(Translation, a_template_made_with_only_the_main_window_open_covers_every_window)
{
    TFrmSaveZip main;
    QStringList keys;
    for (const QString& line : AppLanguage().TextLines())
        keys.append(line.section(QLatin1Char('.'), 0, 0));
    for (const char* key : {"FrmSaveZip", "FrmSaveProgress", "frmBaseAboutBox", "FrmBaseDialogList",
                            "FrmBaseSelectList", "frmBatchWizard"})
        EXPECT_TRUE(keys.contains(QString::fromLatin1(key))) << key;
}

TEST_F(Translation, every_french_line_names_a_text_of_a_window_and_keeps_its_accelerator)
{
    // Every text a line may name (lower case) with its English text: the template's, and also the
    // captions of "_" components, which a caption file may still translate.
    std::map<QString, QString> english;
    forEachWindow([&](TWindowUnderTest& under) {
        for (QObject* component : FormComponents(under.window)) {
            const QString prefix = under.key + QLatin1Char('.') + component->objectName();
            if (HasCaption(component))
                english[(prefix + QStringLiteral(".Caption")).toLower()] = Caption(component);
            if (component->isWidgetType() || qobject_cast<QAction*>(component) != nullptr)
                english[(prefix + QStringLiteral(".Hint")).toLower()] = Hint(component);
        }
    });
    QStringList stale;
    QStringList lost;
    std::set<QString> seen;
    for (const QString& line : std::as_const(french)) {
        const QString name = nameOf(line);
        EXPECT_TRUE(seen.insert(name.toLower()).second) << "given twice: " << name.toStdString();
        if (name.startsWith(QLatin1String("strings."))) {
            bool number = false;
            const int index = name.mid(8).toInt(&number);
            EXPECT_TRUE(number && TvkStringList::IsUsed(index)) << line.toStdString();
            continue;
        }
        const auto found = english.find(name.toLower());
        if (found == english.end()) {
            stale.append(line);
            continue;
        }
        if (name.endsWith(QLatin1String(".Caption"), Qt::CaseInsensitive) &&
            accelerator(found->second).isEmpty() != accelerator(valueOf(line)).isEmpty())
            lost.append(found->second + QStringLiteral(" -> ") + valueOf(line));
    }
    EXPECT_TRUE(stale.isEmpty()) << "French lines that no window has:\n" << stale.join(u'\n').toStdString();
    EXPECT_TRUE(lost.isEmpty()) << "accelerator added or lost:\n" << lost.join(u'\n').toStdString();
    // Every numbered string has its French text too.
    for (int number = 0; number < AppStrings().Count(); ++number)
        if (TvkStringList::IsUsed(number)) {
            EXPECT_FALSE(frenchTable.Value(QStringLiteral("strings.%1").arg(number)).isEmpty()) << "strings." << number;
        }
}

TEST_F(Translation, accelerators_are_unique_where_they_can_be_pressed_in_both_languages)
{
    forEachWindow([&](TWindowUnderTest& under) {
        EXPECT_TRUE(acceleratorClashes(under.window).isEmpty())
            << under.key.toStdString() << " in English:\n"
            << acceleratorClashes(under.window).join(u'\n').toStdString();
        useFrench();
        EXPECT_TRUE(acceleratorClashes(under.window).isEmpty())
            << under.key.toStdString() << " in French:\n"
            << acceleratorClashes(under.window).join(u'\n').toStdString();
        useEnglish();
    });
}

// A strip wider than the pages would widen the editor, or cut its button off where the window keeps
// its size. The error that stopped the run is kept with its number, and read back in French.
TEST_F(Translation, the_last_result_strip_says_the_stop_in_french_within_the_width_of_the_pages)
{
    testkit::TempDir folder;
    qputenv("XDG_STATE_HOME", QByteArray::fromStdString((folder.path() / "state").string()));
    const std::string batchFile = (folder.path() / "Daily.vrl").string();
    TpxBatchList().SaveToFile(batchFile);
    std::string error;
    ASSERT_TRUE(MakeRunStateFolder(error)) << error;
    TRunState state;
    state.BatchFile = batchFile;
    state.LastStart = 1777000000;
    state.LastEnd = state.LastStart + 60;
    state.LastExitCode = kExitStoppedByError;
    state.Summary.SetStopError(sParametersDefect, {"line 2: NUL"});
    state.LastSuccess = state.LastStart - 86400;
    ASSERT_TRUE(WriteRunState(RunFilesOf(batchFile).State, state, error)) << error;
    TFrmSaveZip main;
    main.SetFileName(batchFile);
    useFrench();
    main.PnLastRun->ShowBatch(batchFile, state.LastEnd + 9 * 86400);
    EXPECT_FALSE(main.PnLastRun->isHidden());
    EXPECT_LE(main.PnLastRun->minimumSizeHint().width(), main.PageControl->minimumSizeHint().width());
    const std::string lastRun = main.PnLastRun->_lbLastRun->text().toStdString();
    EXPECT_NE(lastRun.find("[BatchParameters] line 2: NUL ; rien n'a été exécuté"), std::string::npos) << lastRun;
    qunsetenv("XDG_STATE_HOME");
}

TEST_F(Translation, qt_own_buttons_follow_the_language_and_come_back_to_english)
{
    if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + QStringLiteral("/qtbase_fr.qm")))
        GTEST_SKIP() << "Qt's French translation is not installed";
    const auto yesText = [] {
        QMessageBox box(QMessageBox::Question, QString(), QString(), QMessageBox::Yes | QMessageBox::No);
        return box.button(QMessageBox::Yes)->text();
    };
    const int frenchIndex = static_cast<int>(AppLanguage().Languages().indexOf(QStringLiteral("French")));
    ASSERT_GT(frenchIndex, 0);
    AppLanguage().RequestReload();
    AppLanguage().SetLanguageIndex(frenchIndex);
    EXPECT_EQ(yesText(), QStringLiteral("&Oui"));
    EXPECT_EQ(QString::fromStdString(AppString(sCancel)), QStringLiteral("Annuler"));
    AppLanguage().SetLanguageIndex(0);
    EXPECT_EQ(yesText(), QStringLiteral("&Yes"));
    EXPECT_EQ(QString::fromStdString(AppString(sCancel)), QStringLiteral("Cancel"));
}

TEST(TranslationChecks, clashes_count_within_a_page_with_its_window_and_within_a_menu)
{
    uitest::ensureApplication();
    QWidget window;
    auto* tabs = new QTabWidget(&window);
    const auto page = [&](const char* name, const char* caption) {
        auto* widget = new QWidget;
        widget->setObjectName(QString::fromLatin1(name));
        tabs->addTab(widget, QString::fromLatin1(caption));
        return widget;
    };
    const auto box = [](QWidget* parent, const char* name, const char* caption) {
        auto* check = new QCheckBox(QString::fromLatin1(caption), parent);
        check->setObjectName(QString::fromLatin1(name));
    };
    QWidget* first = page("tsFirst", "&Page");
    QWidget* second = page("tsSecond", "&Other");
    box(first, "cbName", "&Name");
    box(second, "cbNameToo", "&Name"); // another page: never shown together
    EXPECT_TRUE(acceleratorClashes(&window).isEmpty()) << acceleratorClashes(&window).join(u' ').toStdString();

    box(first, "cbPaper", "&Paper size"); // clashes with the tab, which is reachable from the page
    auto* menu = new QMenu(&window);
    menu->setObjectName(QStringLiteral("PopupMenu"));
    for (const char* name : {"cmOpen", "cmOptions"}) {
        auto* action = new QAction(QString::fromLatin1(name).mid(2).prepend(QLatin1Char('&')), &window);
        action->setObjectName(QString::fromLatin1(name));
        menu->addAction(action);
    }
    QStringList clashes = acceleratorClashes(&window);
    clashes.sort();
    EXPECT_EQ(clashes, (QStringList{QStringLiteral("o: cmOpen, cmOptions"), QStringLiteral("p: cbPaper, tsFirst")}));

    EXPECT_EQ(accelerator(QStringLiteral("Save &as")), QStringLiteral("a"));
    EXPECT_EQ(accelerator(QStringLiteral("Fish && &Chips")), QStringLiteral("c"));
    EXPECT_EQ(accelerator(QStringLiteral("Fish && Chips")), QString());
    EXPECT_EQ(accelerator(QString::fromUtf8("&\u00c9crire")), QString::fromUtf8("\u00e9"));
}

} // namespace
