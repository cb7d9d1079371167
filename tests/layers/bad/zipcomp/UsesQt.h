// A core file reaching into the windows.
#include <QWidget>
