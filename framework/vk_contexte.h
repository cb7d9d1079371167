#pragma once
// The program's settings store: typed values with defaults and the placement of forms, kept per user
// in QSettings under the organisation "Orvane" and one key per application (an INI file under the
// user's configuration folder on Linux, the registry on Windows). Groups: "Initial" for the
// application's values, "Settings/<form key>" for each form's placement.
//
// One instance per process, AppContexte(); GUI thread only.

#include <QString>

class QSettings;
class QWidget;

class TvkContexte
{
public:
    // Installs the new object as AppContexte() when none is installed yet.
    TvkContexte();
    // Uninstalls it when it is the installed one.
    ~TvkContexte();
    TvkContexte(const TvkContexte&) = delete;
    TvkContexte& operator=(const TvkContexte&) = delete;

    // The effective application name: the assigned name, or else the executable's file name without
    // folder and extension.
    QString ApplicationName() const;
    // Overrides the executable's name for the key name (the program assigns "Vorland" first thing).
    void SetApplicationName(const QString& name) { m_applicationName = name; }

    // The key name formed from a name: ASCII letters lower-cased, then a first letter a-z upper-cased
    // ("MYTOOL" gives "Mytool", "Batch Tool" gives "Batch tool").
    static QString KeyNameOf(const QString& name);
    // The application's key name, computed at the first call and kept for the life of the object, so
    // a later change of the application name does not move the settings.
    QString KeyName();
    // "Software/Orvane/" and the key name (what the registry path would be on Windows).
    QString KeyPath();
    // The file the settings live in (for messages and tests).
    QString FileName();

    // Typed values. A read returns the default when the section or value is missing or the stored
    // value is not of the asked type (an integer must be a whole 32-bit number); nothing is reported.
    // A write creates the section as needed.
    QString ReadString(const QString& section, const QString& name, const QString& defaultValue);
    void WriteString(const QString& section, const QString& name, const QString& value);
    int ReadInteger(const QString& section, const QString& name, int defaultValue);
    void WriteInteger(const QString& section, const QString& name, int value);
    // True when the section holds a value of that name (of any type).
    bool ValueExists(const QString& section, const QString& name);

    // The same in the group "Initial". ReadInitialString's default is the empty text.
    QString ReadInitialString(const QString& name);
    void WriteInitialString(const QString& name, const QString& value);
    int ReadInitialInteger(const QString& name, int defaultValue);
    void WriteInitialInteger(const QString& name, int value);

    // "Settings/" followed by the form's key (its class name without the first character).
    static QString FormSection(const QWidget* form);

    // Restores a form's stored position and, for a resizable form, its size. A value that is missing,
    // of the wrong type or out of range keeps the form's current value; a position that would put
    // the form off every screen is not applied. The form is then fitted to the free area of its
    // screen: never larger (down to its minimum size), and moved so that it lies wholly on it.
    // Nothing happens for nullptr.
    void LoadFormPlacement(QWidget* form);
    // Stores a form's position and size, only while it is in the normal state (neither minimised,
    // maximised nor full screen) and only once it has been shown; otherwise the values stored at an
    // earlier normal close stay. Nothing happens for nullptr.
    void SaveFormPlacement(QWidget* form);

    // True when the user can resize the form (its minimum and maximum sizes differ).
    static bool IsResizable(const QWidget* form);

private:
    QSettings* openSettings();

    QString m_applicationName;
    QString m_keyName;
};

// The process-wide settings store: the installed instance, created on first use when none is.
TvkContexte& AppContexte();
