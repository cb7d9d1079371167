#include "framework/FirstPaint.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

void NoteFirstPaint()
{
    static bool noted = false;
    if (noted) {
        return;
    }
    noted = true;
#ifdef VORLAND_TEST_HOOKS
    const char* mark = std::getenv("VORLAND_FIRST_PAINT_MARK");
#else
    const char* mark = nullptr;
#endif
    if (mark == nullptr || std::strcmp(mark, "1") != 0) {
        return;
    }
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::fprintf(stderr, "first-paint %lld\n", static_cast<long long>(now.tv_sec) * 1000000000LL + now.tv_nsec);
    std::fflush(stderr);
    QTimer::singleShot(0, QCoreApplication::instance(), [] { QCoreApplication::exit(0); });
}
