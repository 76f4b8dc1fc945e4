#include "debug_trace.h"

#include <cstdarg>
#include <cstdio>

#include "trace_sink.h"

int DebugTrace(const char* format, ...) {
    char line[200];  // a longer line is cut to 199 characters
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (n < 0) line[0] = '\0';
    platform::EmitTrace(line);
    return 0;
}
