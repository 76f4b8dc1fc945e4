#pragma once
// vantrel-nethelper's answer: one line on standard output.
//   ok                        the route was added or deleted
//   error N                   the kernel refused with errno N
//   answered aa:bb:cc:dd:ee:ff a device answered the probe with this hardware address
//   silent                    nobody answered the probe within its second
//   refused                   an argument was malformed; nothing was done
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

struct HelperAnswer {
    enum Kind { Ok, Error, Answered, Silent, Refused, Garbled } kind = Garbled;
    int error = 0;          // Error: the errno
    uint8_t hwAddr[6] = {}; // Answered
};

std::string FormatHelperAnswer(const HelperAnswer& answer);

// Reads what the helper printed; anything but one well-formed line is Garbled.
HelperAnswer ReadHelperAnswer(std::string_view text);

}  // namespace platform
