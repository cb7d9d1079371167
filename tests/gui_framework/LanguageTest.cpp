// Languages: caption files read, applied by component name and dumped; the language list and its
// folders; the numbered strings read at the moment of use; new and edited languages; about texts.
#include "core/AppStrings.h"
#include "core/CoreErrors.h"
#include "framework/CaptionFile.h"
#include "framework/TvkForm.h"
#include "framework/TvkLanguage.h"
#include "tests/guikit/GuiTestKit.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <gtest/gtest.h>

namespace {

// A small form with one component of each kind that takes part in translation.
class TFrmSample : public TvkForm
{
public:
    TFrmSample()
    {
        setObjectName(QStringLiteral("TFrmSample"));
        label = make<QLabel>("lbName", QStringLiteral("Name"));
        button = make<QPushButton>("btGo", QStringLiteral("&Go"));
        button->setToolTip(QStringLiteral("Start it"));
        check = make<QCheckBox>("cbRecurse", QStringLiteral("Recurse"));
        edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("edName"));
        edit->setToolTip(QStringLiteral("The name"));
        glyph = new QToolButton(this);
        glyph->setObjectName(QStringLiteral("_sbOpen"));
        glyph->setToolTip(QStringLiteral("Open"));
        glyph->setAccessibleName(QStringLiteral("Open"));
        hidden = make<QLabel>("_lbValue", QStringLiteral("set by code"));
        tabs = new QTabWidget(this);
        page = new QWidget;
        page->setObjectName(QStringLiteral("tsSource"));
        tabs->addTab(page, QStringLiteral("Source"));
        action = new QAction(QStringLiteral("Zip it"), this);
        action->setObjectName(QStringLiteral("cmZipIt"));
        separator = new QAction(this);
        separator->setObjectName(QStringLiteral("_N1"));
        separator->setSeparator(true);
    }

    template <class W> W* make(const char* name, const QString& caption)
    {
        auto* widget = new W(caption, this);
        widget->setObjectName(QString::fromLatin1(name));
        return widget;
    }

    QLabel* label;
    QPushButton* button;
    QCheckBox* check;
    QLineEdit* edit;
    QToolButton* glyph;
    QLabel* hidden;
    QTabWidget* tabs;
    QWidget* page;
    QAction* action;
    QAction* separator;
};

class LanguageTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        AppStrings().Reset();
        language.SetSearchFolders({user.Path(), shipped.Path()});
    }
    void TearDown() override { AppStrings().Reset(); }

    void writeLanguage(const TTempFolder& folder, const QString& name, const QByteArray& lines)
    {
        folder.Write(name.isEmpty() ? QStringLiteral("CaptionList.txt") : name + QStringLiteral("/CaptionList.txt"),
                     lines);
    }

    TTempFolder user;
    TTempFolder shipped;
    TvkLanguage language{QStringLiteral("English")};
};

const QByteArray kFrench = "FrmSample.lbName.Caption=Nom\r\n"
                           "FrmSample.btGo.Caption=&Aller\r\n"
                           "FrmSample.btGo.Hint=Le lancer\r\n"
                           "FRMSAMPLE.CBRECURSE.CAPTION=Sous-dossiers\r\n"
                           "FrmSample.edName.Hint=Le nom\r\n"
                           "FrmSample._sbOpen.Hint=Ouvrir\r\n"
                           "FrmSample.tsSource.Caption=Texte\r\n"
                           "FrmSample.cmZipIt.Caption=Compresser\r\n"
                           "FrmSample.cmZipIt.Caption=ignored: the first line of a name counts\r\n"
                           "strings.9=Compresser\r\n"
                           "strings.13=Annuler la compression ?\r\n";

} // namespace

