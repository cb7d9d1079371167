#pragma once
// Start-up measurement, compiled in only with VORLAND_TEST_HOOKS: with VORLAND_FIRST_PAINT_MARK=1 in
// the environment, the first paint of the main window writes "first-paint <CLOCK_MONOTONIC
// nanoseconds>" to standard error and ends the program, so bench/first_paint_bench.py can time
// start-up to the first painted window.

// Called from the main window's paint handler; does nothing after the first call or without the mark.
void NoteFirstPaint();
