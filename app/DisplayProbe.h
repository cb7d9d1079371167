#pragma once
// Whether a display is there to open windows on, found out without the window system's libraries.

// True when the display named by WAYLAND_DISPLAY or DISPLAY accepts connections (a local display's
// socket answers; a remote one is assumed to). A stale DISPLAY would otherwise end the program in
// the window system's start-up instead of running the batch.
bool DisplayReachable();
