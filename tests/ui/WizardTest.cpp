// The section wizard: its button rules on every page, copy mode skipping the path-name page both
// ways, Enter moving on only without Shift or Alt, and what ExecuteBatchWizard stores.
#include "batch/p_BatchList.h"
#include "controls/vk_Button.h"
#include "framework/vk_fBaseDialogueListe.h"
#include "framework/vk_fbaseSelectList.h"
#include "testkit/TestKit.h"
#include "tests/guikit/GuiTestKit.h"
#include "ui/EditorTestKit.h"
#include "ui/p_fwizard.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct Buttons
{
    bool prior, next, nextShown, close, closeShown;
    bool operator==(const Buttons&) const = default;
};

Buttons ButtonsOf(const TfrmBatchWizard& w)
{
    return {w.btPrecedent->isEnabled(), w.btSuivant->isEnabled(), w.btSuivant->isVisibleTo(&w),
            w.btTerminer->isEnabled(), w.btTerminer->isVisibleTo(&w)};
}

std::ostream& operator<<(std::ostream& out, const Buttons& b)
{
    return out << "prior " << b.prior << " next " << b.next << "/" << b.nextShown << " close " << b.close << "/"
               << b.closeShown;
}

} // namespace

TEST(Wizard, button_rules_on_every_page)
{
    uitest::ensureApplication();
    testkit::TempDir dir;
    TfrmBatchWizard w;
    EXPECT_EQ(w.windowTitle(), "Vorland Wizard");
    EXPECT_EQ(w.ActivePage(), 0);
    EXPECT_EQ(ButtonsOf(w), (Buttons{false, false, true, false, false}));
    w.edSelectDir->setText(QString::fromStdString(dir / "missing"));
    EXPECT_FALSE(w.btSuivant->isEnabled());
    w.edSelectDir->setText(QString::fromStdString(dir.path().string()));
    EXPECT_EQ(ButtonsOf(w), (Buttons{false, true, true, false, false}));
    w.btSuivantClick();
    EXPECT_EQ(w.ActivePage(), 1);
    EXPECT_EQ(ButtonsOf(w), (Buttons{true, false, true, false, false}));
    EXPECT_EQ(w.lbSelectZip->text(), "Select the zip file where the selected files will be archived.");
    w.EdZipName->setText("   ");
    EXPECT_FALSE(w.btSuivant->isEnabled());
    w.EdZipName->setText("/backup/a.zip");
    EXPECT_TRUE(w.btSuivant->isEnabled());
    w.EdZipName->clear();
    EXPECT_FALSE(w.btSuivant->isEnabled());
    w.rbNoCompress->setChecked(true);
    EXPECT_EQ(w.lbSelectZip->text(), "Select the directory where the selected files will be copied.");
    w.rbCompress->setChecked(true);
    w.EdZipName->setText("/backup/a.zip");
    for (int page = 2; page <= 5; ++page) {
        w.btSuivantClick();
        EXPECT_EQ(w.ActivePage(), page);
        EXPECT_EQ(ButtonsOf(w), (Buttons{true, true, true, false, false})) << "page " << page;
    }
    w.btSuivantClick();
    EXPECT_EQ(w.ActivePage(), 6);
    EXPECT_EQ(ButtonsOf(w), (Buttons{true, false, false, false, true}));
    w.edSelectName->setText("  ");
    EXPECT_FALSE(w.btTerminer->isEnabled());
    w.edSelectName->setText("Docs");
    EXPECT_EQ(ButtonsOf(w), (Buttons{true, false, false, true, true}));
    w.btPrecedentClick();
    EXPECT_EQ(w.ActivePage(), 5);
}

TEST(Wizard, copy_mode_skips_the_path_name_page_both_ways)
{
    uitest::ensureApplication();
    TfrmBatchWizard w;
    w.rbNoCompress->setChecked(true);
    w.SetActivePage(4);
    w.btSuivantClick();
    EXPECT_EQ(w.pgcMain->currentWidget(), w._tsName);
    w.btPrecedentClick();
    EXPECT_EQ(w.pgcMain->currentWidget(), w._tsExclude);
    w.rbCompress->setChecked(true);
    w.btSuivantClick();
    EXPECT_EQ(w.pgcMain->currentWidget(), w._tsFullName);
}

