#include "framework/QtPrompter.h"

#include "core/AppStrings.h"
#include "framework/DialogRunner.h"
#include "framework/vk_contexte.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char* const kConfirmation = "Confirmation";

QString fromCore(const std::string& text)
{
    return QString::fromStdString(text);
}

// The button that ended the box; the escape answer (Cancel) when it ended otherwise.
int askQuestion(QWidget* owner, const QString& text, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(QMessageBox::Question, QString::fromLatin1(kConfirmation), text, buttons, owner);
    box.setObjectName(QStringLiteral("ConfirmationBox"));
    RunModalDialog(box);
    QAbstractButton* clicked = box.clickedButton();
    return clicked != nullptr ? box.standardButton(clicked) : QMessageBox::Cancel;
}

} // namespace

QWidget* TQtPrompter::owner()
{
    return QApplication::activeWindow();
}

bool TQtPrompter::Confirm(const std::string& text)
{
    return askQuestion(owner(), fromCore(text), QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok;
}

YesNoCancel TQtPrompter::ConfirmYesNoCancel(const std::string& text)
{
    switch (askQuestion(owner(), fromCore(text), QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel)) {
    case QMessageBox::Yes:
        return YesNoCancel::Yes;
    case QMessageBox::No:
        return YesNoCancel::No;
    default:
        return YesNoCancel::Cancel;
    }
}

void TQtPrompter::ShowMessage(const std::string& text, bool isError)
{
    QMessageBox box(isError ? QMessageBox::Critical : QMessageBox::Information, AppContexte().ApplicationName(),
                    fromCore(text), QMessageBox::Ok, owner());
    box.setObjectName(isError ? QStringLiteral("ErrorBox") : QStringLiteral("MessageBox"));
    RunModalDialog(box);
}

PasswordResult TQtPrompter::AskPassword(const std::string& title, const std::string& prompt, int buttons,
                                        std::string& answer)
{
    QDialog dialog(owner());
    dialog.setObjectName(QStringLiteral("PasswordDialog"));
    dialog.setWindowTitle(fromCore(title));
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(fromCore(prompt), &dialog);
    auto* edit = new QLineEdit(&dialog);
    edit->setObjectName(QStringLiteral("edPassword"));
    edit->setEchoMode(QLineEdit::Password);
    label->setBuddy(edit);
    layout->addWidget(label);
    layout->addWidget(edit);
    auto* box = new QDialogButtonBox(&dialog);
    layout->addWidget(box);

    PasswordResult result = PasswordResult::Cancel;
    const auto addButton = [&](int bit, const QString& caption, QDialogButtonBox::ButtonRole role,
                               PasswordResult value) {
        if ((buttons & bit) == 0) {
            return;
        }
        QPushButton* button = box->addButton(caption, role);
        QObject::connect(button, &QPushButton::clicked, &dialog, [&dialog, &result, value] {
            result = value;
            dialog.done(QDialog::Accepted);
        });
    };
    addButton(kPwButtonOk, fromCore(AppString(sOk)), QDialogButtonBox::AcceptRole, PasswordResult::Ok);
    addButton(kPwButtonCancel, fromCore(AppString(sCancel)), QDialogButtonBox::RejectRole, PasswordResult::Cancel);
    addButton(kPwButtonCancelAll, QStringLiteral("Cancel all"), QDialogButtonBox::RejectRole,
              PasswordResult::CancelAll);
    addButton(kPwButtonAbort, fromCore(AppString(sAbort)), QDialogButtonBox::DestructiveRole, PasswordResult::Abort);
    if ((buttons & kPwButtonOk) != 0) {
        if (auto* ok = qobject_cast<QPushButton*>(box->buttons().constFirst())) {
            ok->setDefault(true);
        }
    }
    // Closing the window answers Cancel.
    if (dialog.exec() != QDialog::Accepted) {
        result = PasswordResult::Cancel;
    }
    if (result == PasswordResult::Ok) {
        answer = edit->text().toStdString();
    }
    return result;
}

bool TQtPrompter::AskVolume(const std::string& prompt)
{
    return Confirm(prompt);
}
