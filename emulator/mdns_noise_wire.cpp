#include "mdns_noise_wire.h"

#include "dns_message_writer.h"
#include "mdns_wire.h"

namespace camsim::mdns {
namespace {

constexpr std::uint32_t kServiceTtl = 4500;  // what responders use for records that are not about a host

}  // namespace

std::vector<std::uint8_t> printerAnnouncement() {
    const dns::Name service{"_printer", "_tcp", "local"};
    const dns::Name printer{"Office Printer", "_printer", "_tcp", "local"};
    dns::MessageWriter w(true);
    w.header({.id = 0, .flags = kResponseFlags, .questions = 0, .answers = 1, .authorities = 0, .additionals = 1});
    w.beginRecord(service, dns::kTypePtr, dns::kClassIn, kServiceTtl);
    w.name(printer);
    w.endRecord();
    w.beginRecord(printer, dns::kTypeTxt, dns::kClassTopBit | dns::kClassIn, kServiceTtl);
    for (const char* text : {"txtvers=1", "rp=queue1", "pdl=application/postscript", "note=2nd floor"}) {
        w.characterString(text);
    }
    w.endRecord();
    return w.message();
}

std::vector<std::uint8_t> ippQuery() {
    dns::MessageWriter w(true);
    w.header({.id = 0, .flags = 0, .questions = 1, .answers = 0, .authorities = 0, .additionals = 0});
    w.question({"_ipp", "_tcp", "local"}, dns::kTypePtr, dns::kClassIn);
    return w.message();
}

}  // namespace camsim::mdns
