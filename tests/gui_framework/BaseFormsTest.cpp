// The base forms: the main window's context menu tail, its language commands and its closing (also
// at the end of the desktop session), the base dialog's placement, the about box, and the error
// display of the message loop.
#include "controls/vk_Button.h"
#include "controls/vk_Component.h"
#include "core/AppStrings.h"
#include "core/CoreErrors.h"
#include "framework/TvkLanguage.h"
#include "framework/VorlandApplication.h"
#include "framework/vk_contexte.h"
#include "framework/vk_fBaseAPropos.h"
#include "framework/vk_fBaseDialog.h"
#include "framework/vk_fbaseMain.h"
#include "tests/guikit/GuiTestKit.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

namespace {

class TFrmTestMain : public TFrmBaseMain
{
public:
    TFrmTestMain()
    {
        setObjectName(QStringLiteral("TFrmTestMain"));
        resize(400, 300);
        FormCreate();
    }
    int closeQueries = 0;
    bool refuseClose = false;

protected:
    bool CloseQuery() override
    {
        ++closeQueries;
        return !refuseClose;
    }
};

class TFrmTestDialog : public TFrmBaseDialog
{
public:
    TFrmTestDialog()
    {
        setObjectName(QStringLiteral("TFrmTestDialog"));
        FormCreate();
    }
};

class BaseFormsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ClearSettings();
        AppStrings().Reset();
        AppLanguage().SetSearchFolders({user.Path(), shipped.Path()});
        AppLanguage().SetHelpAddress(QString());
        AppLanguage().LoadLanguageList();
        AppLanguage().RequestReload();
        AppLanguage().SetLanguageIndex(0);
    }
    void TearDown() override
    {
        ClearSettings();
        AppLanguage().SetSearchFolders({});
        AppStrings().Reset();
    }

    QStringList languageItems(TFrmBaseMain& form)
    {
        QStringList names;
        const QList<QAction*> items = form.LanguageMenu->actions();
        for (int i = 3; i < items.size(); ++i) {
            names.append(items.at(i)->text() + (items.at(i)->isChecked() ? QStringLiteral("*") : QString()));
        }
        return names;
    }

    TTempFolder user;
    TTempFolder shipped;
    TQueuedDialogs dialogs;
    TQueuedPrompter prompter;
};

} // namespace

TEST_F(BaseFormsTest, the_menu_tail_hides_online_help_without_an_address)
{
    TFrmTestMain form;
    QList<QAction*> actions = form.PopupMenu->actions();
    ASSERT_EQ(actions.size(), 5);
    EXPECT_EQ(actions.at(0), form.cmAbout);
    EXPECT_EQ(actions.at(2), form.cmLanguageList);
    EXPECT_TRUE(actions.at(3)->isSeparator());
    EXPECT_EQ(actions.at(4), form.cmClose);
    form.PopupMenuTaskPopup();
    EXPECT_FALSE(form.cmOnlineHelp->isVisible());

    const QString page = shipped.Write(QStringLiteral("help.html"), "<html></html>");
    AppLanguage().SetHelpAddress(QUrl::fromLocalFile(page).toString());
    form.PopupMenuTaskPopup();
    EXPECT_TRUE(form.cmOnlineHelp->isVisible());
    form.cmOnlineHelp->trigger();
    ASSERT_EQ(dialogs.OpenedUrls.size(), 1);
    EXPECT_EQ(dialogs.OpenedUrls.front().toLocalFile(), page);

    // With no program to show it, the command says where the page is.
    dialogs.OpenUrlResult = false;
    form.cmOnlineHelp->trigger();
    ASSERT_EQ(prompter.Messages.size(), 1u);
    EXPECT_NE(prompter.Messages.front().find(page.toStdString()), std::string::npos) << prompter.Messages.front();
    EXPECT_TRUE(prompter.Errors.empty());
}

TEST_F(BaseFormsTest, with_only_english_the_submenu_holds_the_commands_and_english_checked)
{
    TFrmTestMain form;
    const QList<QAction*> items = form.LanguageMenu->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items.at(0), form.cmNewLanguage);
    EXPECT_EQ(items.at(1), form.cmEditLanguage);
    EXPECT_TRUE(items.at(2)->isSeparator());
    form.PopupMenuTaskPopup();
    EXPECT_EQ(languageItems(form), QStringList{QStringLiteral("English*")});
}

TEST_F(BaseFormsTest, a_language_item_switches_the_language_and_the_current_one_does_nothing)
{
    shipped.Write(QStringLiteral("French/CaptionList.txt"),
                  "FrmTestMain.cmAbout.Caption=A propos\r\nstrings.2=A propos\r\n");
    AppLanguage().LoadLanguageList();
    TFrmTestMain form;
    int translated = 0;
    form.OnTranslate = [&](TvkForm*) { ++translated; };
    form.LanguageMenu->actions().at(4)->trigger();
    EXPECT_EQ(AppLanguage().LanguageIndex(), 1);
    EXPECT_EQ(form.cmAbout->text(), QStringLiteral("A propos"));
    EXPECT_EQ(translated, 1);
    form.LanguageMenu->actions().at(4)->trigger();
    EXPECT_EQ(translated, 1);
    form.PopupMenuTaskPopup();
    EXPECT_EQ(languageItems(form), (QStringList{QStringLiteral("English"), QStringLiteral("French*")}));
    form.LanguageMenu->actions().at(3)->trigger();
    EXPECT_EQ(form.cmAbout->text(), QStringLiteral("Abo&ut"));
}

