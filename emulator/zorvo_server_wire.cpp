#include "zorvo_server_wire.h"

#include "http_request.h"

#include <algorithm>

namespace camsim::zorvo {
namespace {

using Bytes = std::vector<std::uint8_t>;

enum Command : std::uint8_t {
    kVersion3 = 7,
    kOid3 = 15,
    kNonce3 = 16,
    kVersion4 = 37,
    kOid4 = 45,
    kNonce4 = 46,
};

constexpr std::uint32_t kOpRead = 2;
constexpr std::uint32_t kOpWrite3 = 3;
constexpr std::uint32_t kOpWrite4 = 7;

constexpr std::uint32_t kStatusDone = 0;
constexpr std::uint32_t kStatusRefused = 1;
constexpr std::uint32_t kStatusFailed = 2;

void Put32(Bytes& out, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::uint32_t Get32(std::span<const std::uint8_t> in) {
    return std::uint32_t{in[0]} << 24 | std::uint32_t{in[1]} << 16 | std::uint32_t{in[2]} << 8 | in[3];
}

// The NUL-terminated texts at the start of `in`, at most `count` of them;
// fewer when a NUL is missing.
std::vector<std::string> Texts(std::span<const std::uint8_t> in, std::size_t count) {
    std::vector<std::string> out;
    while (out.size() < count) {
        auto nul = std::find(in.begin(), in.end(), std::uint8_t{0});
        if (nul == in.end()) break;
        out.emplace_back(in.begin(), nul);
        in = in.subspan(static_cast<std::size_t>(nul - in.begin()) + 1);
    }
    return out;
}

// Status and, in generation 4, the two echo bytes.
Bytes Head(std::uint32_t status, std::optional<std::array<std::uint8_t, 2>> echoes) {
    Bytes out;
    Put32(out, status);
    if (echoes) out.insert(out.end(), echoes->begin(), echoes->end());
    return out;
}

}  // namespace

OidService::OidService(Camera& cam, NonceFn freshNonce)
    : cam_(cam), freshNonce_(std::move(freshNonce)), nonce_(freshNonce_()) {}

std::optional<Bytes> OidService::Answer(std::span<const std::uint8_t> request) {
    if (request.empty()) return std::nullopt;
    const bool gen4 = request[0] == kVersion4 || request[0] == kNonce4 || request[0] == kOid4;
    if (gen4 && request.size() < 2) return std::nullopt;
    std::optional<std::array<std::uint8_t, 2>> echoes;
    if (gen4) echoes = {request[0], request[1]};

    switch (request[0]) {
    case kVersion3:
    case kVersion4: {
        Bytes out = Head(kStatusDone, echoes);
        Put32(out, static_cast<std::uint32_t>(cam_.zorvoVersion));
        return out;
    }
    case kNonce3:
    case kNonce4: {
        nonce_ = freshNonce_();
        Bytes out = Head(kStatusDone, echoes);
        out.insert(out.end(), nonce_.begin(), nonce_.end());
        return out;
    }
    case kOid3:
    case kOid4: return AnswerOid(request, gen4);
    default: return std::nullopt;
    }
}

std::optional<Bytes> OidService::AnswerOid(std::span<const std::uint8_t> request, bool gen4) {
    const ZorvoFault fault = cam_.zorvoFault;
    const std::size_t digestAt = gen4 ? 2 : 1;
    const std::size_t operationAt = digestAt + 16;
    const std::size_t textAt = operationAt + 4;
    if (request.size() < textAt) return std::nullopt;
    const std::uint32_t operation = Get32(request.subspan(operationAt));
    const bool write = operation == (gen4 ? kOpWrite4 : kOpWrite3);
    const std::vector<std::string> args = Texts(request.subspan(textAt), write ? 2 : 1);
    if (args.size() < (write ? 2u : 1u)) return std::nullopt;

    std::optional<std::array<std::uint8_t, 2>> echoes;
    if (gen4) {
        echoes = {request[0], request[1]};
        if (fault == ZorvoFault::WrongCommand) ++(*echoes)[0];
        if (fault == ZorvoFault::WrongSeq) ++(*echoes)[1];
    }
    auto finish = [&](Bytes out) {
        if (fault == ZorvoFault::Oversize) out.resize(kOversizeReply);
        return out;
    };

    if (fault == ZorvoFault::Status2) return finish(Head(kStatusFailed, echoes));

    bool refuse = fault == ZorvoFault::RefuseAlways || (fault == ZorvoFault::RefuseFirst && !refusedOnce_);
    refusedOnce_ = true;
    if (!refuse) {
        std::optional<Digest> expected = CredentialsDigest(nonce_, cam_.password);
        refuse = !expected || !std::equal(expected->begin(), expected->end(), request.begin() + digestAt);
    }
    if (refuse) {
        nonce_ = freshNonce_();
        Bytes out = Head(kStatusRefused, echoes);
        out.insert(out.end(), nonce_.begin(), nonce_.end());
        return finish(out);
    }

    if (write) {
        http::ApplyOidWrite(cam_, {args[0], args[1]});
        if (onWrite_) onWrite_(args[0], args[1]);
        return finish(Head(kStatusDone, echoes));
    }
    if (operation != kOpRead) return finish(Head(kStatusFailed, echoes));
    auto it = cam_.oids.find(args[0]);
    if (it == cam_.oids.end()) return finish(Head(kStatusFailed, echoes));
    Bytes out = Head(kStatusDone, echoes);
    if (gen4 && fault == ZorvoFault::ShortRead) return finish(out);
    out.insert(out.end(), it->second.begin(), it->second.end());
    out.push_back(0);
    return finish(out);
}

}  // namespace camsim::zorvo
