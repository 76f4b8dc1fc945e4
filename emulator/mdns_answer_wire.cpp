#include "mdns_answer_wire.h"

#include "dns_message_writer.h"
#include "mdns_service_text.h"
#include "mdns_wire.h"

#include <array>

namespace camsim::mdns {
namespace {

constexpr std::uint16_t kDefaultHttpPort = 80;
constexpr std::uint16_t kCacheFlushIn = dns::kClassTopBit | dns::kClassIn;

// NSEC type bitmap, window 0: bit n (from the top of byte 0) is type n.
// A (1) is 0x40 in byte 0, AAAA (28) is 0x08 in byte 3.
constexpr std::uint8_t kNsecBitmap[] = {0x00, 0x04, 0x40, 0x00, 0x00, 0x08};  // window, length, bitmap

// The link-local IPv6 address a camera derives from its hardware address.
std::array<std::uint8_t, 16> linkLocalIpv6(const HwAddr& hw) {
    // fe80::/64, then the hardware address with ff:fe in its middle and the
    // universal/local bit flipped (modified EUI-64).
    return {0xfe, 0x80, 0, 0, 0, 0, 0, 0,
            static_cast<std::uint8_t>(hw[0] ^ 0x02), hw[1], hw[2], 0xff, 0xfe, hw[3], hw[4], hw[5]};
}

}  // namespace

Answer buildAnswer(const Camera& cam) {
    const std::string instance = instanceLabel(cam);
    const dns::Name& service = webServiceName();
    dns::Name serviceInstance{instance};
    serviceInstance.insert(serviceInstance.end(), service.begin(), service.end());
    const dns::Name host{instance, "local"};

    const auto others = static_cast<std::uint16_t>(cam.mdnsOrder.size());
    const bool allAnswers = cam.mdnsSection == MdnsSection::Answer;

    dns::MessageWriter w(cam.mdnsCompression);
    w.header({.id = 0,
              .flags = kResponseFlags,
              .questions = 0,
              .answers = static_cast<std::uint16_t>(allAnswers ? 1 + others : 1),
              .authorities = 0,
              .additionals = allAnswers ? std::uint16_t{0} : others});

    w.beginRecord(service, dns::kTypePtr, dns::kClassIn, kTtl);
    w.name(serviceInstance);
    w.endRecord();

    for (MdnsRecord record : cam.mdnsOrder) {
        switch (record) {
        case MdnsRecord::Srv:
            w.beginRecord(serviceInstance, dns::kTypeSrv, kCacheFlushIn, kTtl);
            w.u16(0);  // priority
            w.u16(0);  // weight
            w.u16(cam.httpPort.value_or(kDefaultHttpPort));
            w.name(host);
            break;
        case MdnsRecord::Txt:
            w.beginRecord(serviceInstance, dns::kTypeTxt, kCacheFlushIn, kTtl);
            for (const std::string& text : txtStrings(cam)) w.characterString(text);
            break;
        case MdnsRecord::A:
            w.beginRecord(host, dns::kTypeA, kCacheFlushIn, kTtl);
            w.bytes(cam.ip);
            break;
        case MdnsRecord::Aaaa:
            w.beginRecord(host, dns::kTypeAaaa, kCacheFlushIn, kTtl);
            w.bytes(linkLocalIpv6(cam.hwAddr));
            break;
        case MdnsRecord::Nsec:
            w.beginRecord(host, dns::kTypeNsec, kCacheFlushIn, kTtl);
            w.name(host);  // next domain name: the owner itself
            w.bytes(kNsecBitmap);
            break;
        }
        w.endRecord();
    }

    Answer answer;
    if (!w.ok()) {
        answer.error = w.error();
    } else if (w.message().size() > kMaxMessage) {
        answer.error = "answer of " + std::to_string(w.message().size()) + " bytes is longer than " +
                       std::to_string(kMaxMessage) + ", the most a multicast DNS message may hold";
    } else {
        answer.bytes = w.message();
    }
    return answer;
}

}  // namespace camsim::mdns