TEST(Wizard, enter_moves_on_without_shift_or_alt_and_the_focus_follows_the_page)
{
    uitest::ensureApplication();
    testkit::TempDir dir;
    TfrmBatchWizard w;
    w.show();
    QApplication::setActiveWindow(&w);
    w.edSelectDir->setText(QString::fromStdString(dir.path().string()));
    QTest::keyClick(w.edSelectDir, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(w.ActivePage(), 0);
    QTest::keyClick(w.edSelectDir, Qt::Key_Return, Qt::AltModifier);
    EXPECT_EQ(w.ActivePage(), 0);
    QTest::keyClick(w.edSelectDir, Qt::Key_Return);
    EXPECT_EQ(w.ActivePage(), 1);
    EXPECT_EQ(QApplication::focusWidget(), w.EdZipName);
    // Next is disabled with an empty zip name: Enter does nothing.
    QTest::keyClick(w.EdZipName, Qt::Key_Return);
    EXPECT_EQ(w.ActivePage(), 1);
    w.EdZipName->setText("a.zip");
    QTest::keyClick(w.EdZipName, Qt::Key_Enter, Qt::ControlModifier);
    EXPECT_EQ(w.ActivePage(), 2);
    EXPECT_EQ(QApplication::focusWidget(), w.RbRecurseYes);
    EXPECT_TRUE(w.isVisible());
    w.SetActivePage(6);
    w.edSelectName->setText("N");
    QTest::keyClick(w.edSelectName, Qt::Key_Return);
    EXPECT_FALSE(w.isVisible());
    EXPECT_EQ(w.result(), QDialog::Accepted);
}

TEST(Wizard, closing_by_other_means_counts_as_cancel)
{
    uitest::ensureApplication();
    TfrmBatchWizard w;
    w.show();
    w.close();
    EXPECT_EQ(w.result(), QDialog::Rejected);
}

TEST(ExecuteBatchWizard, new_mode_stores_texts_as_typed_and_cancel_makes_nothing)
{
    uitest::ensureApplication();
    uitest::TDialogAnswers answers;
    std::unique_ptr<TBatchEntry> made;
    answers.Then([](QDialog&) { return static_cast<int>(QDialog::Rejected); });
    EXPECT_FALSE(ExecuteBatchWizard(nullptr, nullptr, made));
    EXPECT_EQ(made, nullptr);
    answers.Then([](QDialog& dialog) {
        auto& w = dynamic_cast<TfrmBatchWizard&>(dialog);
        w.edSelectDir->setText(" /data ");
        w.rbNoCompress->setChecked(true);
        w.EdZipName->setText("/copy ");
        w.rbRecurseNo->setChecked(true);
        w.edSelectSuffix->setText("*.doc");
        w.edSelectIgnore->setText("tmp");
        w.edSelectName->setText("  Docs  ");
        return static_cast<int>(QDialog::Accepted);
    });
    ASSERT_TRUE(ExecuteBatchWizard(nullptr, nullptr, made));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->Name, "  Docs  ");
    EXPECT_EQ(made->Dir, " /data ");
    EXPECT_EQ(made->Zip, "/copy ");
    EXPECT_EQ(made->Suffix, "*.doc");
    EXPECT_EQ(made->Ignore, "tmp");
    EXPECT_FALSE(made->Compress);
    EXPECT_FALSE(made->Recurse);
    EXPECT_FALSE(made->DirName);
}

