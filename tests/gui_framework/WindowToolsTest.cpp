// The window utilities: shell error texts, opening documents, shortening paths, choosing folders,
// converting dialog filters, and the message-box prompter's boxes.
#include "framework/WindowTools.h"
#include "framework/DialogProvider.h"
#include "framework/QtPrompter.h"
#include "tests/guikit/GuiTestKit.h"

#include <QApplication>
#include <QFontMetrics>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

TEST(WindowTools, shell_error_texts_by_code)
{
    EXPECT_EQ(ShellErrorText(2), QStringLiteral("The specified file was not found."));
    EXPECT_EQ(ShellErrorText(31),
              QStringLiteral("There is no application associated with the given filename extension."));
    EXPECT_EQ(ShellErrorText(0), QStringLiteral("The operating system is out of memory or resources."));
    EXPECT_TRUE(ShellErrorText(1).isEmpty());
    EXPECT_TRUE(ShellErrorText(33).isEmpty());
}

TEST(WindowTools, open_document_hands_files_and_addresses_to_the_desktop_and_reports_failures)
{
    TQueuedDialogs dialogs;
    TTempFolder folder;
    const QString file = folder.Write(QStringLiteral("a b.txt"), "x");
    OpenDocument(file);
    OpenDocument(QStringLiteral("https://example.org/page"));
    OpenDocument(QStringLiteral("mailto:someone@example.org"));
    ASSERT_EQ(dialogs.OpenedUrls.size(), 3);
    EXPECT_EQ(dialogs.OpenedUrls.at(0).toLocalFile(), file);
    EXPECT_EQ(dialogs.OpenedUrls.at(1).scheme(), QStringLiteral("https"));
    EXPECT_EQ(dialogs.OpenedUrls.at(2).scheme(), QStringLiteral("mailto"));

    try {
        OpenDocument(folder.FilePath(QStringLiteral("missing.txt")));
        ADD_FAILURE() << "a missing file was opened";
    } catch (const EShellError& error) {
        EXPECT_EQ(error.Code(), 2);
        EXPECT_STREQ(error.what(), "The specified file was not found.");
    }
    dialogs.OpenUrlResult = false;
    try {
        OpenDocument(file);
        ADD_FAILURE() << "a failure of the desktop was not reported";
    } catch (const EShellError& error) {
        EXPECT_EQ(error.Code(), 31);
    }
}

TEST(WindowTools, shorten_path_cuts_folders_from_the_front_step_by_step)
{
    const QFontMetrics metrics(QApplication::font());
    const auto fitting = [&](const QString& text) { return metrics.horizontalAdvance(text); };
    const QString path = QStringLiteral("/home/user/data/sub/file.txt");
    EXPECT_EQ(ShortenPath(path, metrics, fitting(path)), path);
    EXPECT_EQ(ShortenPath(path, metrics, fitting(path) - 1), QStringLiteral("/.../user/data/sub/file.txt"));
    EXPECT_EQ(ShortenPath(path, metrics, fitting(QStringLiteral("/.../data/sub/file.txt"))),
              QStringLiteral("/.../data/sub/file.txt"));
    EXPECT_EQ(ShortenPath(path, metrics, fitting(QStringLiteral("/.../sub/file.txt"))),
              QStringLiteral("/.../sub/file.txt"));
    EXPECT_EQ(ShortenPath(path, metrics, fitting(QStringLiteral("/.../file.txt"))), QStringLiteral("/.../file.txt"));
    EXPECT_EQ(ShortenPath(path, metrics, fitting(QStringLiteral(".../file.txt"))), QStringLiteral(".../file.txt"));
    EXPECT_EQ(ShortenPath(path, metrics, 1), QStringLiteral("file.txt"));
    // A drive path follows the same steps with its own separator.
    const QString windows = QStringLiteral("C:\\Program\\Data\\Sub\\file.txt");
    EXPECT_EQ(ShortenPath(windows, metrics, fitting(windows) - 1), QStringLiteral("C:\\...\\Data\\Sub\\file.txt"));
    EXPECT_EQ(ShortenPath(windows, metrics, fitting(QStringLiteral("C:\\...\\file.txt"))),
              QStringLiteral("C:\\...\\file.txt"));
    EXPECT_EQ(ShortenPath(windows, metrics, fitting(QStringLiteral("...\\file.txt"))), QStringLiteral("...\\file.txt"));
    EXPECT_EQ(ShortenPath(QStringLiteral("/file.txt"), metrics, 1), QStringLiteral("file.txt"));
    EXPECT_EQ(ShortenPath(QStringLiteral("name"), metrics, 1), QStringLiteral("name"));
}

