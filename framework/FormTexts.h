#pragma once
// How the language layer sees a form: the forms that exist, in creation order; the components of a
// form (every named QObject it holds, menus and their actions included, other windows excluded);
// and the two texts of a component: its caption (the visible text of a label, button, check box,
// radio button, group box, tab page or menu action) and its hint (its tool tip).

#include <QList>
#include <QString>

class QObject;
class QWidget;

// Adds a form to the list of existing forms (the base forms do it in their constructors; a window of
// the program that derives from none of them calls it once). A destroyed form leaves the list by
// itself. Registering twice does nothing.
void RegisterForm(QWidget* form);

// The forms that exist: the registered ones in creation order, then any other top-level window of
// the program's own classes (never Qt's own dialogs, menus or tool tips), by object name.
QList<QWidget*> ExistingForms();

// The named components of a form, depth first in creation order: widgets, actions, menus and the
// actions of its menus, but not other windows (a dialog parented to the form is a form of its own)
// nor Qt's internal parts (names beginning with "qt_").
QList<QObject*> FormComponents(QWidget* form);

// Whether a component has a caption, and reading and writing it.
bool HasCaption(const QObject* component);
QString Caption(const QObject* component);
void SetCaption(QObject* component, const QString& caption);

// The hint (tool tip) of a widget or action; empty when it has none of its own.
QString Hint(const QObject* component);
// Sets the hint; a button that shows no text is also named by it for screen readers.
void SetHint(QObject* component, const QString& hint);
