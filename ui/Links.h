#pragma once
// Desktop shortcuts: a freedesktop launcher (a ".desktop" file) that starts a program with
// arguments, written into a folder or onto the user's desktop. Knows nothing about batches.
//
// A launcher is made executable and, where the desktop keeps such a mark (GNOME's file metadata
// through `gio`), marked as trusted, so a double-click runs it without a question. A launcher of
// the same name is replaced without a question, and only once the new file is complete.
//
// Failures raise ELinkError with the launcher's path and the system's reason; nothing is written
// then (a half-written launcher never replaces a good one).

#include "core/CoreErrors.h"

#include <string>
#include <vector>

class ELinkError : public EVorlandError
{
public:
    using EVorlandError::EVorlandError;
};

// The user's desktop folder: what `xdg-user-dir DESKTOP` answers (the user's own choice in
// user-dirs.dirs, translated names included), else XDG_DESKTOP_DIR, else "~/Desktop". Never empty
// while HOME is set; the folder need not exist.
std::string DesktopFolder();

// The program's own executable, as it runs (absolute).
std::string ProgramPath();

// Makes a launcher of the running program on the desktop: `name` + ".desktop" in DesktopFolder(),
// which is created when it is missing and its parent exists. An empty name takes the application's
// title. Returns the launcher's path.
std::string CreateDesktopShortcut(const std::string& name, const std::vector<std::string>& arguments,
                                  const std::string& applicationTitle = "Vorland");

// Makes the launcher `folder`/`name`.desktop for the target program (relative paths are made
// absolute against the current folder). Returns the launcher's path.
std::string CreateShortcut(const std::string& target, const std::string& folder, const std::string& name,
                           const std::vector<std::string>& arguments);

// Writes the launcher file itself: Type=Application, Name=`name`, Exec= the quoted target and the
// arguments, the program's icon. Replaces an existing file atomically, sets the executable bits and
// the trusted mark.
void CreateShellLink(const std::string& target, const std::string& shortcutFile, const std::string& name,
                     const std::vector<std::string>& arguments);

// The Exec= value of a launcher: every word quoted as the Desktop Entry format wants it (switches
// such as "/B" stay bare), "%" doubled, and the key-file escapes applied.
std::string DesktopExecValue(const std::string& target, const std::vector<std::string>& arguments);

// A value of a key-file string key: backslash, line breaks and tabs escaped.
std::string DesktopStringValue(const std::string& text);

// The launcher that runs a batch file unattended: "<file name without its last extension> Vorland",
// arguments the batch file and "/B".
std::string BatchShortcutName(const std::string& batchFile);
std::vector<std::string> BatchShortcutArguments(const std::string& batchFile);
