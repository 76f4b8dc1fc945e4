#pragma once
// Recognises the query a camera answers: a multicast DNS query that asks for
// the web-server service, _http._tcp.local, with type PTR or ANY.

#include <cstdint>
#include <span>

namespace camsim::mdns {

// True for a query (QR clear, standard opcode) holding such a question.
// Responses, other names and types, and malformed datagrams give false.
bool asksForWebService(std::span<const std::uint8_t> datagram);

}  // namespace camsim::mdns
