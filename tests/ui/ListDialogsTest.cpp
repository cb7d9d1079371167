// The list dialog and the selection list dialog: editing entries, the caller's list untouched on
// Cancel, and proposals added only when no entry has them in any letter case.
#include "framework/vk_fBaseDialogueListe.h"
#include "framework/vk_fbaseSelectList.h"
#include "ui/EditorTestKit.h"

#include "controls/vk_Button.h"
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QStringList Entries(const TFrmBaseDialogList& dialog)
{
    return dialog.Entries();
}

TFrmBaseDialogList& AsList(QDialog& dialog)
{
    return dynamic_cast<TFrmBaseDialogList&>(dialog);
}

} // namespace

TEST(ListDialog, opens_with_the_first_entry_selected_and_shown_and_the_numbered_captions)
{
    uitest::ensureApplication();
    uitest::TDialogAnswers answers;
    QStringList list{"*.doc", "*.txt"};
    answers.Then([](QDialog& dialog) {
        TFrmBaseDialogList& d = AsList(dialog);
        EXPECT_EQ(d.windowTitle(), "Add files");
        EXPECT_EQ(d._lbListe->text(), "Add files");
        EXPECT_EQ(d.lbListe->currentRow(), 0);
        EXPECT_EQ(d.EdListe->text(), "*.doc");
        EXPECT_EQ(d.btReplace->text(), "Replace");
        EXPECT_EQ(d.btAdd->text(), "Add");
        EXPECT_EQ(d.btDelete->text(), "Delete");
        EXPECT_EQ(d.BtOK->text(), "OK");
        EXPECT_EQ(d.BtCancel->text(), "Cancel");
        EXPECT_TRUE(d.sbSelectList->isHidden());
        return QDialog::Rejected;
    });
    EXPECT_FALSE(EditList("Add files", list, {}));
    EXPECT_EQ(answers.Asked(), 1);
}

TEST(ListDialog, cancel_after_changes_leaves_the_list_and_ok_takes_the_entries_in_order)
{
    uitest::ensureApplication();
    uitest::TDialogAnswers answers;
    const auto edit = [](QDialog& dialog) {
        TFrmBaseDialogList& d = AsList(dialog);
        d.EdListe->setText("*.pdf");
        d.btAddClick(); // before the selected first entry
        d.lbListe->setCurrentRow(2);
        d.EdListe->setText("*.TXT");
        d.btReplaceClick();
        d._sbUpClick();
        return QDialog::Accepted;
    };
    QStringList list{"*.doc", "*.txt"};
    answers.Then([&](QDialog& dialog) {
        edit(dialog);
        return static_cast<int>(QDialog::Rejected);
    });
    EXPECT_FALSE(EditList("t", list, {}));
    EXPECT_EQ(list, (QStringList{"*.doc", "*.txt"}));
    answers.Then(edit);
    EXPECT_TRUE(EditList("t", list, {}));
    EXPECT_EQ(list, (QStringList{"*.pdf", "*.TXT", "*.doc"}));
}

TEST(ListDialog, deleting_selects_the_next_or_new_last_entry_and_keeps_the_edit_field)
{
    uitest::ensureApplication();
    TFrmBaseDialogList d;
    d.SetEntries({"a", "b", "c"});
    d.lbListe->setCurrentRow(2);
    d.btDeleteClick();
    EXPECT_EQ(Entries(d), (QStringList{"a", "b"}));
    EXPECT_EQ(d.lbListe->currentRow(), 1);
    EXPECT_EQ(d.EdListe->text(), "c");
    d.lbListe->setCurrentRow(0);
    d.btDeleteClick();
    EXPECT_EQ(Entries(d), (QStringList{"b"}));
    EXPECT_EQ(d.lbListe->currentRow(), 0);
    d.btDeleteClick();
    EXPECT_TRUE(Entries(d).isEmpty());
    EXPECT_TRUE(d.lbListe->selectedItems().isEmpty());
    d.btDeleteClick(); // nothing selected: nothing happens
    d.btReplaceClick();
    EXPECT_TRUE(Entries(d).isEmpty());
    // Add with nothing selected appends, also an empty text.
    d.EdListe->clear();
    d.btAddClick();
    EXPECT_EQ(Entries(d), (QStringList{""}));
}

