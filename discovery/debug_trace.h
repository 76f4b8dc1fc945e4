#pragma once
// The program's one diagnostic output: a printf-style line of at most 199
// characters, handed whole to the platform's trace sink (the system log).
int DebugTrace(const char* format, ...) __attribute__((format(printf, 1, 2)));
