#pragma once
// How the language layer sees a form: the forms that exist, in creation order; the components of a
// form (every named QObject it holds, menus and their actions included, other windows excluded);
// and the two texts of a component: its caption (the visible text of a label, button, check box,
// radio button, group box, tab page or menu action) and its hint (its tool tip).

#include <QList>
#include <QString>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

class QObject;
class QWidget;

// Adds a form to the list of existing forms (the base forms do it in their constructors; a window of
// the program that derives from none of them calls it once). A destroyed form leaves the list by
// itself. Registering twice does nothing.
void RegisterForm(QWidget* form);

// The forms that exist: the registered ones in creation order, then any other top-level window of
// the program's own classes (never Qt's own dialogs, menus or tool tips), by object name.
QList<QWidget*> ExistingForms();

// Makes a window that is not open, so that a language template can list its texts.
using TFormMaker = std::function<std::unique_ptr<QWidget>()>;
// Registers the maker of the form whose key (its class name without the first character) is `key`;
// a later maker for the same key replaces the earlier one.
void RegisterTemplateForm(const QString& key, TFormMaker maker);
// The registered makers with their keys, in registration order.
const std::vector<std::pair<QString, TFormMaker>>& TemplateForms();

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
