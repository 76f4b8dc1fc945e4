// A library named like the DNS-SD compatibility library, for the test that
// the scan adds no link-local route when such a library can be loaded.
extern "C" int vantrel_dnssd_stub() { return 0; }
