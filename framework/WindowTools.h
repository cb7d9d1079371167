#pragma once
// The small window utilities the forms share: shortening a path for display, choosing a folder,
// handing a document or address to the desktop. The question boxes (Confirm, ConfirmYesNoCancel)
// live in core/Questions.h and reach the user through the installed prompter.

#include "core/CoreErrors.h"

#include <QString>

class QFontMetrics;

// The desktop could not open a document or address. Code: the reason, as ShellErrorText numbers it.
class EShellError : public EVorlandError
{
public:
    explicit EShellError(int code);
    int Code() const { return m_code; }

private:
    int m_code;
};

// The text of a failure code of opening a document (2 file not found, 3 path not found, 5 access
// denied, 31 no associated program, ...); empty for codes without a text (1, 33).
QString ShellErrorText(int code);

// The code of EShellError when no program could open a document or address.
constexpr int kShellNoAssociation = 31;

// Opens a local file (a path) or an address ("http://...", "mailto:...", "file:...") with the
// desktop's associated program, through the dialog provider. Throws EShellError with code 2 for a
// missing file and 31 when nothing could open it.
void OpenDocument(const QString& target);

// The path, shortened from its first folders on ("/home/me/a/b/f.txt" to "/.../a/b/f.txt",
// "/.../b/f.txt", "/.../f.txt", ".../f.txt", "f.txt") until it fits `maxWidth` pixels in the font;
// unchanged when it fits. Works on "/" and, for paths with a drive ("C:\..."), on "\".
QString ShortenPath(const QString& path, const QFontMetrics& metrics, int maxWidth);

// Lets the user choose a folder, starting in `folder` when it exists (it is cleared when it does not),
// else in `root`, else the home folder. True with the choice in `folder`; false (unchanged) on Cancel.
bool BrowseForFolder(const QString& title, const QString& root, QString& folder);
