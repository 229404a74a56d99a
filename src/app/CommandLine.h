#pragma once

#include <optional>

// The program's command-line tools ("pelora defaults ..."), run without any display. Their exit
// status, or nothing when the arguments start the program itself.
std::optional<int> runCommandLine(int& argc, char** argv);
