#include "mdns_noise_wire.h"

#include "dns_message.h"
#include "mdns_wire.h"

namespace camsim::mdns {
namespace {

constexpr std::uint32_t kServiceTtl = 4500;  // what responders use for records that are not about a host
constexpr std::uint16_t kFlush = dns::kClassTopBit | dns::kClassIn;

const dns::Name kIppPrinter{"Printer", "_ipp", "_tcp", "local"};

// Texts that look like a camera's, so that only the records around them tell.
void PrinterTexts(dns::MessageWriter& w, const dns::Name& owner) {
    w.BeginRecord(owner, dns::kTypeTxt, kFlush, kServiceTtl);
    for (const char* text : {"server name=Printer", "ip addr=10.77.0.90", "product name=Laser"}) {
        w.CharacterString(text);
    }
    w.EndRecord();
}

void Srv(dns::MessageWriter& w, const dns::Name& owner, std::uint16_t port) {
    w.BeginRecord(owner, dns::kTypeSrv, kFlush, 120);
    w.U16(0);
    w.U16(0);
    w.U16(port);
    w.WriteName({"printer", "local"});
    w.EndRecord();
}

std::vector<std::uint8_t> PrinterAnnouncement() {
    const dns::Name service{"_printer", "_tcp", "local"};
    const dns::Name printer{"Office Printer", "_printer", "_tcp", "local"};
    dns::MessageWriter w(true);
    w.WriteHeader({.id = 0, .flags = kResponseFlags, .questions = 0, .answers = 1, .authorities = 0, .additionals = 1});
    w.BeginRecord(service, dns::kTypePtr, dns::kClassIn, kServiceTtl);
    w.WriteName(printer);
    w.EndRecord();
    w.BeginRecord(printer, dns::kTypeTxt, dns::kClassTopBit | dns::kClassIn, kServiceTtl);
    for (const char* text : {"txtvers=1", "rp=queue1", "pdl=application/postscript", "note=2nd floor"}) {
        w.CharacterString(text);
    }
    w.EndRecord();
    return w.Message();
}

std::vector<std::uint8_t> IppQuery() {
    dns::MessageWriter w(true);
    w.WriteHeader({.id = 0, .flags = 0, .questions = 1, .answers = 0, .authorities = 0, .additionals = 0});
    w.Question({"_ipp", "_tcp", "local"}, dns::kTypePtr, dns::kClassIn);
    return w.Message();
}

std::vector<std::uint8_t> PrinterTxtUpdate() {
    dns::MessageWriter w(true);
    w.WriteHeader({.id = 0, .flags = kResponseFlags, .questions = 0, .answers = 1, .authorities = 0, .additionals = 0});
    PrinterTexts(w, kIppPrinter);
    return w.Message();
}

std::vector<std::uint8_t> IppPrinterAnswer() {
    dns::MessageWriter w(true);
    w.WriteHeader({.id = 0, .flags = kResponseFlags, .questions = 0, .answers = 3, .authorities = 0, .additionals = 0});
    PrinterTexts(w, kIppPrinter);
    Srv(w, kIppPrinter, 631);
    w.BeginRecord({"_ipp", "_tcp", "local"}, dns::kTypePtr, dns::kClassIn, kServiceTtl);
    w.WriteName(kIppPrinter);
    w.EndRecord();
    return w.Message();
}

std::vector<std::uint8_t> StorageWebAnswer() {
    const dns::Name storage{"Storage", "_http", "_tcp", "local"};
    dns::MessageWriter w(true);
    w.WriteHeader({.id = 0, .flags = kResponseFlags, .questions = 0, .answers = 1, .authorities = 0, .additionals = 2});
    w.BeginRecord({"_http", "_tcp", "local"}, dns::kTypePtr, dns::kClassIn, kServiceTtl);
    w.WriteName(storage);
    w.EndRecord();
    PrinterTexts(w, storage);
    Srv(w, storage, 80);
    return w.Message();
}

}  // namespace

std::vector<std::uint8_t> OfficeMessage(unsigned kind) {
    switch (kind % 5) {
    case 0: return PrinterTxtUpdate();
    case 1: return IppPrinterAnswer();
    case 2: return StorageWebAnswer();
    case 3: return PrinterAnnouncement();
    default: return IppQuery();
    }
}

}  // namespace camsim::mdns
