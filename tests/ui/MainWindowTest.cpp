// The main window's section editing: adding, naming, renaming in place, the property pane, deletion
// and selection, the mask list dialogs and proposals, the popup menu's rules and the view styles.
#include "batch/p_BatchList.h"
#include "framework/TvkLanguage.h"
#include "framework/vk_fBaseDialogueListe.h"
#include "framework/vk_fbaseSelectList.h"
#include "testkit/TestKit.h"
#include "tests/guikit/GuiTestKit.h"
#include "ui/BatchParametersPage.h"
#include "ui/EditorTestKit.h"
#include "ui/MainWindowCommands.h"
#include "ui/RestoreWindow.h"
#include "ui/SectionListModel.h"
#include "ui/SectionListView.h"
#include "ui/SectionPropertyPane.h"
#include "ui/p_fmain.h"
#include "ui/p_fwizard.h"

#include "controls/vk_Button.h"
#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

class MainWindow : public ::testing::Test
{
protected:
    MainWindow()
    {
        uitest::ensureApplication();
        window = std::make_unique<TFrmSaveZip>();
    }

    TpxBatchList& Batch() { return window->BatchList(); }
    TSectionPropertyPane& Pane() { return *window->PnProperties; }
    TMainWindowCommands& Commands() { return *window->Commands; }

    void AddSection(const std::string& name, const std::string& dir = "", bool recurse = false)
    {
        Batch().AddEntry(
            std::make_unique<TBatchEntry>(name, "/z/" + name + ".zip", dir, "*.*", "", recurse, false, true));
        window->RefreshBatch();
    }

    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (int i = 0; i < Batch().Count(); ++i)
            names.push_back(Batch().Entries(i).Name);
        return names;
    }

    QString Caption(int row)
    {
        QAbstractItemView* view = window->lbBatchList->ActiveView();
        return view->model()->index(row, 0).data().toString();
    }

    void Show()
    {
        window->show();
        QApplication::setActiveWindow(window.get());
    }

    // The open in-place editor of the section list, or nullptr.
    QLineEdit* CaptionEditor()
    {
        // A closed editor is only deleted later: the open one is the visible one.
        for (QLineEdit* editor : window->lbBatchList->ActiveView()->viewport()->findChildren<QLineEdit*>()) {
            if (editor->isVisible())
                return editor;
        }
        return nullptr;
    }

    // Renames the row in place as a user would: editor opened, text typed, Enter.
    void RenameInPlace(int row, const QString& text)
    {
        Show();
        window->SelectSection(row);
        window->cmRenameClick();
        QLineEdit* editor = CaptionEditor();
        ASSERT_NE(editor, nullptr) << "no editor opened";
        editor->setText(text);
        QTest::keyClick(editor, Qt::Key_Return);
        QApplication::processEvents(); // the editor commits through a queued call
        EXPECT_FALSE(window->lbBatchList->IsEditing());
    }

    TQueuedPrompter prompter;
    uitest::TDialogAnswers answers;
    std::unique_ptr<TFrmSaveZip> window;
};

} // namespace

TEST_F(MainWindow, added_sections_are_named_New_New_1_New_2_selected_and_opened_for_renaming)
{
    Show();
    window->cmAddClick();
    window->cmAddClick();
    window->cmAddClick();
    EXPECT_EQ(Names(), (std::vector<std::string>{"New", "New 1", "New 2"}));
    EXPECT_EQ(window->SelectedIndex(), 2);
    EXPECT_EQ(Caption(2), "New 2");
    EXPECT_EQ(Pane().edName->text(), "New 2");
    EXPECT_TRUE(window->lbBatchList->IsEditing());
    const TBatchEntry& added = Batch().Entries(2);
    EXPECT_TRUE(added.Compress);
    EXPECT_EQ(added.Suffix, "*.*");
    EXPECT_FALSE(added.Recurse);
    EXPECT_FALSE(added.DirName);
}

