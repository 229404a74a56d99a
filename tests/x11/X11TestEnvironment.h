#pragma once

// Whether the test program runs on its own X server with a window manager. Tests that need
// one skip without it.
bool x11TestDisplayAvailable();
