#pragma once
// The file and folder pickers of the editor's windows behind one seam, so that tests answer them
// without a modal loop. The default implementation uses the platform's dialogs. GUI thread only.

#include <QString>

class QWidget;

// One file dialog: what it shows and what it accepts.
struct TFileDialogSpec
{
    QString fileName;        // preset name (may be empty)
    QString folder;          // starting folder (empty: the dialog's choice)
    QString filter;          // "description|pattern|description|pattern..." as stored with the forms
    QString defaultSuffix;   // added to a typed name without extension
    bool mustExist = false;  // only existing files may be picked
};

class IFilePicker
{
public:
    virtual ~IFilePicker() = default;
    // Folder browser starting at `start` (empty: no preset); true and `picked` when one was chosen.
    virtual bool BrowseForFolder(QWidget* parent, const QString& start, QString& picked) = 0;
    // Open-file dialog; true and the picked file's full path when one was chosen.
    virtual bool OpenFile(QWidget* parent, const TFileDialogSpec& spec, QString& picked) = 0;
};

// The pickers in use: unless a test installed its own, the dialogs of AppDialogs().
IFilePicker& FilePicker();
// Installs a picker (not owned); nullptr goes back to the platform's dialogs.
void SetFilePicker(IFilePicker* picker);

// The folder part of a path ("" for a bare name).
QString FolderOf(const QString& path);
