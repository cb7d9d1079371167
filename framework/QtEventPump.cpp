#include "framework/QtEventPump.h"

#include <QCoreApplication>

void TQtEventPump::ProcessMessages()
{
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::processEvents();
    }
}
