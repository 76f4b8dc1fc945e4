#pragma once
// --help and --version of the window, answered before Qt starts: they need no
// display, so they work over SSH and when the manual page is made at build time.
#include <optional>

// The exit status when argv asks for help or the version (printed to stdout);
// none otherwise, and every other argument is left to Qt.
std::optional<int> AnswerInfoOption(int argc, char** argv);
