#include "mdns_noise_wire.h"

#include "dns_message.h"
#include "mdns_wire.h"

namespace camsim::mdns {
namespace {

constexpr std::uint32_t kServiceTtl = 4500;  // what responders use for records that are not about a host
constexpr std::uint16_t kFlush = dns::kClassTopBit | dns::kClassIn;

const dns::Name kIppPrinter{"Printer", "_ipp", "_tcp", "local"};

// Texts that look like a camera's, so that only the records around them tell.
void printerTexts(dns::MessageWriter& w, const dns::Name& owner) {
    w.beginRecord(owner, dns::kTypeTxt, kFlush, kServiceTtl);
    for (const char* text : {"server name=Printer", "ip addr=10.77.0.90", "product name=Laser"}) w.characterString(text);
    w.endRecord();
}

void srv(dns::MessageWriter& w, const dns::Name& owner, std::uint16_t port) {
    w.beginRecord(owner, dns::kTypeSrv, kFlush, 120);
    w.u16(0);
    w.u16(0);
    w.u16(port);
    w.name({"printer", "local"});
    w.endRecord();
}

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

std::vector<std::uint8_t> printerTxtUpdate() {
    dns::MessageWriter w(true);
    w.header({.id = 0, .flags = kResponseFlags, .questions = 0, .answers = 1, .authorities = 0, .additionals = 0});
    printerTexts(w, kIppPrinter);
    return w.message();
}

std::vector<std::uint8_t> ippPrinterAnswer() {
    dns::MessageWriter w(true);
    w.header({.id = 0, .flags = kResponseFlags, .questions = 0, .answers = 3, .authorities = 0, .additionals = 0});
    printerTexts(w, kIppPrinter);
    srv(w, kIppPrinter, 631);
    w.beginRecord({"_ipp", "_tcp", "local"}, dns::kTypePtr, dns::kClassIn, kServiceTtl);
    w.name(kIppPrinter);
    w.endRecord();
    return w.message();
}

std::vector<std::uint8_t> storageWebAnswer() {
    const dns::Name storage{"Storage", "_http", "_tcp", "local"};
    dns::MessageWriter w(true);
    w.header({.id = 0, .flags = kResponseFlags, .questions = 0, .answers = 1, .authorities = 0, .additionals = 2});
    w.beginRecord({"_http", "_tcp", "local"}, dns::kTypePtr, dns::kClassIn, kServiceTtl);
    w.name(storage);
    w.endRecord();
    printerTexts(w, storage);
    srv(w, storage, 80);
    return w.message();
}

}  // namespace

std::vector<std::uint8_t> officeMessage(unsigned kind) {
    switch (kind % 5) {
    case 0: return printerTxtUpdate();
    case 1: return ippPrinterAnswer();
    case 2: return storageWebAnswer();
    case 3: return printerAnnouncement();
    default: return ippQuery();
    }
}

}  // namespace camsim::mdns
