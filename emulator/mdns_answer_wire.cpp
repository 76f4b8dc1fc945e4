#include "mdns_answer_wire.h"

#include "dns_message.h"
#include "mdns_wire.h"

#include <array>
#include <cstdio>

namespace camsim::mdns {

bool AsksForWebService(std::span<const std::uint8_t> datagram) {
    auto flags = dns::ReadU16(datagram, 2);
    auto questions = dns::ReadU16(datagram, 4);
    if (!flags || !questions || datagram.size() < dns::kHeaderSize) return false;
    if (*flags & dns::kFlagResponse) return false;  // other responders' answers
    if ((*flags >> dns::kOpcodeShift & dns::kOpcodeMask) != 0) return false;

    std::size_t at = dns::kHeaderSize;
    for (std::uint16_t i = 0; i < *questions; ++i) {
        auto name = dns::ReadName(datagram, at);
        if (!name) return false;
        auto type = dns::ReadU16(datagram, name->next);
        auto cls = dns::ReadU16(datagram, name->next + 2);
        if (!type || !cls) return false;
        at = name->next + 4;

        // The top bit only asks for a unicast answer; the multicast one serves too.
        auto plainClass = static_cast<std::uint16_t>(*cls & ~dns::kClassTopBit);
        bool classFits = plainClass == dns::kClassIn || plainClass == dns::kClassAny;
        bool typeFits = *type == dns::kTypePtr || *type == dns::kTypeAny;
        if (classFits && typeFits && dns::SameName(name->name, kWebService)) return true;
    }
    return false;
}

namespace {

std::vector<std::string> TxtStrings(const Camera& cam) {
    if (cam.txt) return *cam.txt;
    std::vector<std::string> out = {
        "server name=" + cam.name,         "ip addr=" + Dotted(cam.ip),
        "subnet=" + Dotted(cam.subnet),    "gateway=" + Dotted(cam.gateway),
        "product name=" + cam.productName, cam.dhcp != 0 ? "dhcp=enabled" : "dhcp=disabled",
    };
    if (cam.productCode) out.push_back("product code=" + *cam.productCode);
    out.push_back("hw addr=" + HexText(cam.hwAddr));
    return out;
}

constexpr std::uint16_t kDefaultHttpPort = 80;
constexpr std::uint16_t kCacheFlushIn = dns::kClassTopBit | dns::kClassIn;

// NSEC type bitmap, window 0: bit n (from the top of byte 0) is type n.
// A (1) is 0x40 in byte 0, AAAA (28) is 0x08 in byte 3.
constexpr std::uint8_t kNsecBitmap[] = {0x00, 0x04, 0x40, 0x00, 0x00, 0x08};  // window, length, bitmap

// The link-local IPv6 address a camera derives from its hardware address.
std::array<std::uint8_t, 16> LinkLocalIpv6(const HwAddr& hw) {
    // fe80::/64, then the hardware address with ff:fe in its middle and the
    // universal/local bit flipped (modified EUI-64).
    // clang-format off
    return {0xfe, 0x80, 0, 0, 0, 0, 0, 0,
            static_cast<std::uint8_t>(hw[0] ^ 0x02), hw[1], hw[2], 0xff, 0xfe, hw[3], hw[4], hw[5]};
    // clang-format on
}

}  // namespace

Answer BuildAnswer(const Camera& cam) {
    const std::string instance = cam.name + "-" + HexText(cam.hwAddr);
    const dns::Name& service = kWebService;
    dns::Name serviceInstance{instance};
    serviceInstance.insert(serviceInstance.end(), service.begin(), service.end());
    const dns::Name host{instance, "local"};

    const auto others = static_cast<std::uint16_t>(cam.mdnsOrder.size());
    const bool allAnswers = cam.mdnsSection == MdnsSection::Answer;

    dns::MessageWriter w(cam.mdnsCompression);
    w.WriteHeader({.id = 0,
                   .flags = kResponseFlags,
                   .questions = 0,
                   .answers = static_cast<std::uint16_t>(allAnswers ? 1 + others : 1),
                   .authorities = 0,
                   .additionals = allAnswers ? std::uint16_t{0} : others});

    w.BeginRecord(service, dns::kTypePtr, dns::kClassIn, kTtl);
    w.WriteName(serviceInstance);
    w.EndRecord();

    for (MdnsRecord record : cam.mdnsOrder) {
        switch (record) {
        case MdnsRecord::Srv:
            w.BeginRecord(serviceInstance, dns::kTypeSrv, kCacheFlushIn, kTtl);
            w.U16(0);  // priority
            w.U16(0);  // weight
            w.U16(cam.httpPort.value_or(kDefaultHttpPort));
            w.WriteName(host);
            break;
        case MdnsRecord::Txt:
            w.BeginRecord(serviceInstance, dns::kTypeTxt, kCacheFlushIn, kTtl);
            for (const std::string& text : TxtStrings(cam)) w.CharacterString(text);
            break;
        case MdnsRecord::A:
            w.BeginRecord(host, dns::kTypeA, kCacheFlushIn, kTtl);
            w.Bytes(cam.ip);
            break;
        case MdnsRecord::Aaaa:
            w.BeginRecord(host, dns::kTypeAaaa, kCacheFlushIn, kTtl);
            w.Bytes(LinkLocalIpv6(cam.hwAddr));
            break;
        case MdnsRecord::Nsec:
            w.BeginRecord(host, dns::kTypeNsec, kCacheFlushIn, kTtl);
            w.WriteName(host);  // next domain name: the owner itself
            w.Bytes(kNsecBitmap);
            break;
        }
        w.EndRecord();
    }

    Answer answer;
    if (!w.Ok()) {
        answer.error = w.Error();
    } else if (w.Message().size() > kMaxMessage) {
        answer.error = "answer of " + std::to_string(w.Message().size()) + " bytes is longer than " +
                       std::to_string(kMaxMessage) + ", the most a multicast DNS message may hold";
    } else {
        answer.bytes = w.Message();
    }
    return answer;
}

}  // namespace camsim::mdns
