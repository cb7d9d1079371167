// Every input control and button of the editor's windows has a name for assistive technology: the
// accessible tree of each window, on each page, is walked and a nameless one fails the test.
#include "batch/ScheduleInstaller.h"
#include "framework/TvkLanguage.h"
#include "framework/vk_fBaseAPropos.h"
#include "framework/vk_fBaseDialogueListe.h"
#include "framework/vk_fbaseSelectList.h"
#include "testkit/TestKit.h"
#include "ui/EditorTestKit.h"
#include "ui/ScheduleDialog.h"
#include "ui/SectionListView.h"
#include "ui/p_fmain.h"
#include "ui/p_fwizard.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>

#include <gtest/gtest.h>

namespace {

bool NeedsName(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::EditableText:
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::Table:
    case QAccessible::ListItem:
    case QAccessible::PageTab:
    case QAccessible::SpinBox:
    case QAccessible::ButtonMenu:
    case QAccessible::ProgressBar:
        return true;
    default:
        return false;
    }
}

// Names of the visible controls that need a name and have none, as "objectName (role)".
void CollectNameless(QAccessibleInterface* node, QStringList& nameless, int& named, int depth = 0)
{
    if (node == nullptr || depth > 40 || node->state().invisible)
        return;
    if (NeedsName(node->role())) {
        if (node->text(QAccessible::Name).trimmed().isEmpty()) {
            QObject* object = node->object();
            nameless.append((object != nullptr ? object->objectName() : QStringLiteral("?")) + " (" +
                            QString::number(node->role(), 16) + ")");
        } else {
            ++named;
        }
    }
    for (int i = 0; i < node->childCount(); ++i)
        CollectNameless(node->child(i), nameless, named, depth + 1);
}

void ExpectAllNamed(QWidget* window, const char* where)
{
    QStringList nameless;
    int named = 0;
    CollectNameless(QAccessible::queryAccessibleInterface(window), nameless, named);
    EXPECT_TRUE(nameless.isEmpty()) << where << ": " << nameless.join(", ").toStdString();
    EXPECT_GT(named, 0) << where;
}

} // namespace

TEST(Accessibility, main_window_on_every_page)
{
    uitest::ensureApplication();
    TFrmSaveZip window;
    window.show();
    window.cmAddClick();
    window.lbBatchList->setFocus(); // closes the renaming editor
    for (int style : {0, 1, 2, 3}) {
        window.SetViewStyle(style);
        ExpectAllNamed(&window, ("wizard page, style " + std::to_string(style)).c_str());
    }
    window.PageControl->setCurrentIndex(1);
    ExpectAllNamed(&window, "parameters page");
    window.PageControl->setCurrentIndex(2);
    ExpectAllNamed(&window, "source page");
}

TEST(Accessibility, wizard_on_every_page)
{
    uitest::ensureApplication();
    TfrmBatchWizard wizard;
    wizard.show();
    for (int page = 0; page < wizard.pgcMain->count(); ++page) {
        wizard.SetActivePage(page);
        ExpectAllNamed(&wizard, ("wizard page " + std::to_string(page)).c_str());
    }
}

TEST(Accessibility, about_box_with_its_links)
{
    uitest::ensureApplication();
    AppLanguage().SetHelpAddress(QStringLiteral("file:///opt/vorland/help.html"));
    TfrmBaseAboutBox box;
    box.show();
    ExpectAllNamed(&box, "about box");
    AppLanguage().SetHelpAddress(QString());
}

TEST(Accessibility, list_dialogs)
{
    uitest::ensureApplication();
    uitest::TDialogAnswers answers;
    QStringList list{"*.doc"};
    // Each dialog must really open: a check of controls that never showed would pass on nothing.
    QStringList opened;
    answers.Then([&opened](QDialog& dialog) {
        dialog.show();
        opened << "list";
        ExpectAllNamed(&dialog, "list dialog");
        return static_cast<int>(QDialog::Rejected);
    });
    EditList("Add files", list, [](QStringList& l) { l.append("*.txt"); });
    answers.Then([&opened](QDialog& dialog) {
        dialog.show();
        opened << "selection list";
        ExpectAllNamed(&dialog, "selection list dialog");
        return static_cast<int>(QDialog::Rejected);
    });
    SelectFromList("Add files", list);
    EXPECT_EQ(opened, (QStringList{"list", "selection list"}));
}

TEST(Accessibility, schedule_dialog_also_with_its_crontab_line)
{
    uitest::ensureApplication();
    testkit::TempDir dir;
    TScheduleInstaller installer("/usr/bin/vorland", dir / "daily.vrl", dir.path() / "units");
    installer.Systemctl = "false";
    TFrmSchedule dialog(installer);
    dialog.show();
    ExpectAllNamed(&dialog, "schedule dialog");
    dialog.rbDaily->setChecked(true);
    dialog.btApply->click();
    ASSERT_TRUE(dialog.edCrontab->isVisible());
    ExpectAllNamed(&dialog, "schedule dialog with its crontab line");
}
