#pragma once
// The base of the program's main window. It carries the context menu's tail (About, Online Help
// when a help address is set, Languages with "Add a new language", "Edit the language" and one item
// per language, a separator, Close), restores and stores its placement and the language, and stores
// everything a normal close stores when the desktop session ends.
//
// A derived main window builds its components in its constructor (assigning OnTranslate and the
// application name first), then calls FormCreate(), then sets the help address. Its own menu commands
// go in front of cmAbout: PopupMenu->insertActions(cmAbout, {...}). Its closing: override
// CloseQuery() to refuse a close, and FormClose() to store its own values, calling
// TFrmBaseMain::FormClose() last.

#include "framework/TvkForm.h"

class QAction;
class QMenu;
class TvkStyledMenu;
class QSessionManager;

class TFrmBaseMain : public TvkForm
{
    Q_OBJECT
public:
    explicit TFrmBaseMain(QWidget* parent = nullptr);

    // The creation sequence: list the languages, register the numbered strings, restore the
    // placement, then load the stored language (always, translating every form that exists, this
    // one included) and build the language items.
    void FormCreate();

    // Opens the context menu at a global position (after PopupMenuTaskPopup).
    void ShowPopupMenu(const QPoint& globalPosition);
    // Before the menu opens: Online Help only with a help address; the check mark on the current
    // language. A derived window prepares its own items and calls this.
    virtual void PopupMenuTaskPopup();

    // Removes the language items (the three fixed entries stay); makes one item per language.
    void ClearLanguageMenu();
    void BuildLanguageMenu();

    // The desktop session ends: allowed without a question; the window closes, storing what a
    // normal close stores.
    void EndSession();

    // The context menu and its items; the objects carry these names.
    QMenu* PopupMenu = nullptr;
    QAction* cmAbout = nullptr;
    QAction* cmOnlineHelp = nullptr;
    QAction* cmLanguageList = nullptr;
    QMenu* LanguageMenu = nullptr;
    QAction* cmNewLanguage = nullptr;
    QAction* cmEditLanguage = nullptr;
    QAction* _N0 = nullptr;
    QAction* _NClose = nullptr;
    QAction* cmClose = nullptr;

public slots:
    void cmAboutClick();
    void cmOnlineHelpClick();
    void cmNewLanguageClick();
    void cmEditLanguageClick();
    void cmCloseClick();

protected:
    // The framework's numbered strings are part of the table from the start; a derived window adds
    // nothing here unless it has strings beyond the table.
    virtual void RegisterStrings();
    // A language item was chosen: the language at its position in the submenu minus 3.
    virtual void LanguageItemClick(QAction* sender);
    // Whether the window may close (a derived window asks about unsaved work here).
    virtual bool CloseQuery();
    // Stores the language and the placement. Derived windows store their own values and call this last.
    virtual void FormClose();
    // True once FormCreate() ran.
    bool Created() const { return m_created; }

    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void sessionCommitData(QSessionManager& manager);
    // Shift+F10: opens the context menu of the widget with the focus.
    void contextMenuKeyPressed();

    bool m_created = false;
};
