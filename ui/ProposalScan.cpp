#include "ui/ProposalScan.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>

namespace {

// Pending events are handled at most this often: the window repaints smoothly and the scan itself
// is not slowed down by event handling.
constexpr qint64 kEventIntervalMs = 30;

// Watches the application for Esc while the scan runs and swallows user input meant for the
// windows, so that no command starts in the middle of the scan.
class TScanGuard : public QObject
{
public:
    TScanGuard() { qApp->installEventFilter(this); }
    ~TScanGuard() override { qApp->removeEventFilter(this); }
    bool stopped = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape)
                stopped = true;
            return true;
        case QEvent::KeyRelease:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ShortcutOverride:
            return true;
        default:
            return false;
        }
    }
};

} // namespace

TExtensionScan ScanExtensionsResponsive(TExtensionList& list, const std::string& dir, bool recurse)
{
    if (qApp == nullptr)
        return GatherExtensions(list, dir, recurse, {});
    TScanGuard guard;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QElapsedTimer sinceEvents;
    sinceEvents.start();
    const auto keepGoing = [&] {
        if (sinceEvents.elapsed() >= kEventIntervalMs) {
            QCoreApplication::processEvents();
            sinceEvents.restart();
        }
        return !guard.stopped;
    };
    TExtensionScan result = TExtensionScan::Complete;
    try {
        result = GatherExtensions(list, dir, recurse, keepGoing);
    } catch (...) {
        QApplication::restoreOverrideCursor();
        throw;
    }
    QApplication::restoreOverrideCursor();
    return result;
}
