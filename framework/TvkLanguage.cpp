#include "framework/TvkLanguage.h"

#include "core/AppStrings.h"
#include "core/Questions.h"
#include "framework/FormTexts.h"
#include "framework/TvkForm.h"
#include "framework/WindowTools.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QLocale>
#include <QPointer>
#include <QStandardPaths>
#include <QTranslator>
#include <QWidget>

#include <algorithm>
#include <memory>

namespace {

TvkLanguage* g_installed = nullptr;
std::unique_ptr<TvkLanguage> g_default;

const QString kEnglish = QStringLiteral("English");
const QString kCaptionFile = QStringLiteral("CaptionList.txt");
const QString kAboutFile = QStringLiteral("About.txt");
constexpr int kSystemLanguageLength = 10;

QString executableFolder()
{
    if (QCoreApplication::instance() != nullptr) {
        return QCoreApplication::applicationDirPath();
    }
    return QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath();
}

// Texts that cannot stand on one line of a caption file are left out of templates.
bool fitsOnALine(const QString& text)
{
    return !text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n'));
}

// A name that makes one folder below the Languages folder and nothing else.
bool isPlainFolderName(const QString& name)
{
    return !name.isEmpty() && name != QLatin1String(".") && name != QLatin1String("..") &&
           !name.contains(QLatin1Char('/')) && !name.contains(QLatin1Char('\\')) && !name.contains(QChar(0));
}

bool copyFile(const QString& from, const QString& to)
{
    if (QFileInfo::exists(to) && !QFile::remove(to)) {
        return false;
    }
    if (!QFile::copy(from, to)) {
        return false;
    }
    // A copy of a shipped (read-only) file is the user's to edit.
    QFile::setPermissions(to, QFile::permissions(to) | QFileDevice::WriteOwner | QFileDevice::ReadOwner);
    return true;
}

// The language of the locale whose English (or own) name is `name`; C when there is none.
QLocale::Language localeLanguage(const QString& name)
{
    for (int value = QLocale::C + 1; value <= QLocale::LastLanguage; ++value) {
        const auto language = static_cast<QLocale::Language>(value);
        if (QLocale::languageToString(language).compare(name, Qt::CaseInsensitive) == 0) {
            return language;
        }
    }
    for (const QLocale& locale :
         QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
        if (locale.language() != QLocale::C && locale.nativeLanguageName().compare(name, Qt::CaseInsensitive) == 0) {
            return locale.language();
        }
    }
    return QLocale::C;
}

// Qt's own texts (the buttons of message boxes, file dialogs and prompts) in the language named
// `name`, from Qt's translations when they are installed; English for an empty name.
void useQtTexts(const QString& name)
{
    static QPointer<QTranslator> installed;
    if (installed != nullptr) {
        QCoreApplication::removeTranslator(installed);
        delete installed;
    }
    if (name.isEmpty() || QCoreApplication::instance() == nullptr) {
        return;
    }
    const QLocale::Language language = localeLanguage(name);
    if (language == QLocale::C) {
        return;
    }
    auto* translator = new QTranslator(QCoreApplication::instance());
    if (translator->load(QLocale(language), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(translator);
        installed = translator;
    } else {
        delete translator;
    }
}

// The text a translation may later need to give back: what a component showed before the first
// translation touched it, and the translated text last put there.
struct TextMemory
{
    const char* design;
    const char* shown;
};
constexpr TextMemory kCaptionMemory{"vkDesignCaption", "vkShownCaption"};
constexpr TextMemory kHintMemory{"vkDesignHint", "vkShownHint"};

void applyText(QObject* component, const QString& value, const TextMemory& memory, bool caption)
{
    const QString current = caption ? Caption(component) : Hint(component);
    if (!component->property(memory.design).isValid()) {
        component->setProperty(memory.design, current);
    }
    const auto set = [&](const QString& text) { caption ? SetCaption(component, text) : SetHint(component, text); };
    if (!value.isEmpty()) {
        if (value != current) {
            set(value);
        }
        component->setProperty(memory.shown, value);
        return;
    }
    const QVariant shown = component->property(memory.shown);
    if (shown.isValid() && shown.toString() == current) {
        // Shows a translation of the language before: back to the design text.
        set(component->property(memory.design).toString());
        component->setProperty(memory.shown, QVariant());
    }
}

} // namespace

TvkLanguage::TvkLanguage(const QString& systemLanguage) : m_systemLanguage(systemLanguage.left(kSystemLanguageLength))
{
    if (g_installed == nullptr) {
        g_installed = this;
    }
    m_languageIndex = m_systemLanguage.compare(QLatin1String("French"), Qt::CaseInsensitive) == 0 ? 1 : 0;
}

TvkLanguage::~TvkLanguage()
{
    if (g_installed == this) {
        g_installed = nullptr;
    }
}

QString TvkLanguage::SystemLocaleLanguage()
{
    return QLocale::languageToString(QLocale::system().language());
}

QStringList TvkLanguage::SearchFolders() const
{
    if (!m_searchFolders.isEmpty()) {
        return m_searchFolders;
    }
    const QString dataHome = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    const QString exeFolder = executableFolder();
    return {dataHome + QStringLiteral("/vorland/Languages"), exeFolder + QStringLiteral("/Languages"),
            QDir::cleanPath(exeFolder + QStringLiteral("/../share/vorland/Languages"))};
}

QString TvkLanguage::LanguagesFolder() const
{
    return SearchFolders().constFirst();
}

void TvkLanguage::ScanLanguages(QStringList& list) const
{
    list.clear();
    QStringList names;
    for (const QString& folder : SearchFolders()) {
        const QStringList entries = QDir(folder).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden);
        for (const QString& entry : entries) {
            if (!names.contains(entry) && entry.compare(kEnglish, Qt::CaseInsensitive) != 0) {
                names.append(entry);
            }
        }
    }
    std::stable_sort(names.begin(), names.end(),
                     [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    list.append(kEnglish);
    list.append(names);
}

void TvkLanguage::LoadLanguageList()
{
    ScanLanguages(m_languages);
    if (m_languageIndex >= m_languages.size()) {
        m_languageIndex = 0;
    }
}

QString TvkLanguage::CurrentLanguageName() const
{
    if (m_languageIndex <= 0 || m_languageIndex >= m_languages.size()) {
        return {};
    }
    return m_languages.at(m_languageIndex);
}

void TvkLanguage::SetLanguageIndex(int index)
{
    if (!m_reloadPending && index == m_languageIndex) {
        return;
    }
    const bool known = index >= 0 && index < m_languages.size();
    m_languageIndex = known ? index : 0;
    if (!known) {
        return;
    }
    LoadTranslations();
    useQtTexts(CurrentLanguageName());
    ApplyTranslations();
    m_reloadPending = false;
}

QString TvkLanguage::languageFolderIn(const QString& folder, int index) const
{
    if (index <= 0 || index >= m_languages.size()) {
        return folder;
    }
    return folder + QLatin1Char('/') + m_languages.at(index);
}

QString TvkLanguage::findLanguageFile(int index, const QString& fileName) const
{
    for (const QString& folder : SearchFolders()) {
        const QString path = languageFolderIn(folder, index) + QLatin1Char('/') + fileName;
        if (QFileInfo(path).isFile()) {
            return path;
        }
    }
    return {};
}

QString TvkLanguage::userLanguageFile(int index, const QString& fileName) const
{
    return languageFolderIn(LanguagesFolder(), index) + QLatin1Char('/') + fileName;
}

QString TvkLanguage::CaptionFileName() const
{
    return findLanguageFile(m_languageIndex, kCaptionFile);
}

void TvkLanguage::LoadTranslations()
{
    const QString fileName = CaptionFileName();
    if (!fileName.isEmpty() && m_translations.LoadFromFile(fileName)) {
        return;
    }
    if (m_languageIndex <= 0) {
        // English is built in: without a caption file of its own it shows the design texts, never
        // the language loaded before.
        m_translations.Clear();
    }
}

void TvkLanguage::ApplyTranslations()
{
    ApplyNumberedStrings(m_translations.Entries(), AppStrings());
    for (QWidget* form : ExistingForms()) {
        TranslateForm(form);
    }
}

void TvkLanguage::TranslateForm(QWidget* form)
{
    if (form == nullptr) {
        return;
    }
    const QString key = FormKey(form) + QLatin1Char('.');
    for (QObject* component : FormComponents(form)) {
        const QString prefix = key + component->objectName();
        if (HasCaption(component)) {
            applyText(component, Translation(prefix + QStringLiteral(".Caption")), kCaptionMemory, true);
        }
        if (component->isWidgetType() || qobject_cast<QAction*>(component) != nullptr) {
            applyText(component, Translation(prefix + QStringLiteral(".Hint")), kHintMemory, false);
        }
    }
    if (auto* vkForm = qobject_cast<TvkForm*>(form); vkForm != nullptr && vkForm->OnTranslate) {
        vkForm->OnTranslate(vkForm);
    }
}

QString TvkLanguage::FormKey(const QWidget* form)
{
    if (form == nullptr) {
        return {};
    }
    QString name = form->objectName();
    if (name.isEmpty()) {
        name = QString::fromLatin1(form->metaObject()->className());
    }
    return name.mid(1);
}

namespace {

void appendFormLines(QWidget* form, QStringList& lines)
{
    const QString key = TvkLanguage::FormKey(form);
    for (QObject* component : FormComponents(form)) {
        const QString name = component->objectName();
        if (!name.startsWith(QLatin1Char('_')) && HasCaption(component)) {
            const QString caption = Caption(component);
            if (!caption.isEmpty() && fitsOnALine(caption)) {
                lines.append(QStringLiteral("%1.%2.Caption=%3").arg(key, name, caption));
            }
        }
        const QString hint = Hint(component);
        if (!hint.isEmpty() && fitsOnALine(hint)) {
            lines.append(QStringLiteral("%1.%2.Hint=%3").arg(key, name, hint));
        }
    }
}

} // namespace

QStringList TvkLanguage::TextLines()
{
    QStringList lines;
    QStringList keys;
    for (QWidget* form : ExistingForms()) {
        appendFormLines(form, lines);
        keys.append(FormKey(form));
    }
    // Windows that are not open take part too, so a template covers every window of the program.
    for (const auto& [key, make] : TemplateForms()) {
        if (keys.contains(key)) {
            continue;
        }
        if (const std::unique_ptr<QWidget> form = make()) {
            TranslateForm(form.get());
            appendFormLines(form.get(), lines);
            keys.append(key);
        }
    }
    const TvkStringList& strings = AppStrings();
    for (int number = 0; number < strings.Count(); ++number) {
        if (!TvkStringList::IsUsed(number)) {
            continue;
        }
        lines.append(QStringLiteral("strings.%1=").arg(number) + QString::fromStdString(strings.Get(number)));
    }
    return lines;
}

void TvkLanguage::DumpTexts(const QString& fileName)
{
    WriteTextLines(fileName, TextLines());
}

void TvkLanguage::writeTemplate(const QString& fileName)
{
    const QString englishFile = findLanguageFile(0, kCaptionFile);
    if (englishFile.isEmpty() || !copyFile(englishFile, fileName)) {
        // No English caption file to start from: the texts on screen make the template.
        DumpTexts(fileName);
    }
}

QString TvkLanguage::shippedCaptionFile(const QString& name) const
{
    const QStringList folders = SearchFolders();
    for (qsizetype i = 1; i < folders.size(); ++i) {
        const QString path = folders.at(i) + QLatin1Char('/') + name + QLatin1Char('/') + kCaptionFile;
        if (QFileInfo(path).isFile()) {
            return path;
        }
    }
    return {};
}

void TvkLanguage::relistLanguages()
{
    // The list is sorted: a new name may move the current language to another index.
    const QString current = m_languages.value(m_languageIndex);
    ScanLanguages(m_languages);
    m_languageIndex = std::max(0, static_cast<int>(m_languages.indexOf(current)));
}

void TvkLanguage::CreateLanguage(const QString& name)
{
    if (!isPlainFolderName(name)) {
        return;
    }
    const QString folder = LanguagesFolder() + QLatin1Char('/') + name;
    const QString fileName = folder + QLatin1Char('/') + kCaptionFile;
    if (QFileInfo::exists(fileName)) {
        const QString question =
            QString::fromStdString(AppString(sAlreadyExists)).replace(QLatin1String("%s"), fileName);
        if (!Confirm(question.toStdString())) {
            return;
        }
    } else if (const QString shipped = shippedCaptionFile(name); !shipped.isEmpty()) {
        // The user's file is looked up first, so a new template would hide the shipped translation.
        const QString question =
            QString::fromStdString(AppString(sHidesShippedLanguage)).replace(QLatin1String("%s"), shipped);
        if (!Confirm(question.toStdString())) {
            return;
        }
    }
    QDir().mkpath(folder);
    writeTemplate(fileName);
    relistLanguages();
    OpenDocument(fileName);
}

void TvkLanguage::EditLanguage()
{
    QString fileName = CaptionFileName();
    const QString userFile = userLanguageFile(m_languageIndex, kCaptionFile);
    if (fileName != userFile) {
        QDir().mkpath(QFileInfo(userFile).absolutePath());
        if (fileName.isEmpty()) {
            if (m_languageIndex > 0) {
                writeTemplate(userFile);
            } else {
                DumpTexts(userFile);
            }
            relistLanguages();
        } else {
            // A shipped file: the user's copy is the one edited, and it takes precedence from now on.
            copyFile(fileName, userFile);
        }
        fileName = userFile;
    }
    OpenDocument(fileName);
}

QString TvkLanguage::AboutFileName() const
{
    QString fileName = findLanguageFile(m_languageIndex, kAboutFile);
    if (fileName.isEmpty()) {
        fileName = findLanguageFile(0, kAboutFile);
    }
    if (fileName.isEmpty()) {
        fileName = userLanguageFile(0, kAboutFile);
    }
    return fileName;
}

QString TvkLanguage::EditableAboutFileName() const
{
    const QString userFile = userLanguageFile(m_languageIndex, kAboutFile);
    if (QFileInfo::exists(userFile)) {
        return userFile;
    }
    QDir().mkpath(QFileInfo(userFile).absolutePath());
    const QString shipped = findLanguageFile(m_languageIndex, kAboutFile);
    if (shipped.isEmpty() || !copyFile(shipped, userFile)) {
        QFile file(userFile);
        (void)file.open(QIODevice::WriteOnly);
    }
    return userFile;
}

TvkLanguage& AppLanguage()
{
    if (g_installed == nullptr) {
        g_default = std::make_unique<TvkLanguage>();
    }
    return *g_installed;
}