TEST(CaptionFile, reads_utf8_and_windows_1252_with_any_line_end)
{
    TTempFolder folder;
    const QString utf8 = folder.Write(QStringLiteral("u.txt"), "\xEF\xBB\xBF"
                                                               "a=\xC3\xA9t\xC3\xA9\r\nb=x\ny=z\rlast=1");
    QStringList lines;
    ASSERT_TRUE(ReadTextLines(utf8, lines));
    EXPECT_EQ(lines, (QStringList{QStringLiteral("a=été"), QStringLiteral("b=x"), QStringLiteral("y=z"),
                                  QStringLiteral("last=1")}));
    const QString cp1252 = folder.Write(QStringLiteral("w.txt"), "a=\xE9t\xE9 \x80\r\n");
    ASSERT_TRUE(ReadTextLines(cp1252, lines));
    EXPECT_EQ(lines, QStringList{QStringLiteral("a=été €")});
    EXPECT_FALSE(ReadTextLines(folder.FilePath(QStringLiteral("missing.txt")), lines));
}

TEST(CaptionFile, splits_at_the_first_equals_keeps_blanks_and_the_first_name)
{
    TCaptionTable table;
    table.SetLines({QStringLiteral("F.a.Caption=x = y"), QStringLiteral("F.b.Caption="), QStringLiteral("no equals"),
                    QStringLiteral("f.A.caption=second"), QStringLiteral(" F.c.Caption= padded ")});
    EXPECT_EQ(table.Value(QStringLiteral("F.a.Caption")), QStringLiteral("x = y"));
    EXPECT_EQ(table.Value(QStringLiteral("F.b.Caption")), QString());
    EXPECT_EQ(table.Value(QStringLiteral(" F.c.Caption")), QStringLiteral(" padded "));
    EXPECT_EQ(table.Value(QStringLiteral("F.c.Caption")), QString());
}

TEST_F(LanguageTest, translates_captions_hints_tabs_actions_and_numbered_strings)
{
    writeLanguage(shipped, QStringLiteral("French"), kFrench);
    TFrmSample form;
    int translated = 0;
    form.OnTranslate = [&](TvkForm* sender) {
        EXPECT_EQ(sender, &form);
        // Texts built in code read the numbered strings now, and get the new language.
        form.hidden->setText(QString::fromStdString(AppString(sZipIt)));
        ++translated;
    };
    language.LoadLanguageList();
    ASSERT_EQ(language.Languages(), (QStringList{QStringLiteral("English"), QStringLiteral("French")}));
    language.SetLanguageIndex(1);

    EXPECT_EQ(form.label->text(), QStringLiteral("Nom"));
    EXPECT_EQ(form.button->text(), QStringLiteral("&Aller"));
    EXPECT_EQ(form.button->toolTip(), QStringLiteral("Le lancer"));
    EXPECT_EQ(form.check->text(), QStringLiteral("Sous-dossiers"));
    EXPECT_EQ(form.edit->toolTip(), QStringLiteral("Le nom"));
    EXPECT_EQ(form.glyph->toolTip(), QStringLiteral("Ouvrir"));
    EXPECT_EQ(form.glyph->accessibleName(), QStringLiteral("Ouvrir"));
    EXPECT_EQ(form.tabs->tabText(0), QStringLiteral("Texte"));
    EXPECT_EQ(form.action->text(), QStringLiteral("Compresser"));
    EXPECT_EQ(AppString(sCancelZip), "Annuler la compression ?");
    EXPECT_EQ(form.hidden->text(), QStringLiteral("Compresser"));
    EXPECT_EQ(translated, 1);
}

TEST_F(LanguageTest, english_restores_the_design_texts_and_strings)
{
    writeLanguage(shipped, QStringLiteral("French"), kFrench);
    TFrmSample form;
    language.LoadLanguageList();
    language.SetLanguageIndex(1);
    ASSERT_EQ(form.label->text(), QStringLiteral("Nom"));
    form.check->setText(QStringLiteral("changed by code"));

    language.SetLanguageIndex(0);
    EXPECT_EQ(form.label->text(), QStringLiteral("Name"));
    EXPECT_EQ(form.button->toolTip(), QStringLiteral("Start it"));
    EXPECT_EQ(form.glyph->accessibleName(), QStringLiteral("Open"));
    EXPECT_EQ(form.tabs->tabText(0), QStringLiteral("Source"));
    EXPECT_EQ(AppString(sCancelZip), "Cancel zip ?");
    // A text code changed since is code's, not the translation's.
    EXPECT_EQ(form.check->text(), QStringLiteral("changed by code"));
}

