#include "info_options.h"

#include <cstdio>
#include <cstring>

namespace {

// The layout help2man reads: usage, description, options.
constexpr const char* kHelp =
    "Usage: vantrel [QT-OPTION]...\n"
    "Finds the maker's Zorvo network cameras on the PC's local network segments, lists them\n"
    "in one window and acts on the selected camera: Assign IP, Edit, Web Page.\n"
    "\n"
    "Options:\n"
    "  -h, --help     print this help and exit\n"
    "      --version  print the version and exit\n"
    "\n"
    "Qt's own options are taken too, such as -platform offscreen or -style NAME.\n";

}  // namespace

std::optional<int> AnswerInfoOption(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kHelp, stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("vantrel " VANTREL_VERSION "\n", stdout);
            return std::fflush(stdout) == 0 ? 0 : 1;
        }
    }
    return std::nullopt;
}
