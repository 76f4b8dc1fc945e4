#include "mdns_query_wire.h"

#include "dns_message_reader.h"
#include "mdns_wire.h"

namespace camsim::mdns {

bool asksForWebService(std::span<const std::uint8_t> datagram) {
    auto flags = dns::readU16(datagram, 2);
    auto questions = dns::readU16(datagram, 4);
    if (!flags || !questions || datagram.size() < dns::kHeaderSize) return false;
    if (*flags & dns::kFlagResponse) return false;  // other responders' answers
    if ((*flags >> dns::kOpcodeShift & dns::kOpcodeMask) != 0) return false;

    std::size_t at = dns::kHeaderSize;
    for (std::uint16_t i = 0; i < *questions; ++i) {
        auto name = dns::readName(datagram, at);
        if (!name) return false;
        auto type = dns::readU16(datagram, name->next);
        auto cls = dns::readU16(datagram, name->next + 2);
        if (!type || !cls) return false;
        at = name->next + 4;

        // The top bit only asks for a unicast answer; the multicast one serves too.
        auto plainClass = static_cast<std::uint16_t>(*cls & ~dns::kClassTopBit);
        bool classFits = plainClass == dns::kClassIn || plainClass == dns::kClassAny;
        bool typeFits = *type == dns::kTypePtr || *type == dns::kTypeAny;
        if (classFits && typeFits && dns::sameName(name->name, webServiceName())) return true;
    }
    return false;
}

}  // namespace camsim::mdns