TEST_F(MainWindow, a_wizard_section_named_like_two_others_becomes_Docs_2)
{
    AddSection("Docs");
    AddSection("Docs 1");
    answers.Then([](QDialog& dialog) {
        auto& w = dynamic_cast<TfrmBatchWizard&>(dialog);
        w.edSelectDir->setText("/data");
        w.EdZipName->setText("/z/d.zip");
        w.edSelectName->setText("Docs");
        return static_cast<int>(QDialog::Accepted);
    });
    window->cmWizardClick();
    EXPECT_EQ(Names(), (std::vector<std::string>{"Docs", "Docs 1", "Docs 2"}));
    EXPECT_EQ(window->SelectedIndex(), 2);
    EXPECT_EQ(Pane().edDir->text(), "/data");
    // Cancelled: nothing changes.
    window->cmWizardClick();
    EXPECT_EQ(Batch().Count(), 3);
}

TEST_F(MainWindow, renaming_in_place_is_refused_case_blind_and_with_blanks)
{
    AddSection("Docs");
    AddSection("Mail");
    RenameInPlace(1, "docs");
    ASSERT_EQ(prompter.Errors.size(), 1u);
    EXPECT_EQ(prompter.Errors[0], "docs already exists");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Docs", "Mail"}));
    EXPECT_EQ(Caption(1), "Mail");
    RenameInPlace(1, "  Docs ");
    ASSERT_EQ(prompter.Errors.size(), 2u);
    EXPECT_EQ(prompter.Errors[1], "  Docs  already exists");
    RenameInPlace(1, "  ");
    ASSERT_EQ(prompter.Errors.size(), 3u);
    EXPECT_EQ(prompter.Errors[2], "A section needs a name.");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Docs", "Mail"}));
}

TEST_F(MainWindow, a_double_click_on_the_selected_entry_opens_the_wizard_and_leaves_no_rename_box)
{
    AddSection("A");
    Show();
    window->SelectSection(0);
    QAbstractItemView* view = window->lbBatchList->ActiveView();
    const QPoint at = view->visualRect(view->model()->index(0, 0)).center();
    // As the window system delivers it: press and release, then the second press as a double click.
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, at);
    QTest::qWait(QApplication::doubleClickInterval() + 200);
    EXPECT_EQ(answers.Asked(), 1);
    EXPECT_FALSE(window->lbBatchList->IsEditing());
}

TEST_F(MainWindow, the_menu_button_and_shift_f10_on_the_source_text_reach_the_window_menu)
{
    Show();
    window->_sbMenu->click();
    EXPECT_TRUE(window->PopupMenu->isVisible());
    window->PopupMenu->close();

    window->PageControl->setCurrentIndex(2);
    window->idBatch->setFocus();
    QTest::keyClick(window->idBatch, Qt::Key_F10, Qt::ShiftModifier);
    auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->actions().contains(window->cmCommands));
    EXPECT_EQ(window->cmCommands->menu(), window->PopupMenu);
    EXPECT_FALSE(menu->actions().contains(Commands().cmZipIt)); // the text's own items come first
    menu->close();
}

TEST_F(MainWindow, renaming_in_place_to_its_own_name_in_another_case_is_accepted_as_typed)
{
    AddSection("Docs");
    AddSection("Mail");
    RenameInPlace(1, "MAIL");
    EXPECT_TRUE(prompter.Errors.empty());
    EXPECT_EQ(Names(), (std::vector<std::string>{"Docs", "MAIL"}));
    EXPECT_EQ(Pane().edName->text(), "MAIL");
    RenameInPlace(1, " Post ");
    EXPECT_EQ(Batch().Entries(1).Name, " Post ");
    EXPECT_EQ(Caption(1), " Post ");
}