TEST(ExecuteBatchWizard, edit_mode_starts_on_page_0_with_the_sections_values)
{
    uitest::ensureApplication();
    uitest::TDialogAnswers answers;
    TBatchEntry section("Mail", "/copies", "/home/mail", "*.mbox", "*.tmp", false, true, false);
    std::unique_ptr<TBatchEntry> made;
    answers.Then([](QDialog& dialog) {
        auto& w = dynamic_cast<TfrmBatchWizard&>(dialog);
        EXPECT_EQ(w.ActivePage(), 0);
        EXPECT_EQ(w.edSelectName->text(), "Mail");
        EXPECT_TRUE(w.rbNoCompress->isChecked());
        EXPECT_TRUE(w.rbRecurseNo->isChecked());
        EXPECT_TRUE(w.rbFullName->isChecked());
        EXPECT_FALSE(w._tsFullName->isEnabled());
        w.edSelectDir->setText("/home/other");
        return static_cast<int>(QDialog::Accepted);
    });
    ASSERT_TRUE(ExecuteBatchWizard(nullptr, &section, made));
    EXPECT_EQ(made, nullptr);
    EXPECT_EQ(section.Dir, "/home/other");
    EXPECT_EQ(section.Name, "Mail");
    EXPECT_TRUE(section.DirName); // kept from the radio buttons although the page is skipped
    EXPECT_FALSE(section.Compress);
}

TEST(Wizard, proposals_are_gathered_once_per_run_from_the_first_folder)
{
    uitest::ensureApplication();
    testkit::TempDir first;
    testkit::TempDir second;
    testkit::writeFile(first / "a.doc", "");
    testkit::writeFile(second / "b.pdf", "");
    TfrmBatchWizard w;
    w.edSelectDir->setText(QString::fromStdString(first.path().string()));
    QStringList proposals;
    w.FillExtensionList(proposals);
    EXPECT_EQ(proposals, (QStringList{"*.doc"}));
    w.edSelectDir->setText(QString::fromStdString(second.path().string()));
    proposals.clear();
    w.FillExtensionList(proposals);
    EXPECT_EQ(proposals, (QStringList{"*.doc"}));
}

TEST(Wizard, mask_buttons_open_the_list_dialog_and_write_the_joined_list_back)
{
    uitest::ensureApplication();
    uitest::TDialogAnswers answers;
    TfrmBatchWizard w;
    w.edSelectIgnore->setText("tmp;*.bak");
    answers.Then([](QDialog& dialog) {
        auto& list = dynamic_cast<TFrmBaseDialogList&>(dialog);
        EXPECT_EQ(list.windowTitle(), "Exclude files");
        EXPECT_EQ(list.Entries(), (QStringList{"*.tmp", "*.bak"}));
        return static_cast<int>(QDialog::Accepted);
    });
    w._sbExcludeClick();
    EXPECT_EQ(w.edSelectIgnore->text(), "*.tmp;*.bak");
}

TEST(Wizard, browsing_fills_the_fields_and_starts_at_an_existing_folder_only)
{
    uitest::ensureApplication();
    TQueuedDialogs dialogs;
    testkit::TempDir dir;
    TfrmBatchWizard w;
    w.edSelectDir->setText("/no/such/folder");
    dialogs.Queue(QString::fromStdString(dir.path().string()));
    w._sbDirectoryClick();
    EXPECT_EQ(dialogs.Proposals.value(0), QString());
    EXPECT_EQ(w.edSelectDir->text(), QString::fromStdString(dir.path().string()));
    EXPECT_TRUE(w.btSuivant->isEnabled());
    w.EdZipName->setText("/backup/old.zip");
    dialogs.Queue("/backup/new.zip");
    w._sbZipNameClick();
    EXPECT_EQ(dialogs.Proposals.value(1), "/backup/old.zip");
    EXPECT_EQ(w.EdZipName->text(), "/backup/new.zip");
    w.rbNoCompress->setChecked(true);
    w._sbZipNameClick(); // copy mode: the folder browser, cancelled
    EXPECT_EQ(dialogs.Proposals.value(2), "/backup/new.zip");
    EXPECT_EQ(w.EdZipName->text(), "/backup/new.zip");
}
