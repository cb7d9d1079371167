#include "controls/ControlsAccessible.h"

#include "controls/vk_Button.h"
#include "controls/vk_Component.h"

#include <QAccessibleWidget>

namespace {

// "&&" stands for "&", a single "&" marks the accelerator and is not read.
QString stripAmpersands(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size())
            ++i;
        out += text[i];
    }
    return out;
}

class TvkButtonAccessible : public QAccessibleWidget
{
public:
    explicit TvkButtonAccessible(TvkButton* button) : QAccessibleWidget(button, QAccessible::PushButton) {}

    TvkButton* button() const { return static_cast<TvkButton*>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name: {
            QString name = button()->accessibleName();
            if (name.isEmpty())
                name = stripAmpersands(button()->Caption());
            if (name.isEmpty())
                name = button()->toolTip();
            return name;
        }
        case QAccessible::Description: {
            const QString description = button()->accessibleDescription();
            if (!description.isEmpty())
                return description;
            // The hint describes a captioned button; for a glyph-only one it already is the name.
            return button()->Caption().isEmpty() ? QString() : button()->toolTip();
        }
        case QAccessible::Accelerator: {
            const QKeySequence mnemonic = QKeySequence::mnemonic(button()->Caption());
            return mnemonic.toString(QKeySequence::NativeText);
        }
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        if (button()->isCheckable()) {
            s.checkable = true;
            s.checked = button()->isChecked();
        }
        if (button()->isDown())
            s.pressed = true;
        if (button()->Default())
            s.defaultButton = true;
        return s;
    }

    QStringList actionNames() const override
    {
        QStringList names;
        if (button()->isEnabled())
            names << pressAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override
    {
        if (!button()->isEnabled())
            return;
        if (action == pressAction())
            button()->click();
        else
            QAccessibleWidget::doAction(action);
    }
};

class TvkLinkAccessible : public QAccessibleWidget
{
public:
    explicit TvkLinkAccessible(TvkLabelLink* link) : QAccessibleWidget(link, QAccessible::Link) {}

    TvkLabelLink* link() const { return static_cast<TvkLabelLink*>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name: {
            const QString name = link()->accessibleName();
            return name.isEmpty() ? stripAmpersands(link()->Caption()) : name;
        }
        case QAccessible::Value:
            return link()->Target();
        default:
            return QAccessibleWidget::text(t);
        }
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.linked = true;
        return s;
    }

    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }

    void doAction(const QString& action) override
    {
        if (action == pressAction())
            link()->Execute();
        else
            QAccessibleWidget::doAction(action);
    }
};

QAccessibleInterface* controlsFactory(const QString& className, QObject* object)
{
    if (object == nullptr || !object->isWidgetType())
        return nullptr;
    if (className == QLatin1String("TvkButton"))
        return new TvkButtonAccessible(static_cast<TvkButton*>(object));
    if (className == QLatin1String("TvkLabelLink"))
        return new TvkLinkAccessible(static_cast<TvkLabelLink*>(object));
    return nullptr;
}

} // namespace

void VkInstallControlsAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(controlsFactory);
        return true;
    }();
    (void)installed;
}
