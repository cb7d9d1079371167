#pragma once
// Accessible names for controls that show no text of their own (glyph-only buttons, fields without
// a label): the control is named by its hint, and the name follows every later change of the hint,
// so a translation reaches screen readers too. GUI thread only.

class QWidget;

// Names the widget by its tool tip (without "&") now and whenever the tool tip changes.
void NameByHint(QWidget* widget);
