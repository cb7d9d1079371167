#pragma once
// The picture buttons of the editor's windows: flat buttons that show a glyph from the style's
// standard pictures and are named by their hint (for tool tips and screen readers alike).

#include <QStyle>

class QWidget;
class TvkButton;

// A flat glyph button of `size` pixels square, named `name`, with the hint as tool tip.
TvkButton* MakeGlyphButton(QWidget* parent, const char* name, QStyle::StandardPixmap glyph, const char* hint,
                           int size = 22);
