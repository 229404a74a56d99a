#pragma once

// Makes theme lookups work without a desktop session: adds the system icon folders to the
// search path and, when Qt has no real theme (offscreen, or a bare X session reports none or
// "hicolor"), picks Adwaita if it is installed. Runs once; symbolIcon calls it, and start-up may
// call it early so file and type icons benefit as well. Main thread only.
void ensureIconTheme();