TEST_F(MainWindow, the_name_field_stores_the_trimmed_name_and_allows_duplicates)
{
    AddSection("Docs");
    AddSection("Mail");
    window->SelectSection(1);
    Pane().edName->setText("  Docs  ");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Docs", "Docs"}));
    EXPECT_EQ(Caption(1), "Docs");
    EXPECT_EQ(Pane().edName->text(), "  Docs  ");
    EXPECT_TRUE(prompter.Errors.empty());
    // An empty name is shown as refused and not stored.
    Pane().edName->setText("   ");
    EXPECT_EQ(Names(), (std::vector<std::string>{"Docs", "Docs"}));
    EXPECT_FALSE(Pane()._lbProblem->isHidden());
}

TEST_F(MainWindow, pane_edits_are_stored_trimmed_and_parameters_untrimmed)
{
    AddSection("A");
    window->SelectSection(0);
    Pane().edDir->setText(" /data ");
    Pane().EdZipName->setText(" /z.zip");
    Pane().edSuffix->setText("*.doc ");
    Pane().edIgnore->setText(" tmp");
    Pane().cbRecurse->setChecked(true);
    Pane().cbDirName->setChecked(true);
    const TBatchEntry& a = Batch().Entries(0);
    EXPECT_EQ(a.Dir, "/data");
    EXPECT_EQ(a.Zip, "/z.zip");
    EXPECT_EQ(a.Suffix, "*.doc");
    EXPECT_EQ(a.Ignore, "tmp");
    EXPECT_TRUE(a.Recurse);
    EXPECT_TRUE(a.DirName);
    TBatchParametersPage& page = *window->tsBatch;
    page.edPassword->setText(" secret ");
    page.edBefore->setText(" before ");
    page.edAfter->setText("after ");
    page.rbRebuild->setChecked(true);
    EXPECT_EQ(Batch().Password, " secret ");
    EXPECT_EQ(Batch().Before, " before ");
    EXPECT_EQ(Batch().After, "after ");
    EXPECT_FALSE(Batch().UpdateZip);
    page.rbUpdate->setChecked(true);
    EXPECT_TRUE(Batch().UpdateZip);
    EXPECT_EQ(page.edPassword->echoMode(), QLineEdit::Password);
    EXPECT_EQ(page.edPassword->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, page.edPassword),
              0x00B0);
}

TEST_F(MainWindow, with_no_section_selected_typed_text_is_not_stored)
{
    window->SelectSection(0);
    EXPECT_EQ(window->SelectedIndex(), -1);
    Pane().edName->setText("Ghost");
    Pane().edDir->setText("/ghost");
    Pane().cbRecurse->setChecked(true);
    EXPECT_EQ(Batch().Count(), 0);
    EXPECT_EQ(Pane().edName->text(), "Ghost");
}

TEST_F(MainWindow, the_three_deletion_cases)
{
    AddSection("A");
    AddSection("B");
    AddSection("C");
    AddSection("D");
    window->SelectSection(1);
    window->cmDeleteClick();
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "C", "D"}));
    EXPECT_EQ(window->SelectedIndex(), 1);
    EXPECT_EQ(Pane().edName->text(), "C");
    window->SelectSection(2);
    window->cmDeleteClick();
    EXPECT_EQ(window->SelectedIndex(), 1);
    EXPECT_EQ(Pane().edName->text(), "C");
    window->cmDeleteClick();
    window->cmDeleteClick();
    EXPECT_EQ(Batch().Count(), 0);
    EXPECT_EQ(window->SelectedIndex(), -1);
    EXPECT_EQ(Pane().edName->text(), "");
    EXPECT_EQ(Pane().edDir->text(), "");
    window->cmDeleteClick(); // nothing selected: nothing happens
}

TEST_F(MainWindow, select_section_clamps_its_index)
{
    AddSection("A");
    AddSection("B");
    window->SelectSection(7);
    EXPECT_EQ(window->SelectedIndex(), 1);
    window->SelectSection(-3);
    EXPECT_EQ(window->SelectedIndex(), 0);
}

