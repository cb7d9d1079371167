#pragma once
// The section wizard's side picture, a JPEG stored with the program.

#include <QImage>

// The decoded picture; an empty image when it cannot be decoded.
QImage WizardPicture();