TEST_F(LanguageTest, an_empty_value_leaves_the_design_text_and_a_missing_file_keeps_the_last_translation)
{
    writeLanguage(shipped, QStringLiteral("French"), "FrmSample.lbName.Caption=\r\nFrmSample.btGo.Caption=Aller\r\n");
    QDir(shipped.Path()).mkpath(QStringLiteral("German"));
    TFrmSample form;
    language.LoadLanguageList();
    ASSERT_EQ(language.Languages().size(), 3);
    language.SetLanguageIndex(1);
    EXPECT_EQ(form.label->text(), QStringLiteral("Name"));
    EXPECT_EQ(form.button->text(), QStringLiteral("Aller"));
    // German has no caption file: the translation loaded before stays.
    language.SetLanguageIndex(2);
    EXPECT_EQ(language.CurrentLanguageName(), QStringLiteral("German"));
    EXPECT_EQ(form.button->text(), QStringLiteral("Aller"));
}

TEST_F(LanguageTest, choosing_the_current_language_does_nothing_unless_a_reload_is_requested)
{
    writeLanguage(shipped, QStringLiteral("French"), kFrench);
    TFrmSample form;
    int translated = 0;
    form.OnTranslate = [&](TvkForm*) { ++translated; };
    language.LoadLanguageList();
    language.SetLanguageIndex(1);
    language.SetLanguageIndex(1);
    EXPECT_EQ(translated, 1);
    language.RequestReload();
    language.SetLanguageIndex(1);
    EXPECT_EQ(translated, 2);
}

TEST_F(LanguageTest, an_index_beyond_the_list_falls_back_to_english_without_loading)
{
    writeLanguage(shipped, QStringLiteral("French"), kFrench);
    TFrmSample form;
    language.LoadLanguageList();
    language.RequestReload();
    language.SetLanguageIndex(5);
    EXPECT_EQ(language.LanguageIndex(), 0);
    EXPECT_EQ(form.label->text(), QStringLiteral("Name"));
    language.SetLanguageIndex(-1);
    EXPECT_EQ(language.LanguageIndex(), 0);
}

TEST_F(LanguageTest, french_locale_starts_in_french_only_when_a_french_folder_exists)
{
    TvkLanguage french(QStringLiteral("French"));
    french.SetSearchFolders({user.Path(), shipped.Path()});
    EXPECT_EQ(french.LanguageIndex(), 1);
    french.LoadLanguageList();
    EXPECT_EQ(french.LanguageIndex(), 0);

    writeLanguage(shipped, QStringLiteral("French"), kFrench);
    TvkLanguage again(QStringLiteral("French"));
    again.SetSearchFolders({user.Path(), shipped.Path()});
    again.LoadLanguageList();
    EXPECT_EQ(again.LanguageIndex(), 1);
    EXPECT_EQ(again.CurrentLanguageName(), QStringLiteral("French"));
    EXPECT_EQ(TvkLanguage(QStringLiteral("German")).LanguageIndex(), 0);
}

TEST_F(LanguageTest, languages_of_every_folder_are_listed_once_in_name_order_and_the_user_file_wins)
{
    writeLanguage(shipped, QStringLiteral("French"), "strings.9=shipped\r\n");
    writeLanguage(user, QStringLiteral("French"), "strings.9=mine\r\n");
    writeLanguage(user, QStringLiteral("basque"), "strings.9=euskara\r\n");
    QDir(shipped.Path()).mkpath(QStringLiteral("Dutch"));
    language.LoadLanguageList();
    EXPECT_EQ(language.Languages(), (QStringList{QStringLiteral("English"), QStringLiteral("basque"),
                                                 QStringLiteral("Dutch"), QStringLiteral("French")}));
    language.SetLanguageIndex(3);
    EXPECT_EQ(AppString(sZipIt), "mine");
}

