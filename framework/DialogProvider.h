#pragma once
// The one seam for the standard dialogs the windows open (file and folder pickers, the one-line text
// prompt) and for handing a document or address to the desktop. The program uses the Qt
// implementation; tests install one that answers from a queue, so no test waits on a modal loop or
// starts an outside program.

#include <QString>
#include <QUrl>

class QWidget;

class IDialogProvider
{
public:
    virtual ~IDialogProvider() = default;
    // An existing file to open; false when cancelled. `fileName` in: the proposed file; out: the choice.
    virtual bool OpenFileName(QWidget* parent, const QString& title, const QString& filter, QString& fileName) = 0;
    // A file to save to (no question before an existing file is chosen); false when cancelled.
    virtual bool SaveFileName(QWidget* parent, const QString& title, const QString& filter, QString& fileName) = 0;
    // A folder; `folder` in: the folder to start in (empty: the home folder); false when cancelled.
    virtual bool ExistingFolder(QWidget* parent, const QString& title, QString& folder) = 0;
    // One line of text; `text` in: the initial text; false when cancelled.
    virtual bool InputText(QWidget* parent, const QString& title, const QString& label, QString& text) = 0;
    // Opens a document or address with the desktop's associated program; false when that failed.
    virtual bool OpenUrl(const QUrl& url) = 0;
};

// The Qt implementation: QFileDialog, QInputDialog (run through RunModalDialog) and QDesktopServices.
class TQtDialogProvider : public IDialogProvider
{
public:
    bool OpenFileName(QWidget* parent, const QString& title, const QString& filter, QString& fileName) override;
    bool SaveFileName(QWidget* parent, const QString& title, const QString& filter, QString& fileName) override;
    bool ExistingFolder(QWidget* parent, const QString& title, QString& folder) override;
    bool InputText(QWidget* parent, const QString& title, const QString& label, QString& text) override;
    bool OpenUrl(const QUrl& url) override;
};

// The provider in use: the installed one, else a process-wide Qt provider.
IDialogProvider& AppDialogs();
// Installs a provider (not owned); nullptr goes back to the Qt provider. Link labels open their
// addresses through the provider from then on.
void SetAppDialogs(IDialogProvider* provider);
// Makes the link labels open their addresses through AppDialogs() (InitFramework does it).
void RouteLinksThroughDialogs();

// Converts a filter written as "description|pattern" pairs ("Zip (*.zip)|*.zip|*.*|*.*") into a Qt
// file dialog filter ("Zip (*.zip);;*.* (*)"); a description's own parenthesis gives way to the
// patterns. Patterns "*.*" become "*" (every name, also one without a dot).
QString DialogFilter(const QString& pairs);
