#include "dnssd_library.h"

#include <dlfcn.h>

namespace platform {

void* LoadDnssdLibrary() { return dlopen("libdns_sd.so.1", RTLD_LAZY | RTLD_LOCAL); }

void ReleaseDnssdLibrary(void* handle) {
    if (handle) dlclose(handle);
}

}  // namespace platform
