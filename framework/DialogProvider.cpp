#include "framework/DialogProvider.h"

#include "controls/vk_Component.h"
#include "framework/DialogRunner.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QStringList>

namespace {

IDialogProvider* g_installed = nullptr;

} // namespace

bool TQtDialogProvider::OpenFileName(QWidget* parent, const QString& title, const QString& filter, QString& fileName)
{
    const QString chosen = QFileDialog::getOpenFileName(parent, title, fileName, filter);
    if (chosen.isEmpty()) {
        return false;
    }
    fileName = chosen;
    return true;
}

bool TQtDialogProvider::SaveFileName(QWidget* parent, const QString& title, const QString& filter, QString& fileName)
{
    const QString chosen =
        QFileDialog::getSaveFileName(parent, title, fileName, filter, nullptr, QFileDialog::DontConfirmOverwrite);
    if (chosen.isEmpty()) {
        return false;
    }
    fileName = chosen;
    return true;
}

bool TQtDialogProvider::ExistingFolder(QWidget* parent, const QString& title, QString& folder)
{
    const QString chosen = QFileDialog::getExistingDirectory(parent, title, folder);
    if (chosen.isEmpty()) {
        return false;
    }
    folder = chosen;
    return true;
}

bool TQtDialogProvider::InputText(QWidget* parent, const QString& title, const QString& label, QString& text)
{
    QInputDialog dialog(parent);
    dialog.setObjectName(QStringLiteral("InputTextDialog"));
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setTextValue(text);
    if (RunModalDialog(dialog) != QDialog::Accepted) {
        return false;
    }
    text = dialog.textValue();
    return true;
}

bool TQtDialogProvider::OpenUrl(const QUrl& url)
{
    return QDesktopServices::openUrl(url);
}

IDialogProvider& AppDialogs()
{
    static TQtDialogProvider qtProvider;
    return g_installed != nullptr ? *g_installed : qtProvider;
}

void SetAppDialogs(IDialogProvider* provider)
{
    g_installed = provider;
    RouteLinksThroughDialogs();
}

void RouteLinksThroughDialogs()
{
    TvkLabelLink::SetOpenHandler(
        [](const QString& target) { return AppDialogs().OpenUrl(TvkLabelLink::UrlOf(target)); });
}

QString DialogFilter(const QString& pairs)
{
    const QStringList parts = pairs.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns = parts.at(i + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString& pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == QLatin1String("*.*")) {
                pattern = QStringLiteral("*");
            }
        }
        // A description that shows its patterns already ("Zip (*.zip)") shows them once.
        QString description = parts.at(i);
        if (const qsizetype open = description.indexOf(QLatin1Char('(')); open > 0) {
            description = description.left(open).trimmed();
        }
        filters.append(description + QStringLiteral(" (") + patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}