TEST_F(LanguageTest, a_dump_writes_every_named_text_and_survives_a_reload_with_equals_signs)
{
    TFrmSample form;
    form.label->setText(QStringLiteral("a=b"));
    AppStrings().Set(sZipIt, "Zip = it");
    const QString fileName = user.FilePath(QStringLiteral("CaptionList.txt"));
    language.DumpTexts(fileName);

    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.contains("FrmSample.lbName.Caption=a=b\r\n"));
    EXPECT_TRUE(bytes.contains("FrmSample.btGo.Caption=&Go\r\nFrmSample.btGo.Hint=Start it\r\n"));
    EXPECT_TRUE(bytes.contains("FrmSample.edName.Hint=The name\r\n"));
    EXPECT_TRUE(bytes.contains("FrmSample._sbOpen.Hint=Open\r\n"));
    EXPECT_TRUE(bytes.contains("FrmSample.tsSource.Caption=Source\r\n"));
    EXPECT_TRUE(bytes.contains("FrmSample.cmZipIt.Caption=Zip it\r\n"));
    EXPECT_TRUE(bytes.contains("strings.0=Language to add\r\n"));
    EXPECT_TRUE(bytes.contains("strings.26=Select the directory where the selected files will be copied.\r\n"));
    // Names beginning with "_" keep their captions out; separators never appear.
    EXPECT_FALSE(bytes.contains("_lbValue"));
    EXPECT_FALSE(bytes.contains("_sbOpen.Caption"));
    EXPECT_FALSE(bytes.contains("_N1"));
    EXPECT_FALSE(bytes.contains("edName.Caption"));

    form.label->setText(QStringLiteral("other"));
    AppStrings().Reset();
    language.LoadLanguageList();
    language.RequestReload();
    language.SetLanguageIndex(0);
    EXPECT_EQ(form.label->text(), QStringLiteral("a=b"));
    EXPECT_EQ(AppString(sZipIt), "Zip = it");
}

TEST_F(LanguageTest, a_dump_that_cannot_be_written_raises_an_error)
{
    EXPECT_THROW(language.DumpTexts(user.FilePath(QStringLiteral("no/such/folder/CaptionList.txt"))), EInOutError);
}

TEST_F(LanguageTest, edit_without_any_languages_folder_makes_the_template_and_opens_it)
{
    TQueuedDialogs dialogs;
    TFrmSample form;
    const QString missingUser = user.FilePath(QStringLiteral("deep/Languages"));
    language.SetSearchFolders({missingUser});
    language.LoadLanguageList();
    EXPECT_EQ(language.Languages(), QStringList{QStringLiteral("English")});
    language.EditLanguage();
    const QString fileName = missingUser + QStringLiteral("/CaptionList.txt");
    ASSERT_EQ(dialogs.OpenedUrls.size(), 1);
    EXPECT_EQ(dialogs.OpenedUrls.front().toLocalFile(), fileName);
    QStringList lines;
    ASSERT_TRUE(ReadTextLines(fileName, lines));
    EXPECT_TRUE(lines.contains(QStringLiteral("FrmSample.lbName.Caption=Name")));
    EXPECT_TRUE(lines.contains(QStringLiteral("strings.13=Cancel zip ?")));
}

TEST_F(LanguageTest, editing_a_shipped_language_edits_a_copy_in_the_user_folder)
{
    TQueuedDialogs dialogs;
    writeLanguage(shipped, QStringLiteral("French"), kFrench);
    language.LoadLanguageList();
    language.SetLanguageIndex(1);
    language.EditLanguage();
    const QString copy = user.FilePath(QStringLiteral("French/CaptionList.txt"));
    ASSERT_EQ(dialogs.OpenedUrls.size(), 1);
    EXPECT_EQ(dialogs.OpenedUrls.front().toLocalFile(), copy);
    EXPECT_EQ(language.CaptionFileName(), copy);
}