TEST_F(MainWindow, unchecking_compress_relabels_and_disables_without_changing_dirname)
{
    AddSection("A");
    Batch().Entries(0).DirName = true;
    window->SelectSection(0);
    EXPECT_EQ(Pane()._lbZipName->text(), "Zip name");
    EXPECT_TRUE(Pane().cbDirName->isEnabled());
    Pane().cbSaveToZip->setChecked(false);
    EXPECT_EQ(Pane()._lbZipName->text(), "Dir archive");
    EXPECT_FALSE(Pane().cbDirName->isEnabled());
    EXPECT_TRUE(Pane().cbDirName->isChecked());
    EXPECT_TRUE(Batch().Entries(0).DirName);
    EXPECT_FALSE(Batch().Entries(0).Compress);
    // The label follows a change of language.
    AppLanguage().SetTranslationLines({"strings.24=Dossier de copie"});
    AppLanguage().ApplyTranslations();
    EXPECT_EQ(Pane()._lbZipName->text(), "Dossier de copie");
    AppLanguage().SetTranslationLines({});
    AppLanguage().ApplyTranslations();
    EXPECT_EQ(Pane()._lbZipName->text(), "Dir archive");
}

TEST_F(MainWindow, mask_lists_open_one_entry_per_mask_and_come_back_joined_and_quoted)
{
    AddSection("A");
    window->SelectSection(0);
    Pane().edIgnore->setText("tmp;*.bak");
    Pane().edSuffix->setText("\"my notes.txt\";*.doc");
    answers.Then([](QDialog& dialog) {
        auto& list = dynamic_cast<TFrmBaseDialogList&>(dialog);
        EXPECT_EQ(list.windowTitle(), "Exclude files");
        EXPECT_EQ(list.Entries(), (QStringList{"*.tmp", "*.bak"}));
        return static_cast<int>(QDialog::Accepted);
    });
    answers.Then([](QDialog& dialog) {
        auto& list = dynamic_cast<TFrmBaseDialogList&>(dialog);
        EXPECT_EQ(list.windowTitle(), "Add files");
        EXPECT_EQ(list.Entries(), (QStringList{"my notes.txt", "*.doc"}));
        return static_cast<int>(QDialog::Accepted);
    });
    Pane()._sbExcludeClick();
    Pane()._sbAddFilesClick();
    EXPECT_EQ(Pane().edIgnore->text(), "*.tmp;*.bak");
    EXPECT_EQ(Batch().Entries(0).Ignore, "*.tmp;*.bak");
    EXPECT_EQ(Batch().Entries(0).Suffix, "\"my notes.txt\";*.doc");
    EXPECT_EQ(answers.Asked(), 2);
}

TEST_F(MainWindow, proposals_list_star_and_one_doc_entry_in_the_case_found_first)
{
    testkit::TempDir dir;
    testkit::writeFile(dir / "a.DOC", "");
    testkit::writeFile(dir / "b.doc", "");
    testkit::writeFile(dir / "c", "");
    AddSection("A", dir.path().string());
    window->SelectSection(0);
    answers.Then([](QDialog& dialog) {
        dynamic_cast<TFrmBaseDialogList&>(dialog).sbSelectListClick();
        return static_cast<int>(QDialog::Accepted);
    });
    answers.Then([](QDialog& dialog) {
        auto& select = dynamic_cast<TFrmBaseSelectList&>(dialog);
        EXPECT_EQ(select.lbSelectList->count(), 2);
        for (int i = 0; i < select.lbSelectList->count(); ++i)
            select.lbSelectList->item(i)->setCheckState(Qt::Checked);
        return static_cast<int>(QDialog::Accepted);
    });
    Pane()._sbAddFilesClick();
    EXPECT_EQ(Batch().Entries(0).Suffix, "*.*;*;*.DOC");
}

