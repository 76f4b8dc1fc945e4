// Writes fuzz seeds made by the camera emulator's own reply code into a
// corpus folder: `fuzz-seeds tests/corpus`. Links only the emulator.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "camera_credentials.h"
#include "drovik_responder_wire.h"
#include "mdns_answer_wire.h"
#include "zorvo_server_wire.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
std::string corpus;

void Write(const std::string& file, const Bytes& bytes) {
    std::filesystem::create_directories(std::filesystem::path(corpus + "/" + file).parent_path());
    std::ofstream(corpus + "/" + file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

camsim::Camera Lobby() {
    camsim::Camera c;
    c.name = "Lobby";
    c.hwAddr = {0x02, 0xe5, 0xa1, 0x31, 0x0a, 0x05};
    c.ip = {10, 77, 0, 10};
    c.subnet = {255, 255, 255, 0};
    c.gateway = {10, 77, 0, 1};
    c.productName = "ZC-310";
    c.productCode = "3b";
    c.httpPort = 8080;
    c.mdns = true;
    c.zorvo = true;
    c.oids = {{"2.17", "CET"}, {"2.4", "Lobby"}};
    return c;
}

Bytes Reply(const camsim::Camera& c) {
    const camsim::drovik::Nonce nonce{0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17,
                                      0x18, 0x19, 0x1a, 0x1b, 0x1c, 0x1d, 0x1e, 0x1f};
    return camsim::drovik::BuildDiscoveryReply(c, 1, nonce);
}

// One datagram of a collection input: length, copies (further ones; 0x80:
// each with an address of its own), bytes.
Bytes Chunk(const Bytes& datagram, std::uint8_t copies = 0) {
    return Bytes{static_cast<std::uint8_t>(datagram.size() >> 8), static_cast<std::uint8_t>(datagram.size()), copies} +
           datagram;
}

void Discovery() {
    camsim::Camera lobby = Lobby(), warehouse = Lobby(), foreign = Lobby(), padded = Lobby(), gate = Lobby();
    warehouse.name = "Warehouse";
    warehouse.hwAddr[5] = 0x6b;
    warehouse.ip = warehouse.subnet = warehouse.gateway = {0, 0, 0, 0};
    warehouse.httpPort.reset();
    warehouse.noEndMarker = true;
    foreign.hwAddr = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
    padded.hwAddr[5] = 0x77;
    gate.hwAddr[4] = 0x80;
    padded.extraOptions = {{0x0c, Bytes(1150, 'p'), std::nullopt}};  // past the 1000 bytes read
    Write("drovik_reply/valid-camsim-lobby", Reply(lobby));
    Write("drovik_reply/valid-camsim-no-address-no-end", Reply(warehouse));

    const std::string dir = "drovik_collection/";
    Write(dir + "valid-camsim-two-cameras", Chunk(Reply(lobby)) + Chunk(Reply(warehouse)));
    Write(dir + "valid-camsim-duplicate-address",
          Chunk(Reply(lobby), 1) + Chunk(Reply(warehouse)) + Chunk(Reply(lobby)));
    Write(dir + "valid-camsim-foreign-and-short-between",
          Chunk(Reply(foreign)) + Chunk(Bytes(20, 0x02)) + Chunk(Reply(lobby)));
    Write(dir + "edge-table-cap-512-distinct-cameras", Chunk(Reply(lobby), 0xFF) + Chunk(Reply(warehouse), 0xFF) +
                                                           Chunk(Reply(foreign), 0xFF) + Chunk(Reply(gate), 0xFF));
    Write(dir + "edge-table-cap-one-camera-512-times", Chunk(Reply(lobby), 0x7F) + Chunk(Reply(lobby), 0x7F) +
                                                           Chunk(Reply(lobby), 0x7F) + Chunk(Reply(lobby), 0x7F));
    Write(dir + "edge-camsim-datagram-over-1000", Chunk(Reply(padded)) + Chunk(Reply(lobby)));
    Bytes cut = Chunk(Reply(lobby));
    cut[1] = static_cast<std::uint8_t>(cut[1] + 40);  // declares more than the input holds
    Write(dir + "malformed-last-chunk-cut", Chunk(Reply(warehouse)) + cut);
}

void Mdns() {
    camsim::Camera lobby = Lobby(), plain = Lobby(), linkLocal = Lobby();
    plain.mdnsCompression = false;
    plain.mdnsOrder = {camsim::MdnsRecord::Txt, camsim::MdnsRecord::A, camsim::MdnsRecord::Aaaa,
                       camsim::MdnsRecord::Nsec, camsim::MdnsRecord::Srv};
    linkLocal.ip = {169, 254, 23, 7};
    linkLocal.mdnsSection = camsim::MdnsSection::Answer;
    Write("mdns_answer/valid-camsim-lobby", camsim::mdns::BuildAnswer(lobby).bytes);
    Write("mdns_answer/valid-camsim-uncompressed-every-record", camsim::mdns::BuildAnswer(plain).bytes);
    Write("mdns_answer/valid-camsim-link-local-answer-section", camsim::mdns::BuildAnswer(linkLocal).bytes);
}

// A zorvo_reply input: flags (generation 4) | seqNo | value room - 1 | first reply's length | replies.
Bytes OidInput(bool fourth, std::uint8_t seqNo, const Bytes& first, const Bytes& second = {}, std::uint8_t room = 99) {
    return Bytes{fourth, seqNo, room, static_cast<std::uint8_t>(first.size())} + first + second;
}

Bytes Answer(camsim::zorvo::OidService& service, const Bytes& request) {
    return service.Answer(request).value_or(Bytes{});
}

// A read of 2.17 with the digest over the service's current nonce.
Bytes ReadRequest(const camsim::zorvo::OidService& service, bool fourth, std::uint8_t seqNo) {
    const camsim::Digest digest = camsim::CredentialsDigest(service.CurrentNonce(), "qivnep").value();
    Bytes head = fourth ? Bytes{45, seqNo} : Bytes{15};
    return head + Bytes(digest.begin(), digest.end()) + Bytes{0, 0, 0, 2, '2', '.', '1', '7', 0};
}

void Zorvo() {
    std::uint8_t drawn = 0;
    auto nonces = [&drawn] {
        camsim::Nonce n;
        for (auto& b : n) b = drawn++;
        return n;
    };
    for (const bool fourth : {false, true}) {
        const std::string gen = fourth ? "gen4-" : "gen3-";
        const std::uint8_t seq = 7;
        camsim::Camera cam = Lobby();
        cam.zorvoVersion = fourth ? 4 : 3;
        camsim::zorvo::OidService service(cam, nonces);
        auto plain = [&](std::uint8_t cmd3, std::uint8_t cmd4) {
            return Answer(service, fourth ? Bytes{cmd4, seq} : Bytes{cmd3});
        };
        Write("zorvo_reply/valid-" + gen + "camsim-version", OidInput(fourth, seq, plain(7, 37)));
        Write("zorvo_reply/valid-" + gen + "camsim-nonce", OidInput(fourth, seq, plain(16, 46)));
        Write("zorvo_reply/valid-" + gen + "camsim-read",
              OidInput(fourth, seq, Answer(service, ReadRequest(service, fourth, seq))));
        cam.zorvoFault = camsim::ZorvoFault::RefuseFirst;
        camsim::zorvo::OidService refusing(cam, nonces);
        const Bytes first = Answer(refusing, ReadRequest(refusing, fourth, seq));
        const Bytes retry = Answer(refusing, ReadRequest(refusing, fourth, seq));
        Write("zorvo_reply/valid-" + gen + "camsim-refused-then-read", OidInput(fourth, seq, first, retry));
        Write("zorvo_reply/edge-" + gen + "camsim-read-into-room-of-2", OidInput(fourth, seq, retry, {}, 1));
        cam.zorvoFault = camsim::ZorvoFault::RefuseAlways;
        camsim::zorvo::OidService always(cam, nonces);
        const Bytes again = Answer(always, ReadRequest(always, fourth, seq));
        Write("zorvo_reply/edge-" + gen + "camsim-refused-twice",
              OidInput(fourth, seq, again, Answer(always, ReadRequest(always, fourth, seq))));
        for (const auto& [fault, name] : {std::pair{camsim::ZorvoFault::Oversize, "oversize-reply"},
                                          std::pair{camsim::ZorvoFault::Status2, "status-2"},
                                          std::pair{camsim::ZorvoFault::ShortRead, "short-read"},
                                          std::pair{camsim::ZorvoFault::WrongCommand, "wrong-command-echo"},
                                          std::pair{camsim::ZorvoFault::WrongSeq, "wrong-seq-echo"}}) {
            if (!fourth && fault != camsim::ZorvoFault::Oversize && fault != camsim::ZorvoFault::Status2) continue;
            cam.zorvoFault = fault;
            camsim::zorvo::OidService faulty(cam, nonces);
            Write("zorvo_reply/edge-" + gen + "camsim-" + name,
                  OidInput(fourth, seq, Answer(faulty, ReadRequest(faulty, fourth, seq))));
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz-seeds CORPUS-FOLDER\n");
        return 2;
    }
    corpus = argv[1];
    Discovery();
    Mdns();
    Zorvo();
    return 0;
}
