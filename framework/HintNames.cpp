#include "framework/HintNames.h"

#include <QEvent>
#include <QObject>
#include <QWidget>

namespace {

void TakeHintAsName(QWidget* widget)
{
    QString name = widget->toolTip();
    name.remove(QLatin1Char('&'));
    widget->setAccessibleName(name);
}

class THintFollower : public QObject
{
public:
    explicit THintFollower(QWidget* widget) : QObject(widget) { widget->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ToolTipChange)
            TakeHintAsName(static_cast<QWidget*>(watched));
        return false;
    }
};

} // namespace

void NameByHint(QWidget* widget)
{
    if (widget == nullptr)
        return;
    TakeHintAsName(widget);
    new THintFollower(widget);
}