TEST_F(MainWindow, proposals_are_cached_until_the_folder_changes)
{
    testkit::TempDir dir;
    testkit::writeFile(dir / "a.doc", "");
    AddSection("A", dir.path().string());
    window->SelectSection(0);
    QStringList first;
    Pane().FillExtensionList(first);
    testkit::writeFile(dir / "b.pdf", "");
    QStringList cached;
    Pane().FillExtensionList(cached);
    EXPECT_EQ(cached, first);
    Pane().edDir->setText(QString::fromStdString(dir.path().string()) + "/");
    QStringList renewed;
    Pane().FillExtensionList(renewed);
    EXPECT_EQ(renewed, (QStringList{"*.doc", "*.pdf"}));
}

TEST_F(MainWindow, a_section_without_folder_offers_no_proposals)
{
    AddSection("A", "", true);
    window->SelectSection(0);
    QStringList proposals;
    Pane().FillExtensionList(proposals);
    EXPECT_TRUE(proposals.isEmpty());
}

TEST_F(MainWindow, menu_items_follow_the_page_and_the_selection)
{
    AddSection("R&D");
    window->SelectSection(0);
    window->PopupMenuTaskPopup();
    QAction* section = Commands()._cmBatchSection->menuAction();
    EXPECT_TRUE(section->isVisible());
    EXPECT_EQ(section->text(), "[R&&D]");
    for (QAction* a : {Commands().cmAdd, Commands().cmWizard, section, Commands().cmView->menuAction()})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();
    EXPECT_FALSE(Commands().cmBatchShortcut->isEnabled());
    for (int page : {1, 2}) {
        window->PageControl->setCurrentIndex(page);
        window->PopupMenuTaskPopup();
        for (QAction* a : {Commands().cmAdd, Commands().cmWizard, section, Commands().cmView->menuAction()})
            EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString() << " on page " << page;
        EXPECT_TRUE(window->tsWizard->isAncestorOf(window->_pnToolbar));
    }
    window->PageControl->setCurrentIndex(0);
    window->SelectSection(-1);
    window->cmDeleteClick();
    window->PopupMenuTaskPopup();
    EXPECT_FALSE(section->isVisible());
}

TEST_F(MainWindow, the_menu_holds_the_command_table_in_order)
{
    QStringList names;
    for (QAction* action : window->PopupMenu->actions())
        names.append(action->objectName());
    const QStringList expected{"cmZipIt",         "_N2",        "cmOpen",    "cmNew",    "cmSave", "cmSaveAs",
                               "cmBatchShortcut", "cmSchedule", "_NWizard1", "cmWizard", "cmAdd",  "_cmBatchSection",
                               "_NWizard2",       "cmView",     "_N1"};
    EXPECT_EQ(names.mid(0, expected.size()), expected);
    QStringList sub;
    for (QAction* action : Commands()._cmBatchSection->actions())
        sub.append(action->objectName());
    EXPECT_EQ(sub, (QStringList{"cmEditWizard", "_N10", "cmDelete", "cmRename", "_N5", "cmSelectZipfile",
                                "cmSelectDirectoryToZip", "_N7", "cmZipSection", "cmRestore"}));
    EXPECT_EQ(window->_sbZipSection->toolTip(), "Zip section");
    EXPECT_EQ(window->_sbOuvrir->toolTip(), "Open");
}

TEST_F(MainWindow, edit_with_wizard_shows_the_new_directory_and_numbers_the_name)
{
    AddSection("Docs", "/old");
    AddSection("Mail", "/mail");
    window->SelectSection(0);
    answers.Then([](QDialog& dialog) {
        auto& w = dynamic_cast<TfrmBatchWizard&>(dialog);
        EXPECT_EQ(w.edSelectDir->text(), "/old");
        w.edSelectDir->setText("/new");
        return static_cast<int>(QDialog::Accepted);
    });
    window->cmEditWizardClick();
    EXPECT_EQ(Pane().edDir->text(), "/new");
    EXPECT_EQ(Batch().Entries(0).Dir, "/new");
    answers.Then([](QDialog& dialog) {
        dynamic_cast<TfrmBatchWizard&>(dialog).edSelectName->setText("mail");
        return static_cast<int>(QDialog::Accepted);
    });
    window->cmEditWizardClick();
    EXPECT_EQ(Names(), (std::vector<std::string>{"mail 1", "Mail"}));
    EXPECT_EQ(Pane().edName->text(), "mail 1");
}

