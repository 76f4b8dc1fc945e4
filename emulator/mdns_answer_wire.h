#pragma once
// A camera's multicast DNS as pure functions over bytes: which queries it
// answers (for the web-server service, _http._tcp.local, with type PTR or
// ANY), what it says about itself, and its answer.
//
// Header: ID 0, flags 0x8400, QDCOUNT 0, NSCOUNT 0; with the usual section
// choice ANCOUNT 1 (the PTR) and ARCOUNT = the other records, otherwise
// ANCOUNT = all records and ARCOUNT 0. Records, class IN (cache-flush bit on
// all but the PTR, which many hosts share), TTL 120:
//   PTR   _http._tcp.local          -> <instance>._http._tcp.local
//   then, in the camera's order:
//   SRV   <instance>._http._tcp.local  priority 0, weight 0, port, target <instance>.local
//   TXT   <instance>._http._tcp.local  character-strings (length byte, text)
//   A     <instance>.local             4 bytes: the camera's address
//   AAAA  <instance>.local             16 bytes: fe80:: with the EUI-64 of the hardware address
//   NSEC  <instance>.local             next name <instance>.local, bitmap window 0 with A and AAAA
//
// The instance is "<name>-<hw>", hw the twelve lower-case hexadecimal digits
// of its hardware address: the PC recognises a camera by the maker's OUI
// right after the first hyphen. The TXT strings are the camera's "txt", or
// by default, in this order: server name=, ip addr=, subnet=, gateway=,
// product name=, dhcp=enabled|disabled, product code= (only when it has
// one), hw addr=

#include "camera.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace camsim::mdns {

// True for a query (QR clear, standard opcode) holding such a question.
// Responses, other names and types, and malformed datagrams give false.
bool AsksForWebService(std::span<const std::uint8_t> datagram);

struct Answer {
    std::vector<std::uint8_t> bytes;
    std::string error;  // empty on success; otherwise why the camera's names or texts do not fit DNS
    bool Ok() const { return error.empty(); }
};

Answer BuildAnswer(const Camera& cam);

}  // namespace camsim::mdns
