#pragma once

#include "app/headless_settings.h"

// The test without a window, with the window's engine and the window's rows: each row goes to standard output
// as a line of a saved log (the header first), errors to standard error as the window's box would show them.
// A Start that fails ends it with status 1; the end of the duration or SIGTERM, SIGINT or SIGHUP stop the run,
// write a summary to standard error and end it with status 0. Needs an application object (no display).
int RunHeadless(const THeadlessSettings& settings);
