#pragma once
// How screen readers see the controls: the flat button as a push button named by its caption (or
// by its hint when it shows only a glyph) that can be pressed, the link label as a link that can be
// opened. Labels and the styled menu's items need nothing of their own: Qt's label and menu item
// interfaces already give static text and menu items with captions and check states.

// Registers the accessibility factory for the controls once per process; the controls call it when
// they are created. GUI thread only.
void VkInstallControlsAccessibility();
