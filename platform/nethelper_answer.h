#pragma once
// vantrel-nethelper's answer: one line on standard output.
//   ok                        the route was added or deleted
//   exists                    the table has that route already: nothing was added
//   error N                   the kernel refused with errno N
//   answered aa:bb:cc:dd:ee:ff a device answered the probe with this hardware address
//   silent                    nobody answered the probe within its second
//   refused REASON            an argument was malformed or a route rule says no;
//                             nothing was done (REASON: printable ASCII)
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

struct HelperAnswer {
    enum Kind { Ok, Exists, Error, Answered, Silent, Refused, Garbled } kind = Garbled;
    int error = 0;           // Error: the errno
    uint8_t hwAddr[6] = {};  // Answered
    std::string reason;      // Refused
};

// Bytes of a reason that are no printable ASCII become '?'; it is cut to kReasonLength.
std::string FormatHelperAnswer(const HelperAnswer& answer);
inline constexpr std::size_t kReasonLength = 200;

// Reads what the helper printed; anything but one well-formed line is Garbled.
HelperAnswer ReadHelperAnswer(std::string_view text);

}  // namespace platform
