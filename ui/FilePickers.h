#pragma once
// The file and folder pickers of the editor's windows, built on the one dialog seam (AppDialogs()),
// through which tests answer them without a modal loop. GUI thread only.

#include <QString>

class QWidget;

// One file dialog: what it shows and what it accepts.
struct TFileDialogSpec
{
    QString fileName;       // preset name (may be empty)
    QString folder;         // starting folder (empty: the dialog's choice)
    QString filter;         // "description|pattern|description|pattern..." as stored with the forms
    QString defaultSuffix;  // added to a typed name without extension
    bool mustExist = false; // only existing files may be picked
};

// Folder browser starting at `start` (empty: no preset); true and `picked` when one was chosen.
bool BrowseForFolder(QWidget* parent, const QString& start, QString& picked);
// File dialog; true and the picked file's full path when one was chosen. A file that need not exist
// yet (an archive to be made) is asked like a file to save to, without a question about replacing it.
bool PickFile(QWidget* parent, const TFileDialogSpec& spec, QString& picked);

// The folder part of a path ("" for a bare name).
QString FolderOf(const QString& path);
