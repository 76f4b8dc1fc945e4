#pragma once
// Whether the system's DNS-SD compatibility library is installed. It is only
// loaded, never called: its presence means a resolver takes care of
// link-local routing.
namespace platform {

// A handle when libdns_sd.so.1 can be loaded, else nullptr.
void* LoadDnssdLibrary();
void ReleaseDnssdLibrary(void* handle);

}  // namespace platform
