#include "ui/MainWindowCommands.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QWidget>

namespace {

QAction* Command(QWidget* owner, const char* name, const char* caption)
{
    auto* action = new QAction(QString::fromLatin1(caption), owner);
    action->setObjectName(QLatin1String(name));
    return action;
}

} // namespace

TMainWindowCommands::TMainWindowCommands(QWidget* owner) : QObject(owner), m_owner(owner)
{
    setObjectName(QStringLiteral("MainWindowCommands"));
    cmZipIt = Command(owner, "cmZipIt", "&Zip it");
    cmOpen = Command(owner, "cmOpen", "&Open");
    cmOpen->setShortcut(QKeySequence::Open);
    cmNew = Command(owner, "cmNew", "&New");
    cmNew->setShortcut(QKeySequence::New);
    cmSave = Command(owner, "cmSave", "&Save");
    cmSave->setShortcut(QKeySequence::Save);
    cmSaveAs = Command(owner, "cmSaveAs", "Save &as");
    cmBatchShortcut = Command(owner, "cmBatchShortcut", "Add &Batch shortcut to desktop");
    cmSchedule = Command(owner, "cmSchedule", "Sch&edule...");
    cmWizard = Command(owner, "cmWizard", "New section &wizard");
    cmAdd = Command(owner, "cmAdd", "A&dd new section");

    _cmBatchSection = new QMenu(owner);
    _cmBatchSection->setObjectName(QStringLiteral("_cmBatchSectionMenu"));
    _cmBatchSection->menuAction()->setObjectName(QStringLiteral("_cmBatchSection"));
    cmEditWizard = Command(owner, "cmEditWizard", "&Edit with wizard");
    cmDelete = Command(owner, "cmDelete", "&Delete section");
    cmRename = Command(owner, "cmRename", "&Rename section");
    cmSelectZipfile = Command(owner, "cmSelectZipfile", "Select &Zip file");
    cmSelectDirectoryToZip = Command(owner, "cmSelectDirectoryToZip", "Select director&y to zip");
    cmZipSection = Command(owner, "cmZipSection", "Zip &section");
    _cmBatchSection->addAction(cmEditWizard);
    _cmBatchSection->addAction(Separator("_N10"));
    _cmBatchSection->addAction(cmDelete);
    _cmBatchSection->addAction(cmRename);
    _cmBatchSection->addAction(Separator("_N5"));
    _cmBatchSection->addAction(cmSelectZipfile);
    _cmBatchSection->addAction(cmSelectDirectoryToZip);
    _cmBatchSection->addAction(Separator("_N7"));
    _cmBatchSection->addAction(cmZipSection);
    cmRestore = Command(owner, "cmRestore", "Res&tore...");
    _cmBatchSection->addAction(cmRestore);

    cmView = new QMenu(QStringLiteral("&View"), owner);
    cmView->setObjectName(QStringLiteral("cmViewMenu"));
    cmView->menuAction()->setObjectName(QStringLiteral("cmView"));
    cmReport = Command(owner, "cmReport", "&Report");
    cmList = Command(owner, "cmList", "&List");
    cmIcon = Command(owner, "cmIcon", "&Icon");
    cmSmallIcon = Command(owner, "cmSmallIcon", "&Small icon");
    auto* styles = new QActionGroup(this);
    for (QAction* style : {cmReport, cmList, cmIcon, cmSmallIcon}) {
        style->setCheckable(true);
        styles->addAction(style);
        cmView->addAction(style);
    }

    // Shortcuts work wherever the focus is in the window, on every page.
    for (QAction* withKey : {cmOpen, cmNew, cmSave})
        owner->addAction(withKey);
}

QAction* TMainWindowCommands::Separator(const char* name)
{
    auto* separator = new QAction(m_owner);
    separator->setObjectName(QLatin1String(name));
    separator->setSeparator(true);
    return separator;
}

void TMainWindowCommands::AddToMenu(QMenu* menu)
{
    QAction* before = menu->actions().isEmpty() ? nullptr : menu->actions().constFirst();
    const QList<QAction*> items = {cmZipIt,
                                   Separator("_N2"),
                                   cmOpen,
                                   cmNew,
                                   cmSave,
                                   cmSaveAs,
                                   cmBatchShortcut,
                                   cmSchedule,
                                   Separator("_NWizard1"),
                                   cmWizard,
                                   cmAdd,
                                   _cmBatchSection->menuAction(),
                                   Separator("_NWizard2"),
                                   cmView->menuAction(),
                                   Separator("_N1")};
    menu->insertActions(before, items);
}