TEST_F(LanguageTest, a_new_language_gets_the_template_is_listed_and_does_not_become_current)
{
    TQueuedDialogs dialogs;
    TQueuedPrompter prompter;
    writeLanguage(shipped, QString(), "strings.9=template\r\n");
    language.LoadLanguageList();
    language.CreateLanguage(QStringLiteral("Italian"));
    EXPECT_EQ(language.Languages(), (QStringList{QStringLiteral("English"), QStringLiteral("Italian")}));
    EXPECT_EQ(language.LanguageIndex(), 0);
    QStringList lines;
    ASSERT_TRUE(ReadTextLines(user.FilePath(QStringLiteral("Italian/CaptionList.txt")), lines));
    EXPECT_EQ(lines, QStringList{QStringLiteral("strings.9=template")});
    EXPECT_EQ(dialogs.OpenedUrls.size(), 1);

    // Again, with a translation in the folder: replaced only after the user agreed.
    writeLanguage(user, QStringLiteral("Italian"), "strings.9=Comprimi\r\n");
    language.CreateLanguage(QStringLiteral("Italian"));
    ASSERT_EQ(prompter.Questions.size(), 1u);
    EXPECT_NE(prompter.Questions.front().find("Italian/CaptionList.txt already exists"), std::string::npos);
    ASSERT_TRUE(ReadTextLines(user.FilePath(QStringLiteral("Italian/CaptionList.txt")), lines));
    EXPECT_EQ(lines, QStringList{QStringLiteral("strings.9=Comprimi")});
    prompter.QueueConfirm(true);
    language.CreateLanguage(QStringLiteral("Italian"));
    ASSERT_TRUE(ReadTextLines(user.FilePath(QStringLiteral("Italian/CaptionList.txt")), lines));
    EXPECT_EQ(lines, QStringList{QStringLiteral("strings.9=template")});
}

TEST_F(LanguageTest, a_new_language_name_that_is_not_a_plain_folder_name_does_nothing)
{
    TQueuedDialogs dialogs;
    for (const QString& name : {QString(), QStringLiteral(".."), QStringLiteral("a/b"), QStringLiteral("../x")}) {
        language.CreateLanguage(name);
    }
    EXPECT_TRUE(dialogs.OpenedUrls.isEmpty());
    EXPECT_TRUE(QDir(user.Path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

TEST_F(LanguageTest, about_text_of_the_language_else_of_the_folder_and_edit_makes_the_language_own)
{
    writeLanguage(shipped, QStringLiteral("French"), kFrench);
    language.LoadLanguageList();
    language.SetLanguageIndex(1);
    const QString userRootAbout = user.FilePath(QStringLiteral("About.txt"));
    EXPECT_EQ(language.AboutFileName(), userRootAbout);
    const QString rootAbout = shipped.Write(QStringLiteral("About.txt"), "english");
    EXPECT_EQ(language.AboutFileName(), rootAbout);

    const QString editable = language.EditableAboutFileName();
    EXPECT_EQ(editable, user.FilePath(QStringLiteral("French/About.txt")));
    EXPECT_TRUE(QFile::exists(editable));
    EXPECT_EQ(QFileInfo(editable).size(), 0);
    EXPECT_EQ(language.AboutFileName(), editable);

    const QString shippedFrench = shipped.Write(QStringLiteral("French/About.txt"), "en français");
    QFile::remove(editable);
    EXPECT_EQ(language.AboutFileName(), shippedFrench);
    // Editing starts from the shipped text rather than from nothing.
    QStringList lines;
    ASSERT_TRUE(ReadTextLines(language.EditableAboutFileName(), lines));
    EXPECT_EQ(lines, QStringList{QStringLiteral("en français")});
}
