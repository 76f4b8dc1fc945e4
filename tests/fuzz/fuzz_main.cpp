// libFuzzer entry of one harness: FUZZ_TARGET names its target function.
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "fuzz_target.h"
#include "trace_sink.h"

void FuzzCheckFailed(const char* check, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, check);
    std::abort();
}

// Undefined behaviour is a finding like a crash, however the harness is started.
extern "C" const char* __ubsan_default_options() { return "halt_on_error=1:print_stacktrace=1"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    platform::SetTraceSink([](std::string_view) {});  // no syslog datagram per duplicate
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    FUZZ_TARGET(data, size);
    return 0;
}
