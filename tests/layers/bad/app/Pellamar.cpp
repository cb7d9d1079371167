// The program without windows reaching into them.
#include <QWidget>