TEST_F(BaseFormsTest, a_new_language_is_listed_unchecked_and_never_moves_or_hides_the_current_one_unasked)
{
    shipped.Write(QStringLiteral("French/CaptionList.txt"), "strings.2=A propos\r\n");
    AppLanguage().LoadLanguageList();
    TFrmTestMain form;
    form.LanguageMenu->actions().at(4)->trigger();
    dialogs.Queue(QStringLiteral("Dutch"));
    form.cmNewLanguage->trigger();
    ASSERT_EQ(dialogs.Titles.size(), 1);
    EXPECT_EQ(dialogs.Titles.front(), QStringLiteral("Language to add"));
    EXPECT_EQ(dialogs.Labels.front(), QStringLiteral("Name :"));
    // Dutch sorts before French: French stays current at its new place.
    form.PopupMenuTaskPopup();
    EXPECT_EQ(languageItems(form),
              (QStringList{QStringLiteral("English"), QStringLiteral("Dutch"), QStringLiteral("French*")}));
    EXPECT_EQ(AppLanguage().CurrentLanguageName(), QStringLiteral("French"));
    // The template lists the framework's dialogs too, though none of them is open.
    QStringList lines;
    ASSERT_TRUE(ReadTextLines(user.FilePath(QStringLiteral("Dutch/CaptionList.txt")), lines));
    for (const char* key : {"FrmTestMain.", "frmBaseAboutBox.", "FrmBaseDialogList.", "FrmBaseSelectList."}) {
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const QString& line) {
            return line.startsWith(QLatin1String(key));
        })) << key;
    }

    // A language of a shipped translation's name would hide it: asked first, nothing made when declined.
    dialogs.Queue(QStringLiteral("French"));
    form.cmNewLanguage->trigger();
    ASSERT_EQ(prompter.Questions.size(), 1u);
    EXPECT_NE(prompter.Questions[0].find("French/CaptionList.txt is a translation that comes with the program"),
              std::string::npos);
    EXPECT_FALSE(QFileInfo::exists(user.FilePath(QStringLiteral("French"))));
    prompter.QueueConfirm(true);
    dialogs.Queue(QStringLiteral("French"));
    form.cmNewLanguage->trigger();
    EXPECT_TRUE(QFile::exists(user.FilePath(QStringLiteral("French/CaptionList.txt"))));
    EXPECT_EQ(AppLanguage().CurrentLanguageName(), QStringLiteral("French"));

    // A cancelled prompt changes nothing.
    dialogs.Cancel();
    form.cmNewLanguage->trigger();
    EXPECT_EQ(languageItems(form).size(), 3);
}

TEST_F(BaseFormsTest, closing_stores_the_language_and_placement_and_a_refused_close_stores_nothing)
{
    shipped.Write(QStringLiteral("French/CaptionList.txt"), "strings.2=A propos\r\n");
    AppLanguage().LoadLanguageList();
    TFrmTestMain form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.LanguageMenu->actions().at(4)->trigger();
    form.refuseClose = true;
    EXPECT_FALSE(form.close());
    EXPECT_FALSE(AppContexte().ValueExists(QStringLiteral("Initial"), QStringLiteral("Language")));
    form.refuseClose = false;
    form.cmClose->trigger();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(AppContexte().ReadInitialInteger(QStringLiteral("Language"), -1), 1);
    EXPECT_EQ(AppContexte().ReadInteger(QStringLiteral("Settings/FrmTestMain"), QStringLiteral("Width"), 0),
              form.width());
}

TEST_F(BaseFormsTest, the_end_of_the_session_stores_what_a_close_stores)
{
    TFrmTestMain form;
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    form.move(33, 44);
    form.EndSession();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(AppContexte().ReadInteger(QStringLiteral("Settings/FrmTestMain"), QStringLiteral("Left"), 0), 33);
    EXPECT_EQ(AppContexte().ReadInitialInteger(QStringLiteral("Language"), -1), 0);
    EXPECT_EQ(prompter.Questions.size(), 0u);

    // The next start finds the window where it was.
    TFrmTestMain next;
    EXPECT_EQ(next.pos(), QPoint(33, 44));
}

TEST_F(BaseFormsTest, a_dialog_stores_its_placement_on_cancel_and_restores_it)
{
    {
        TFrmTestDialog dialog;
        EXPECT_EQ(dialog.size(), QSize(336, 242));
        dialog.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        dialog.resize(360, 250);
        dialog.BtCancel->click();
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.isVisible(), 5000);
        EXPECT_NE(dialog.result(), QDialog::Accepted);
    }
    EXPECT_EQ(AppContexte().ReadInteger(QStringLiteral("Settings/FrmTestDialog"), QStringLiteral("Width"), 0), 360);
    TFrmTestDialog again;
    EXPECT_EQ(again.size(), QSize(360, 250));
    EXPECT_TRUE(again.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
}