TEST_F(MainWindow, edit_with_wizard_without_selection_builds_a_new_section)
{
    answers.Then([](QDialog& dialog) {
        auto& w = dynamic_cast<TfrmBatchWizard&>(dialog);
        w.edSelectName->setText("Fresh");
        return static_cast<int>(QDialog::Accepted);
    });
    window->cmEditWizardClick();
    EXPECT_EQ(Names(), (std::vector<std::string>{"Fresh"}));
}

TEST_F(MainWindow, view_styles_numbered_0_to_3_and_the_checked_view_item)
{
    AddSection("A");
    window->SelectSection(0);
    Commands().cmReport->trigger();
    EXPECT_EQ(window->ViewStyle(), 3);
    EXPECT_EQ(window->SelectedIndex(), 0);
    Commands().cmIcon->trigger();
    EXPECT_EQ(window->ViewStyle(), 0);
    Commands().cmSmallIcon->trigger();
    EXPECT_EQ(window->ViewStyle(), 1);
    Commands().cmList->trigger();
    EXPECT_EQ(window->ViewStyle(), 2);
    window->SetViewStyle(3);
    window->cmViewClick();
    EXPECT_TRUE(Commands().cmReport->isChecked());
    window->SetViewStyle(9);
    EXPECT_EQ(window->ViewStyle(), 2);
}

TEST_F(MainWindow, list_entries_are_as_wide_as_the_style_measures_their_names)
{
    for (const char* name :
         {"A", "WWWWWWWWWWWWWWWW", "iiiiiiiiiiiii", "Sauvegarde \xc3\xa9t\xc3\xa9 \xe2\x80\x94 n\xc2\xb0 42",
          "Photos 2026 (RAW + JPEG) / \xc3\x86\xc3\x98\xc3\x85"}) {
        AddSection(name);
    }
    Show();
    for (int style : {1, 2}) {
        window->SetViewStyle(style);
        QAbstractItemView* view = window->lbBatchList->ActiveView();
        auto widths = [&] {
            view->doItemsLayout();
            std::vector<int> result;
            for (int row = 0; row < Batch().Count(); ++row)
                result.push_back(view->visualRect(view->model()->index(row, 0)).width());
            return result;
        };
        const std::vector<int> quick = widths();
        QAbstractItemDelegate* own = view->itemDelegate();
        QStyledItemDelegate measured;
        view->setItemDelegate(&measured);
        const std::vector<int> exact = widths();
        view->setItemDelegate(own);
        for (std::size_t row = 0; row < exact.size(); ++row) {
            EXPECT_GE(quick[row], exact[row]) << "style " << style << ", row " << row;
            EXPECT_LE(quick[row], exact[row] + 4) << "style " << style << ", row " << row;
        }
    }
}

TEST_F(MainWindow, delete_and_f2_keys_in_the_section_list)
{
    AddSection("A");
    AddSection("B");
    Show();
    window->SelectSection(0);
    QAbstractItemView* view = window->lbBatchList->ActiveView();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_F2);
    EXPECT_TRUE(window->lbBatchList->IsEditing());
    ASSERT_NE(CaptionEditor(), nullptr);
    QTest::keyClick(CaptionEditor(), Qt::Key_Escape);
    QApplication::processEvents();
    EXPECT_FALSE(window->lbBatchList->IsEditing());
    EXPECT_EQ(Names(), (std::vector<std::string>{"A", "B"}));
    QTest::keyClick(view, Qt::Key_Delete);
    EXPECT_EQ(Names(), (std::vector<std::string>{"B"}));
}

