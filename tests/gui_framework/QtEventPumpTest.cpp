// The window event pump: events posted before a long piece of work are delivered when the runner
// pumps, and an exception thrown by a handler reaches the pump's caller.
#include "framework/QtEventPump.h"

#include <QApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

struct SilentStopLike : std::runtime_error
{
    SilentStopLike() : std::runtime_error("stop") {}
};

class Thrower : public QObject
{
public:
    bool event(QEvent* e) override
    {
        if (e->type() == QEvent::User) {
            throw SilentStopLike();
        }
        return QObject::event(e);
    }
};

} // namespace

TEST(QtEventPump, delivers_pending_events_and_lets_handler_errors_through)
{
    int argc = 1;
    char name[] = "QtEventPumpTest";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);

    bool fired = false;
    QTimer::singleShot(0, [&] { fired = true; });
    TQtEventPump pump;
    for (int i = 0; i < 50 && !fired; ++i) {
        pump.ProcessMessages();
    }
    EXPECT_TRUE(fired);

    Thrower thrower;
    QCoreApplication::postEvent(&thrower, new QEvent(QEvent::User));
    EXPECT_THROW(pump.ProcessMessages(), SilentStopLike);
}
