#pragma once
// The main window's commands: one action per menu item of its context menu, named like the item
// (`cmZipIt`, `cmOpen`, ...), in menu order, with the section submenu `_cmBatchSection` and the
// "View" submenu of radio items. The toolbar buttons run the same actions.

#include <QObject>

class QAction;
class QActionGroup;
class QMenu;
class QWidget;

class TMainWindowCommands : public QObject
{
    Q_OBJECT
public:
    // Creates the actions as children of `owner` (the window), which also receives the actions with
    // keyboard shortcuts (Ctrl+O, Ctrl+S, Ctrl+N) so they work on every page.
    explicit TMainWindowCommands(QWidget* owner);

    // Puts the command items, in menu order, at the start of `menu` (before its first item, so the
    // base window's items follow).
    void AddToMenu(QMenu* menu);

    QAction* cmZipIt = nullptr;
    QAction* cmOpen = nullptr;
    QAction* cmNew = nullptr;
    QAction* cmSave = nullptr;
    QAction* cmSaveAs = nullptr;
    QAction* cmBatchShortcut = nullptr;
    QAction* cmSchedule = nullptr;
    QAction* cmWizard = nullptr;
    QAction* cmAdd = nullptr;
    QMenu* _cmBatchSection = nullptr;
    QAction* cmEditWizard = nullptr;
    QAction* cmDelete = nullptr;
    QAction* cmRename = nullptr;
    QAction* cmSelectZipfile = nullptr;
    QAction* cmSelectDirectoryToZip = nullptr;
    QAction* cmZipSection = nullptr;
    QAction* cmRestore = nullptr; // the selected section's archive or copy; without one, a chosen archive
    QMenu* cmView = nullptr;
    QAction* cmReport = nullptr;
    QAction* cmList = nullptr;
    QAction* cmIcon = nullptr;
    QAction* cmSmallIcon = nullptr;

private:
    QAction* Separator(const char* name);

    QWidget* m_owner;
};
