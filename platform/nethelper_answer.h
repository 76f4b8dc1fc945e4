#pragma once
// vantrel-nethelper's answer: one line on standard output (a probe: one
// line for each address, in their order, unless the whole probe failed).
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
#include <vector>

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

// Reads the answer to a probe of `count` addresses: one answer each when the
// text is `count` lines, each "answered ..." or "silent"; else empty.
std::vector<HelperAnswer> ReadProbeAnswers(std::string_view text, std::size_t count);

// The most a caller reads of an answer: a probe's every line fits.
inline constexpr std::size_t kMaxAnswerBytes = 8192;

}  // namespace platform
