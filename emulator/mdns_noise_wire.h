#pragma once
// Other hosts' multicast DNS on a busy office LAN, as whole messages: a
// printer announcing itself and a host looking for IPP printers. Neither is
// a camera nor a question a camera answers.
//
// Announcement: ID 0, flags 0x8400, QD 0, AN 1, NS 0, AR 1
//   answer      PTR  _printer._tcp.local -> Office Printer._printer._tcp.local
//   additional  TXT  Office Printer._printer._tcp.local (cache flush)
// Query: ID 0, flags 0, QD 1: _ipp._tcp.local, type PTR, class IN
// TXT update: QD 0, AN 1: TXT Printer._ipp._tcp.local alone
// IPP answer: QD 0, AN 3: TXT, SRV (port 631), PTR _ipp._tcp.local -> Printer._ipp._tcp.local
// Web server: QD 0, AN 1, AR 2: PTR _http._tcp.local -> Storage._http._tcp.local, TXT, SRV (port 80)

#include <cstdint>
#include <vector>

namespace camsim::mdns {

// One of the five, by `kind` modulo 5: TXT update, IPP answer, web server,
// announcement, query.
std::vector<std::uint8_t> OfficeMessage(unsigned kind);

}  // namespace camsim::mdns
