#pragma once
// What a camera says about itself in its mDNS answer: its service instance
// label and the key=value strings of its TXT record.

#include "camera.h"

#include <string>
#include <vector>

namespace camsim::mdns {

// "<name>-<hw>" with hw the twelve lower-case
// hexadecimal digits of its hardware address: the PC recognises a camera by
// the maker's OUI right after the first hyphen.
std::string instanceLabel(const Camera& cam);

// Twelve lower-case hexadecimal digits, no separators.
std::string hwAddrDigits(const HwAddr& hw);

// The camera's "txt" strings, or by default, in this order:
//   server name=, ip addr=, subnet=, gateway=, product name=,
//   dhcp=enabled|disabled, product code= (only when it has one), hw addr=
std::vector<std::string> txtStrings(const Camera& cam);

}  // namespace camsim::mdns