TEST(WindowTools, browse_for_folder_starts_in_an_existing_folder_and_keeps_it_on_cancel)
{
    TQueuedDialogs dialogs;
    TTempFolder folder;
    QString chosen = folder.Path();
    dialogs.Cancel();
    EXPECT_FALSE(BrowseForFolder(QStringLiteral("Pick"), QString(), chosen));
    EXPECT_EQ(chosen, folder.Path());
    EXPECT_EQ(dialogs.Proposals.front(), folder.Path());

    QString missing = folder.FilePath(QStringLiteral("gone"));
    dialogs.Queue(QStringLiteral("/tmp"));
    EXPECT_TRUE(BrowseForFolder(QStringLiteral("Pick"), QStringLiteral("/root-start"), missing));
    EXPECT_EQ(missing, QStringLiteral("/tmp"));
    EXPECT_EQ(dialogs.Proposals.at(1), QStringLiteral("/root-start"));
    EXPECT_EQ(dialogs.Titles.at(1), QStringLiteral("Pick"));

    QString cleared = folder.FilePath(QStringLiteral("gone"));
    dialogs.Cancel();
    EXPECT_FALSE(BrowseForFolder(QStringLiteral("Pick"), QString(), cleared));
    EXPECT_TRUE(cleared.isEmpty());
}

TEST(WindowTools, dialog_filters_from_description_and_pattern_pairs)
{
    EXPECT_EQ(DialogFilter(QStringLiteral("Vorland file (*.vrl)|*.vrl|Tous (*.*)|*.*")),
              QStringLiteral("Vorland file (*.vrl);;Tous (*)"));
    EXPECT_EQ(DialogFilter(QStringLiteral("*.exe|*.exe|*.bat|*.bat")), QStringLiteral("*.exe (*.exe);;*.bat (*.bat)"));
    EXPECT_EQ(DialogFilter(QStringLiteral("Pictures|*.jpg;*.png")), QStringLiteral("Pictures (*.jpg *.png)"));
    EXPECT_TRUE(DialogFilter(QString()).isEmpty());
}

namespace {

// Answers the next modal box by clicking the button with that text, once it is up.
void answerNextBox(const QString& buttonText, QString* title = nullptr, const QString& typed = QString())
{
    QTimer::singleShot(0, [=] {
        QWidget* modal = QApplication::activeModalWidget();
        ASSERT_NE(modal, nullptr);
        if (title != nullptr) {
            *title = modal->windowTitle();
        }
        if (auto* edit = modal->findChild<QLineEdit*>()) {
            edit->setText(typed);
        }
        for (QAbstractButton* button : modal->findChildren<QAbstractButton*>()) {
            if (button->text().remove(QLatin1Char('&')) == buttonText) {
                button->click();
                return;
            }
        }
        ADD_FAILURE() << "no button " << buttonText.toStdString();
    });
}

} // namespace

TEST(QtPrompter, questions_are_titled_confirmation_and_answered_by_their_buttons)
{
    TQtPrompter prompter;
    QString title;
    answerNextBox(QStringLiteral("OK"), &title);
    EXPECT_TRUE(prompter.Confirm("Go on ?"));
    EXPECT_EQ(title, QStringLiteral("Confirmation"));
    answerNextBox(QStringLiteral("Cancel"));
    EXPECT_FALSE(prompter.Confirm("Go on ?"));
    answerNextBox(QStringLiteral("No"));
    EXPECT_EQ(prompter.ConfirmYesNoCancel("Save batch file ?"), YesNoCancel::No);
    answerNextBox(QStringLiteral("Yes"));
    EXPECT_EQ(prompter.ConfirmYesNoCancel("Save batch file ?"), YesNoCancel::Yes);
    answerNextBox(QStringLiteral("OK"));
    EXPECT_TRUE(prompter.AskVolume("Insert disk 2"));
}

TEST(QtPrompter, the_password_prompt_offers_the_asked_buttons)
{
    TQtPrompter prompter;
    std::string answer;
    QString title;
    answerNextBox(QStringLiteral("OK"), &title, QStringLiteral("s3cret"));
    EXPECT_EQ(prompter.AskPassword("Password", "Enter password", kPwButtonOk | kPwButtonCancel, answer),
              PasswordResult::Ok);
    EXPECT_EQ(answer, "s3cret");
    EXPECT_EQ(title, QStringLiteral("Password"));
    answer = "unchanged";
    answerNextBox(QStringLiteral("Cancel all"), nullptr, QStringLiteral("typed"));
    EXPECT_EQ(prompter.AskPassword("Password", "Again", kPwButtonOk | kPwButtonCancelAll | kPwButtonAbort, answer),
              PasswordResult::CancelAll);
    EXPECT_EQ(answer, "unchanged");
    answerNextBox(QStringLiteral("Abort"));
    EXPECT_EQ(prompter.AskPassword("Password", "Again", kPwButtonOk | kPwButtonAbort, answer), PasswordResult::Abort);
}