TEST_F(BaseFormsTest, a_dialog_translates_itself_at_creation)
{
    shipped.Write(QStringLiteral("French/CaptionList.txt"), "FrmTestDialog.BtCancel.Caption=Annuler\r\n");
    AppLanguage().LoadLanguageList();
    AppLanguage().SetLanguageIndex(1);
    TFrmTestDialog dialog;
    EXPECT_EQ(static_cast<TvkButton*>(dialog.BtCancel)->Caption(), QStringLiteral("Annuler"));
    EXPECT_EQ(dialog.BtOK->text(), QStringLiteral("OK"));
}

TEST_F(BaseFormsTest, the_about_box_shows_version_text_and_hides_links_without_address)
{
    shipped.Write(QStringLiteral("About.txt"), "Line one\r\nLine two\r\n");
    TfrmBaseAboutBox box;
    EXPECT_EQ(box._lbNoVersion->text(), QStringLiteral("1.0.0.0"));
    EXPECT_EQ(TfrmBaseAboutBox::VersionText(), QStringLiteral("1.0.0.0"));
    EXPECT_EQ(box.moAPropos->toPlainText(), QStringLiteral("Line one\nLine two"));
    EXPECT_EQ(box._ProductName->text(), AppContexte().ApplicationName());
    EXPECT_FALSE(box.ProgramIcon->pixmap().isNull());
    EXPECT_FALSE(box.ImageBottom->pixmap().isNull());
    EXPECT_TRUE(box._LbMailTo->isHidden());
    EXPECT_TRUE(box._lbLink->isHidden());
    EXPECT_TRUE(box.lbHomePage->isHidden());
}

TEST_F(BaseFormsTest, the_about_box_links_the_help_page_and_edits_the_language_about_file)
{
    shipped.Write(QStringLiteral("French/CaptionList.txt"), "frmBaseAboutBox.lbHomePage.Caption=Page d'accueil\r\n");
    AppLanguage().LoadLanguageList();
    AppLanguage().SetLanguageIndex(1);
    AppLanguage().SetHelpAddress(QStringLiteral("file:///opt/vorland/help.html"));
    TfrmBaseAboutBox box;
    EXPECT_FALSE(box._lbLink->isHidden());
    EXPECT_EQ(box._lbLink->Caption(), QStringLiteral("help.html"));
    EXPECT_EQ(box.lbHomePage->text(), QStringLiteral("Page d'accueil"));
    box._lbLink->Execute();
    ASSERT_EQ(dialogs.OpenedUrls.size(), 1);
    EXPECT_EQ(dialogs.OpenedUrls.front().toString(), QStringLiteral("file:///opt/vorland/help.html"));

    box.cmEdit->trigger();
    ASSERT_EQ(dialogs.OpenedUrls.size(), 2);
    const QString made = user.FilePath(QStringLiteral("French/About.txt"));
    EXPECT_EQ(dialogs.OpenedUrls.at(1).toLocalFile(), made);
    EXPECT_TRUE(QFile::exists(made));
}

TEST_F(BaseFormsTest, enter_in_the_about_box_presses_ok_and_opens_no_link)
{
    AppLanguage().SetHelpAddress(QStringLiteral("file:///opt/vorland/help.html"));
    TfrmBaseAboutBox box;
    box.show();
    QApplication::setActiveWindow(&box);
    ASSERT_NE(box.focusWidget(), nullptr);
    QTest::keyClick(box.focusWidget(), Qt::Key_Return);
    EXPECT_EQ(box.result(), QDialog::Accepted);
    EXPECT_TRUE(dialogs.OpenedUrls.isEmpty());
}

TEST_F(BaseFormsTest, the_about_command_captions_the_box_from_the_numbered_strings)
{
    // Read when the command runs, not when the window was made.
    TFrmTestMain form;
    AppStrings().Set(sAbout, "A propos");
    AppStrings().Set(sEditAboutFile, "Modifier");
    QString title;
    QString edit;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<TfrmBaseAboutBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        edit = box->cmEdit->text();
        box->reject();
    });
    form.cmAbout->trigger();
    EXPECT_EQ(title, QStringLiteral("A propos"));
    EXPECT_EQ(edit, QStringLiteral("Modifier"));
}

namespace {

class Thrower : public QObject
{
public:
    bool silent = false;
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User) {
            if (silent) {
                throw ESilentStop();
            }
            throw std::runtime_error("disk on fire");
        }
        return QObject::event(e);
    }
};

} // namespace

TEST_F(BaseFormsTest, an_error_escaping_an_event_is_shown_and_the_silent_stop_is_not)
{
    Thrower thrower;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    ASSERT_EQ(prompter.Errors.size(), 1u);
    EXPECT_EQ(prompter.Errors.front(), "disk on fire");
    thrower.silent = true;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    QCoreApplication::processEvents();
    EXPECT_EQ(prompter.Errors.size(), 1u);
}
