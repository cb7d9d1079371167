#pragma once
// Helpers of the window tests: one application object for the whole test program. The queued
// prompter and dialogs are in tests/guikit/GuiTestKit.h.

namespace uitest {

// Creates the process's QApplication on first use (offscreen platform, set by the test
// registration) and keeps it until the program ends.
void ensureApplication();

} // namespace uitest
