#include "ui/UiTestKit.h"

#include <QApplication>

namespace uitest {

void ensureApplication()
{
    if (QApplication::instance() != nullptr) {
        return;
    }
    static int argc = 1;
    static char name[] = "vorland-ui-test";
    static char* argv[] = {name, nullptr};
    // Lives until the program ends: Qt wants one application object for the whole process.
    new QApplication(argc, argv);
}

} // namespace uitest
