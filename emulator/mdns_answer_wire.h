#pragma once
// A camera's answer to the web-service query, as a pure function over bytes.
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

#include "camera.h"

#include <cstdint>
#include <string>
#include <vector>

namespace camsim::mdns {

struct Answer {
    std::vector<std::uint8_t> bytes;
    std::string error;  // empty on success; otherwise why the camera's names or texts do not fit DNS
    bool ok() const { return error.empty(); }
};

Answer buildAnswer(const Camera& cam);

}  // namespace camsim::mdns
