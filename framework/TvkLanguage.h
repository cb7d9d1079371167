#pragma once
// The language object: the list of languages (English, the design language, built in; the others
// are the subfolders of the Languages folders), the caption file of the current language, and the
// translation of forms and of the numbered strings. Also writes a complete caption file from the
// texts on screen (the template of a new language) and finds the about text of a language.
//
// Languages folders, looked up in this order (a language may live in any of them; the first folder
// holding a file wins): the user's own "$XDG_DATA_HOME/vorland/Languages", which "Add a new
// language", "Edit the language" and "Edit about file" write to; "Languages" beside the executable;
// "../share/vorland/Languages" from the executable's folder (an installed program).
//
// One instance per process, AppLanguage(); GUI thread only.

#include "framework/CaptionFile.h"

#include <QString>
#include <QStringList>

class QObject;
class QWidget;

class TvkLanguage
{
public:
    // `systemLanguage`: the English name of the user's language (at most 10 characters are kept);
    // French makes index 1 the starting language, anything else English. Installs the new object as
    // AppLanguage() when none is installed yet.
    explicit TvkLanguage(const QString& systemLanguage = SystemLocaleLanguage());
    ~TvkLanguage();
    TvkLanguage(const TvkLanguage&) = delete;
    TvkLanguage& operator=(const TvkLanguage&) = delete;

    // The English name of the language of the user's locale (QLocale::system()).
    static QString SystemLocaleLanguage();
    QString SystemLanguage() const { return m_systemLanguage; }

    // The folders looked in, in lookup order; the first one is the user's writable folder.
    QStringList SearchFolders() const;
    // Replaces the lookup (tests); the first folder is the writable one. Empty restores the default.
    void SetSearchFolders(const QStringList& folders) { m_searchFolders = folders; }
    // The user's writable Languages folder, without trailing separator.
    QString LanguagesFolder() const;

    // Available languages: entry 0 is "English", then the subfolders of every Languages folder, each
    // name once, sorted without regard to letter case so an index means the same language each run.
    const QStringList& Languages() const { return m_languages; }
    void ScanLanguages(QStringList& list) const;
    // ScanLanguages into Languages(), then an index beyond the list becomes 0.
    void LoadLanguageList();

    int LanguageIndex() const { return m_languageIndex; }
    // Empty for English, else the name of the current language.
    QString CurrentLanguageName() const;
    // Makes a language current: loads its caption file and translates the numbered strings and every
    // form that exists; Qt's own texts (standard buttons, file dialogs) follow when Qt's translations
    // for that language are installed. Does nothing when it is already current, unless a reload was requested. An
    // index outside the list makes English current without loading anything.
    void SetLanguageIndex(int index);
    // The next SetLanguageIndex loads and applies even when the index does not change.
    void RequestReload() { m_reloadPending = true; }

    // The caption file of the current language: English always starts from the design texts (its
    // own caption file, when there is one, is applied over them); a named language without a caption
    // file keeps the translation loaded before.
    void LoadTranslations();
    // Translates the numbered strings, then every existing form.
    void ApplyTranslations();
    // Translates one form's components by name, then raises its OnTranslate when it is a TvkForm. A
    // text that a translation replaced comes back to its design text when the new language has no
    // text for it.
    void TranslateForm(QWidget* form);
    // The current translation of a caption-file name ("FrmSaveZip.cmNew.Caption", "strings.9").
    QString Translation(const QString& name) const { return m_translations.Value(name); }
    // Sets the current translation from lines (tests; what LoadTranslations does from a file).
    void SetTranslationLines(const QStringList& lines) { m_translations.SetLines(lines); }

    // The form's key: its class name (its object name when set) without the first character.
    static QString FormKey(const QWidget* form);

    // Writes a complete caption file of every form's captions and hints and of the numbered strings,
    // as now shown: the existing forms, then the registered template forms that are not open (made for
    // the moment, FormTexts.h). Throws EInOutError when the file cannot be written.
    void DumpTexts(const QString& fileName);
    // The lines DumpTexts writes.
    QStringList TextLines();

    // "Add a new language": makes the language's folder in the user's Languages folder, puts the
    // English caption file there as its template (or the texts on screen when there is none; an
    // existing caption file, or a shipped translation the new file would hide, is replaced only when
    // the user confirms), relists the languages (the current one stays current, whatever index it
    // gets) and opens the new file in the user's editor. An empty name or one
    // that is not a plain folder name does nothing. Errors of opening the file are raised.
    void CreateLanguage(const QString& name);
    // "Edit the language": opens the current language's caption file in the user's editor, first
    // making it (as CreateLanguage; for English from the texts on screen) when there is none, and
    // copying it into the user's folder when it lies in a shipped folder.
    void EditLanguage();

    // The caption file of the current language, or empty when there is none.
    QString CaptionFileName() const;
    // The about text of the current language, else the one of the Languages folder, else the path it
    // would have in the user's Languages folder.
    QString AboutFileName() const;
    // The current language's about text in the user's folder, made first when missing: a copy of the
    // shipped one for the language, or an empty file.
    QString EditableAboutFileName() const;

    // The address of the online help; empty means none.
    QString HelpAddress() const { return m_helpAddress; }
    void SetHelpAddress(const QString& address) { m_helpAddress = address; }

private:
    QString languageFolderIn(const QString& folder, int index) const;
    QString findLanguageFile(int index, const QString& fileName) const;
    QString userLanguageFile(int index, const QString& fileName) const;
    void writeTemplate(const QString& fileName);
    // The caption file of a language of that name in a folder other than the user's, or empty.
    QString shippedCaptionFile(const QString& name) const;
    // ScanLanguages into Languages(), the current language staying current at its new index.
    void relistLanguages();

    QStringList m_languages;
    int m_languageIndex = 0;
    TCaptionTable m_translations;
    bool m_reloadPending = false;
    QString m_helpAddress;
    QString m_systemLanguage;
    QStringList m_searchFolders;
};

// The process-wide language object: the installed instance, created on first use when none is.
TvkLanguage& AppLanguage();