TEST_F(MainWindow, browse_buttons_fill_the_fields)
{
    TQueuedDialogs dialogs;
    AddSection("A");
    window->SelectSection(0);
    dialogs.Queue("/picked");
    Pane()._sbDirectoryClick();
    EXPECT_EQ(Batch().Entries(0).Dir, "/picked");
    dialogs.Queue("/z/new.zip");
    Pane()._sbZipNameClick();
    EXPECT_EQ(Batch().Entries(0).Zip, "/z/new.zip");
    Pane()._sbZipNameClick(); // starts at the field's archive, cancelled
    EXPECT_EQ(dialogs.Proposals.last(), "/z/new.zip");
    EXPECT_EQ(Batch().Entries(0).Zip, "/z/new.zip");
    dialogs.Queue("/usr/bin/sync");
    window->tsBatch->_sbBeforeClick();
    EXPECT_EQ(Batch().Before, "/usr/bin/sync");
}

TEST_F(MainWindow, refresh_keeps_the_selected_index_and_shows_the_parameters)
{
    testkit::TempDir dir;
    testkit::writeFile(dir / "b.vrl", "[BatchParameters]\r\nBefore=go\r\nUpdateZip=0\r\n\r\n[One]\r\nDir=/a\r\n\r\n"
                                      "[Two]\r\nDir=/b\r\n\r\n");
    window->SetFileName(dir / "b.vrl");
    EXPECT_EQ(Names(), (std::vector<std::string>{"One", "Two"}));
    EXPECT_EQ(window->SelectedIndex(), 0);
    EXPECT_EQ(window->tsBatch->edBefore->text(), "go");
    EXPECT_TRUE(window->tsBatch->rbRebuild->isChecked());
    window->SelectSection(1);
    window->RefreshBatch();
    EXPECT_EQ(window->SelectedIndex(), 1);
    EXPECT_EQ(Pane().edDir->text(), "/b");
}

// A copy section's folder copied back: only the checked files, into the chosen folder, with one
// question for every existing file when "do this for all" is ticked.
TEST(RestoreWindow, copies_back_the_checked_files_and_asks_once_about_existing_ones)
{
    testkit::TempDir dir;
    testkit::writeFile(dir.path() / "copy" / "docs" / "a.txt", "A");
    testkit::writeFile(dir.path() / "copy" / "docs" / "b.txt", "B");
    testkit::writeFile(dir.path() / "copy" / "c.txt", "C");
    const std::filesystem::path out = dir.path() / "out";
    testkit::writeFile(out / "docs" / "a.txt", "local a");
    testkit::writeFile(out / "c.txt", "local c");
    TRestoreWindow window({(dir.path() / "copy").string(), false, "", {}});
    ASSERT_TRUE(window.Load());
    int asked = 0;
    window.AskExisting = [&](const std::string&, bool& forAll) {
        ++asked;
        forAll = true;
        return restore::ExistingRule::Replace;
    };
    // The folder's box carries its files along; one of them unchecked again stays out.
    for (const auto& [name, state] :
         {std::pair{"docs", Qt::Checked}, {"b.txt", Qt::Unchecked}, {"c.txt", Qt::Checked}}) {
        const auto found = window.tvEntries->findItems(name, Qt::MatchExactly | Qt::MatchRecursive);
        ASSERT_EQ(found.size(), 1) << name;
        found.front()->setCheckState(0, state);
    }
    window.rbFolder->setChecked(true);
    window.edFolder->setText(QString::fromStdString(out.string()));
    window.btRestore->click();
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(testkit::readFile(out / "docs" / "a.txt"), "A");
    EXPECT_EQ(testkit::readFile(out / "c.txt"), "C");
    EXPECT_FALSE(std::filesystem::exists(out / "docs" / "b.txt"));
}
