#pragma once
// Other hosts' multicast DNS on a busy office LAN, as whole messages: a
// printer announcing itself and a host looking for IPP printers. Neither is
// a camera nor a question a camera answers.
//
// Announcement: ID 0, flags 0x8400, QD 0, AN 1, NS 0, AR 1
//   answer      PTR  _printer._tcp.local -> Office Printer._printer._tcp.local
//   additional  TXT  Office Printer._printer._tcp.local (cache flush)
// Query: ID 0, flags 0, QD 1: _ipp._tcp.local, type PTR, class IN

#include <cstdint>
#include <vector>

namespace camsim::mdns {

std::vector<std::uint8_t> printerAnnouncement();
std::vector<std::uint8_t> ippQuery();

}  // namespace camsim::mdns
