#pragma once
// What the window screens share: the language of a picture (the repository's caption files), seams
// that answer every question, picker and modal dialog without waiting for a person, and a sample
// batch to show.

#include "ScreenRegistry.h"

#include "framework/DialogProvider.h"
#include "framework/DialogRunner.h"
#include "ui/FilePickers.h"

#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <string>

class QDialog;

namespace screens {

// Sets up the framework once for the whole program: the settings store and the language object,
// the help address, the Qt prompter (its boxes go through the modal answerer below), and pickers
// and dialogs that answer Cancel.
void InitScreens();

// Makes the context's language current: French from the repository's Languages folder, or English.
void UseLanguage(const TScreenContext& ctx);

// The help address is the repository's help page.
void UseHelpPage();

// The repository's folder of the caption files and about texts.
QString SourceLanguagesFolder();

// Runs `action`; every modal dialog it opens (the program's own, message boxes, prompts) goes to
// `answer`, which may take pictures and work the dialog, and returns its result. Dialogs opened
// outside such a call are cancelled.
void WithDialogs(const std::function<int(QDialog&)>& answer, const std::function<void()>& action);

// The next "open a file" dialog answers with this file instead of Cancel.
void AnswerNextOpen(const QString& fileName);

// A folder with a sample batch file (four sections, parameters) and a few files to back up.
class TSampleBatch
{
public:
    TSampleBatch();
    // The batch file (Daily.vrl).
    std::string FileName() const;
    // The folder holding sample source files (documents, pictures).
    QString SourceFolder() const;
    QString Path(const QString& relative) const;

private:
    QTemporaryDir m_folder;
};

} // namespace screens
