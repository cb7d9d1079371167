#include "framework/FormTexts.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMetaProperty>
#include <QPointer>
#include <QStackedWidget>
#include <QTabWidget>
#include <QWidget>

#include <algorithm>
#include <vector>

namespace {

std::vector<QPointer<QWidget>>& registeredForms()
{
    static std::vector<QPointer<QWidget>> forms;
    return forms;
}

// A top-level widget of the program's own classes that is a window a user sees as one.
bool isProgramWindow(const QWidget* widget)
{
    if (!widget->isWindow() || qobject_cast<const QMenu*>(widget) != nullptr) {
        return false;
    }
    const Qt::WindowType type = widget->windowType();
    if (type != Qt::Window && type != Qt::Dialog && type != Qt::Tool && type != Qt::Sheet) {
        return false;
    }
    return widget->metaObject()->className()[0] != 'Q';
}

void collect(QObject* parent, QList<QObject*>& components)
{
    for (QObject* child : parent->children()) {
        if (auto* widget = qobject_cast<QWidget*>(child);
            widget != nullptr && widget->isWindow() && qobject_cast<QMenu*>(widget) == nullptr) {
            continue;
        }
        // Qt's internal parts (a tab widget's page stack) are looked through, never listed.
        const QString name = child->objectName();
        if (!name.isEmpty() && !name.startsWith(QLatin1String("qt_"))) {
            components.append(child);
        }
        collect(child, components);
    }
}

// The tab widget that shows a page, or nullptr.
QTabWidget* tabOwner(const QWidget* page)
{
    QWidget* stack = page->parentWidget();
    if (qobject_cast<QStackedWidget*>(stack) == nullptr) {
        return nullptr;
    }
    auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget());
    return tabs != nullptr && tabs->indexOf(const_cast<QWidget*>(page)) >= 0 ? tabs : nullptr;
}

// The program's own controls publish their text as a "Caption" property, which also keeps their
// size and accessible name up to date; it is used before the plain widget's text.
int captionProperty(const QObject* component)
{
    const QMetaObject* meta = component->metaObject();
    const int index = meta->indexOfProperty("Caption");
    return index >= 0 ? index : meta->indexOfProperty("caption");
}

// Qt answers an action's tool tip with its text when none was set: that is not a hint of its own.
QString strippedActionText(QString text)
{
    text.remove(QLatin1String("..."));
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == QLatin1Char('&')) {
            text.remove(i, 1);
        }
    }
    return text.trimmed();
}

} // namespace

void RegisterForm(QWidget* form)
{
    auto& forms = registeredForms();
    forms.erase(std::remove_if(forms.begin(), forms.end(), [](const QPointer<QWidget>& f) { return f.isNull(); }),
                forms.end());
    if (std::none_of(forms.begin(), forms.end(), [form](const QPointer<QWidget>& f) { return f == form; })) {
        forms.emplace_back(form);
    }
}

namespace {

std::vector<std::pair<QString, TFormMaker>>& templateForms()
{
    static std::vector<std::pair<QString, TFormMaker>> makers;
    return makers;
}

} // namespace

void RegisterTemplateForm(const QString& key, TFormMaker maker)
{
    auto& makers = templateForms();
    const auto known =
        std::find_if(makers.begin(), makers.end(), [&](const auto& entry) { return entry.first == key; });
    if (known != makers.end()) {
        known->second = std::move(maker);
    } else {
        makers.emplace_back(key, std::move(maker));
    }
}

const std::vector<std::pair<QString, TFormMaker>>& TemplateForms()
{
    return templateForms();
}

QList<QWidget*> ExistingForms()
{
    QList<QWidget*> forms;
    for (const QPointer<QWidget>& form : registeredForms()) {
        if (!form.isNull()) {
            forms.append(form.data());
        }
    }
    if (QApplication::instance() == nullptr) {
        return forms;
    }
    QList<QWidget*> others;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (!forms.contains(widget) && isProgramWindow(widget)) {
            others.append(widget);
        }
    }
    std::sort(others.begin(), others.end(),
              [](const QWidget* a, const QWidget* b) { return a->objectName() < b->objectName(); });
    return forms + others;
}

QList<QObject*> FormComponents(QWidget* form)
{
    QList<QObject*> components;
    if (form != nullptr) {
        collect(form, components);
    }
    return components;
}

bool HasCaption(const QObject* component)
{
    if (const auto* action = qobject_cast<const QAction*>(component)) {
        return !action->isSeparator();
    }
    if (qobject_cast<const QAbstractButton*>(component) != nullptr ||
        qobject_cast<const QLabel*>(component) != nullptr || qobject_cast<const QGroupBox*>(component) != nullptr ||
        captionProperty(component) >= 0) {
        return true;
    }
    const auto* widget = qobject_cast<const QWidget*>(component);
    return widget != nullptr && tabOwner(widget) != nullptr;
}

QString Caption(const QObject* component)
{
    if (const auto* action = qobject_cast<const QAction*>(component)) {
        return action->isSeparator() ? QString() : action->text();
    }
    if (const int index = captionProperty(component); index >= 0) {
        return component->metaObject()->property(index).read(component).toString();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(component)) {
        return button->text();
    }
    if (const auto* label = qobject_cast<const QLabel*>(component)) {
        return label->text();
    }
    if (const auto* group = qobject_cast<const QGroupBox*>(component)) {
        return group->title();
    }
    if (const auto* widget = qobject_cast<const QWidget*>(component)) {
        if (QTabWidget* tabs = tabOwner(widget)) {
            return tabs->tabText(tabs->indexOf(const_cast<QWidget*>(widget)));
        }
    }
    return {};
}

void SetCaption(QObject* component, const QString& caption)
{
    if (auto* action = qobject_cast<QAction*>(component)) {
        if (!action->isSeparator()) {
            action->setText(caption);
        }
    } else if (const int index = captionProperty(component); index >= 0) {
        component->metaObject()->property(index).write(component, caption);
    } else if (auto* button = qobject_cast<QAbstractButton*>(component)) {
        button->setText(caption);
    } else if (auto* label = qobject_cast<QLabel*>(component)) {
        label->setText(caption);
    } else if (auto* group = qobject_cast<QGroupBox*>(component)) {
        group->setTitle(caption);
    } else if (auto* widget = qobject_cast<QWidget*>(component)) {
        if (QTabWidget* tabs = tabOwner(widget)) {
            tabs->setTabText(tabs->indexOf(widget), caption);
        }
    }
}

QString Hint(const QObject* component)
{
    if (const auto* action = qobject_cast<const QAction*>(component)) {
        const QString tip = action->toolTip();
        return tip == strippedActionText(action->text()) ? QString() : tip;
    }
    if (const auto* widget = qobject_cast<const QWidget*>(component)) {
        return widget->toolTip();
    }
    return {};
}

void SetHint(QObject* component, const QString& hint)
{
    if (auto* action = qobject_cast<QAction*>(component)) {
        action->setToolTip(hint);
    } else if (auto* widget = qobject_cast<QWidget*>(component)) {
        const QString previous = widget->toolTip();
        widget->setToolTip(hint);
        // A picture-only button is known to a screen reader by its hint; keep the two together.
        const auto* button = qobject_cast<QAbstractButton*>(widget);
        if (button != nullptr && button->text().isEmpty() &&
            (widget->accessibleName().isEmpty() || widget->accessibleName() == previous)) {
            widget->setAccessibleName(hint);
        }
    }
}