TEST(ListDialog, a_click_shows_the_entry_and_enter_in_the_field_adds_without_closing)
{
    uitest::ensureApplication();
    TFrmBaseDialogList d;
    d.SetEntries({"a", "b"});
    d.show();
    QListWidgetItem* second = d.lbListe->item(1);
    QTest::mouseClick(d.lbListe->viewport(), Qt::LeftButton, {}, d.lbListe->visualItemRect(second).center());
    EXPECT_EQ(d.lbListe->currentRow(), 1);
    EXPECT_EQ(d.EdListe->text(), "b");
    d.EdListe->setFocus();
    d.EdListe->setText("*.c");
    QTest::keyClick(d.EdListe, Qt::Key_Return);
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.result(), 0);
    EXPECT_EQ(Entries(d), (QStringList{"a", "*.c", "b"}));
}

TEST(ListDialog, up_on_the_first_and_down_on_the_last_entry_do_nothing)
{
    uitest::ensureApplication();
    TFrmBaseDialogList d;
    d.SetEntries({"a", "b", "c"});
    d._sbUpClick();
    EXPECT_EQ(Entries(d), (QStringList{"a", "b", "c"}));
    d._sbBottomClick();
    EXPECT_EQ(Entries(d), (QStringList{"b", "a", "c"}));
    EXPECT_EQ(d.lbListe->currentRow(), 1);
    d.lbListe->setCurrentRow(2);
    d._sbBottomClick();
    EXPECT_EQ(Entries(d), (QStringList{"b", "a", "c"}));
    d._sbUpClick();
    EXPECT_EQ(Entries(d), (QStringList{"b", "c", "a"}));
    EXPECT_EQ(d.lbListe->currentRow(), 1);
}

TEST(ListDialog, proposals_skip_entries_present_in_any_letter_case)
{
    uitest::ensureApplication();
    uitest::TDialogAnswers answers;
    int provided = 0;
    const TListProvider provider = [&](QStringList& list) {
        ++provided;
        list = {"*.DOC", "*.pdf", "*.txt"};
    };
    QStringList list{"*.doc"};
    answers.Then([&](QDialog& dialog) {
        TFrmBaseDialogList& d = AsList(dialog);
        EXPECT_FALSE(d.sbSelectList->isHidden());
        d.sbSelectListClick();
        return static_cast<int>(QDialog::Accepted);
    });
    answers.Then([](QDialog& dialog) {
        auto& select = dynamic_cast<TFrmBaseSelectList&>(dialog);
        EXPECT_EQ(select.windowTitle(), "Masks");
        EXPECT_EQ(select.focusWidget(), select.lbSelectList);
        EXPECT_EQ(select.lbSelectList->count(), 3);
        EXPECT_TRUE(select.TickedEntries().isEmpty());
        select.lbSelectList->item(0)->setCheckState(Qt::Checked);
        select.lbSelectList->item(2)->setCheckState(Qt::Checked);
        return static_cast<int>(QDialog::Accepted);
    });
    EXPECT_TRUE(EditList("Masks", list, provider));
    EXPECT_EQ(provided, 1);
    EXPECT_EQ(list, (QStringList{"*.doc", "*.txt"}));
}

TEST(ListDialog, a_provider_without_candidates_shows_no_selection_dialog)
{
    uitest::ensureApplication();
    uitest::TDialogAnswers answers;
    QStringList list;
    answers.Then([](QDialog& dialog) {
        AsList(dialog).sbSelectListClick();
        return static_cast<int>(QDialog::Accepted);
    });
    EXPECT_TRUE(EditList("t", list, [](QStringList&) {}));
    EXPECT_EQ(answers.Asked(), 1);
    EXPECT_TRUE(list.isEmpty());
}

TEST(SelectList, ok_with_nothing_ticked_empties_the_list_and_cancel_keeps_it)
{
    uitest::ensureApplication();
    uitest::TDialogAnswers answers;
    QStringList list{"a", "b"};
    answers.Then([](QDialog&) { return static_cast<int>(QDialog::Rejected); });
    EXPECT_FALSE(SelectFromList("t", list));
    EXPECT_EQ(list, (QStringList{"a", "b"}));
    answers.Then([](QDialog& dialog) {
        EXPECT_EQ(dynamic_cast<TFrmBaseSelectList&>(dialog).lbSelectList->currentRow(), 0);
        return static_cast<int>(QDialog::Accepted);
    });
    EXPECT_TRUE(SelectFromList("t", list));
    EXPECT_TRUE(list.isEmpty());
}
