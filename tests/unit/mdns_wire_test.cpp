// Multicast DNS query and answer reading, pinned with literal datagrams.
#include "mdns_wire.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "trace_capture.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Wire pieces written by hand from RFC 1035: a name is length-prefixed labels
// and a 0; a record is owner | type | class | TTL | data length | data.
Bytes Label(const std::string& text) {
    Bytes b = {static_cast<uint8_t>(text.size())};
    return b + Bytes(text.begin(), text.end());
}
Bytes Name(std::initializer_list<std::string> labels) {
    Bytes b;
    for (const std::string& l : labels) b = b + Label(l);
    return b + Bytes{0};
}
Bytes Pointer(int offset) { return {static_cast<uint8_t>(0xC0 | (offset >> 8)), static_cast<uint8_t>(offset & 0xFF)}; }
// clang-format off
Bytes Record(const Bytes& owner, uint16_t type, uint16_t rrClass, const Bytes& data) {
    return owner + Bytes{static_cast<uint8_t>(type >> 8), static_cast<uint8_t>(type), static_cast<uint8_t>(rrClass >> 8),
                         static_cast<uint8_t>(rrClass), 0, 0, 0x11, 0x94,  // TTL 4500
                         static_cast<uint8_t>(data.size() >> 8), static_cast<uint8_t>(data.size())} + data;
}
Bytes Header(int qd, int an, int ns, int ar) {
    return {0, 0, 0x84, 0x00, 0, static_cast<uint8_t>(qd), 0, static_cast<uint8_t>(an),
            0, static_cast<uint8_t>(ns), 0, static_cast<uint8_t>(ar)};
}
// clang-format on
Bytes Txt(std::initializer_list<std::string> strings) {
    Bytes b;
    for (const std::string& s : strings) b = b + Label(s);
    return b;
}
Bytes Srv(uint16_t port) {
    return Bytes{0, 0, 0, 0, static_cast<uint8_t>(port >> 8), static_cast<uint8_t>(port)} + Name({"lobby", "local"});
}

const Bytes kService = Name({"_http", "_tcp", "local"});
const Bytes kInstance = Name({"Lobby-02e5a1c0ffee", "_http", "_tcp", "local"});
const Bytes kLobbyTxt = Txt({"server name=Lobby", "ip addr=10.1.2.3", "subnet=255.255.255.0", "gateway=10.1.2.1",
                             "product name=ZC-100", "dhcp=enabled", "product code=3c", "hw addr=02e5a1C0FFEE"});

sockaddr_in Iface(const char* address) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    inet_pton(AF_INET, address, &a.sin_addr);
    return a;
}

struct Result {
    int added;
    bool linkLocal;
    CameraRecord records[4];
};

Result Read(const Bytes& datagram, int room = 4) {
    Result r{};
    std::memset(r.records, 0x5A, sizeof r.records);
    r.added = mdns::ReadAnswer(datagram.data(), datagram.size(), Iface("10.1.2.100"), r.records, room, r.linkLocal);
    return r;
}

// PTR answer, then the given additional records.
Bytes Answer(std::initializer_list<Bytes> additional, const Bytes& target = kInstance) {
    Bytes b = Header(0, 1, 0, static_cast<int>(additional.size())) + Record(kService, 12, 1, target);
    for (const Bytes& r : additional) b = b + r;
    return b;
}

TEST(MdnsQuery, ThirtyFourBytes) {
    // clang-format off
    const mdns::Query expected = {0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                  0x05, '_',  'h',  't',  't',  'p',  0x04, '_',  't',  'c',  'p',  0x05,
                                  'l',  'o',  'c',  'a',  'l',  0x00, 0x00, 0x0c, 0x00, 0x01};
    // clang-format on
    EXPECT_EQ(mdns::MakeQuery(), expected);
}

TEST(MdnsAnswer, EveryTxtKeyAndTheSrvPort) {
    TraceCapture trace;
    Result r = Read(Answer({Record(kInstance, 33, 0x8001, Srv(8080)), Record(kInstance, 16, 0x8001, kLobbyTxt),
                            Record(Name({"lobby", "local"}), 1, 0x8001, {10, 1, 2, 3})}));
    ASSERT_EQ(r.added, 1);
    const CameraRecord& c = r.records[0];
    EXPECT_STREQ(c.name, "Lobby");
    EXPECT_STREQ(c.ipAddrText, "10.1.2.3");
    const uint8_t ip[4] = {10, 1, 2, 3};
    EXPECT_EQ(0, std::memcmp(&c.ipAddr, ip, 4));
    EXPECT_STREQ(c.subnetText, "255.255.255.0");
    EXPECT_STREQ(c.gatewayText, "10.1.2.1");
    EXPECT_STREQ(c.productName, "ZC-100");
    EXPECT_EQ(c.dhcp, 1);
    EXPECT_EQ(c.productCode, 60);
    EXPECT_STREQ(c.hwAddrText, "02:e5:a1:C0:FF:EE");  // the case sent
    const uint8_t hw[6] = {0x02, 0xe5, 0xa1, 0xc0, 0xff, 0xee};
    EXPECT_EQ(0, std::memcmp(c.hwAddr, hw, 6));
    EXPECT_EQ(c.httpPort, 8080);
    EXPECT_STREQ(c.httpPortText, "8080");
    EXPECT_STREQ(c.webAddr, "10.1.2.3:8080");
    EXPECT_EQ(c.foundByDrovik, 0);
    EXPECT_EQ(c.ifaceAddr.sin_addr.s_addr, Iface("10.1.2.100").sin_addr.s_addr);
    EXPECT_EQ(c.nonce[0], 0);
    EXPECT_FALSE(r.linkLocal);
    EXPECT_TRUE(trace.Contains("ParseTXT: 10.1.2.3 is on iface 10.1.2.100"));
}

TEST(MdnsAnswer, HeaderRule) {
    const Bytes records = Record(kService, 12, 1, kInstance) + Record(kInstance, 16, 1, kLobbyTxt);
    EXPECT_EQ(Read(Header(0, 1, 0, 1) + records).added, 1);
    EXPECT_EQ(Read(Header(1, 1, 0, 1) + records).added, 0);  // e.g. our own query looped back
    EXPECT_EQ(Read(Header(0, 1, 1, 1) + records).added, 0);
    EXPECT_EQ(Read(Header(0, 0, 0, 2) + records).added, 0);
    EXPECT_EQ(Read(Header(0, 2, 0, 0) + records).added, 1);  // everything in the answer section
    // The collection keeps a slot only for what the reader would make a camera of.
    EXPECT_TRUE(mdns::DescribesCamera((Header(0, 2, 0, 0) + records).data(), 12 + records.size()));
    EXPECT_FALSE(mdns::DescribesCamera((Header(1, 1, 0, 1) + records).data(), 12 + records.size()));
    EXPECT_FALSE(mdns::DescribesCamera(Header(0, 1, 0, 0).data(), 11));
}

TEST(MdnsAnswer, OuiAfterTheFirstHyphenInAnyCase) {
    EXPECT_TRUE(mdns::NamesMakersCamera("Lobby-02E5A1c0ffee._http._tcp.local"));
    EXPECT_TRUE(mdns::NamesMakersCamera("x-02e5a1"));
    EXPECT_FALSE(mdns::NamesMakersCamera("My-Cam-02e5a1c0ffee._http._tcp.local"));
    EXPECT_FALSE(mdns::NamesMakersCamera("Printer 02e5a1._http._tcp.local"));
    EXPECT_FALSE(mdns::NamesMakersCamera("x-02e5a"));
}

// What printers, phones and NAS boxes send all day: nothing in it is a camera.
TEST(MdnsAnswer, OtherDevicesAnswersMakeNoRecord) {
    // A printer's TXT update on its own: _ipp._tcp.local instance "Printer", TXT "txtvers=1", "rp=q1".
    // clang-format off
    const Bytes printerTxt = {0x00, 0x00, 0x84, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x00,
                              0x07, 'P',  'r',  'i',  'n',  't',  'e',  'r',  0x04, '_',  'i',  'p',
                              'p',  0x04, '_',  't',  'c',  'p',  0x05, 'l',  'o',  'c',  'a',  'l',
                              0x00, 0x00, 0x10, 0x80, 0x01, 0x00, 0x00, 0x11, 0x94, 0x00, 0x10, 0x09,
                              't',  'x',  't',  'v',  'e',  'r',  's',  '=',  '1',  0x05, 'r',  'p',
                              '=',  'q',  '1'};
    // clang-format on
    EXPECT_EQ(Read(printerTxt).added, 0);
    EXPECT_FALSE(mdns::DescribesCamera(printerTxt.data(), printerTxt.size()));

    const Bytes ipp = Name({"_ipp", "_tcp", "local"});
    const Bytes printer = Name({"Printer", "_ipp", "_tcp", "local"});
    const Bytes printerData = Txt({"server name=Printer", "ip addr=10.1.2.50"});
    // TXT, SRV (port 631), then PTR _ipp._tcp.local -> Printer._ipp._tcp.local.
    EXPECT_EQ(Read(Header(0, 3, 0, 0) + Record(printer, 16, 0x8001, printerData) +
                   Record(printer, 33, 0x8001, Srv(631)) + Record(ipp, 12, 1, printer))
                  .added,
              0);
    // A web server that is not a camera, with its TXT.
    const Bytes nas = Name({"Storage", "_http", "_tcp", "local"});
    EXPECT_EQ(Read(Answer({Record(nas, 16, 1, printerData)}, nas)).added, 0);
    // The OUI on another service, or a camera PTR outside the answer section, says nothing either.
    const Bytes ippCam = Name({"Lobby-02e5a1c0ffee", "_ipp", "_tcp", "local"});
    EXPECT_EQ(Read(Header(0, 1, 0, 1) + Record(ipp, 12, 1, ippCam) + Record(ippCam, 16, 1, kLobbyTxt)).added, 0);
    EXPECT_EQ(Read(Header(0, 1, 0, 1) + Record(kInstance, 16, 1, kLobbyTxt) + Record(kService, 12, 1, kInstance)).added,
              0);
    // A camera PTR does not adopt another owner's TXT.
    EXPECT_EQ(Read(Answer({Record(printer, 16, 1, printerData)})).added, 0);

    // Beside a camera: only the camera is listed, once, however often its TXT comes.
    const Bytes nasPtr = Record(kService, 12, 1, nas);
    Result r = Read(Header(0, 2, 0, 3) + Record(kService, 12, 1, kInstance) + nasPtr + Record(nas, 16, 1, printerData) +
                    Record(kInstance, 16, 1, kLobbyTxt) +
                    Record(kInstance, 16, 1, Txt({"server name=Again", "ip addr=10.1.2.9"})));
    ASSERT_EQ(r.added, 1);
    EXPECT_STREQ(r.records[0].name, "Lobby");
}

TEST(MdnsAnswer, SrvAndTxtInEitherOrderAndOwnersMatched) {
    EXPECT_EQ(
        Read(Answer({Record(kInstance, 16, 1, kLobbyTxt), Record(kInstance, 33, 1, Srv(81))})).records[0].httpPort, 81);
    // Another instance's SRV does not give this camera its port.
    Result r = Read(Answer({Record(Name({"Other-02e5a1000001", "_http", "_tcp", "local"}), 33, 1, Srv(82)),
                            Record(kInstance, 16, 1, kLobbyTxt)}));
    ASSERT_EQ(r.added, 1);
    EXPECT_EQ(r.records[0].httpPort, 0);
    EXPECT_STREQ(r.records[0].httpPortText, "");
    EXPECT_STREQ(r.records[0].webAddr, "10.1.2.3:");
    // Owner names compare without regard to case; SRV of another class than IN is ignored.
    r = Read(Answer({Record(Name({"LOBBY-02E5A1C0FFEE", "_HTTP", "_tcp", "local"}), 33, 0x8001, Srv(83)),
                     Record(kInstance, 16, 1, kLobbyTxt)}));
    EXPECT_EQ(r.records[0].httpPort, 83);
    EXPECT_EQ(
        Read(Answer({Record(kInstance, 33, 2, Srv(84)), Record(kInstance, 16, 1, kLobbyTxt)})).records[0].httpPort, 0);
}

TEST(MdnsAnswer, AddressAndNsecRecordsAreSkipped) {
    Bytes aaaa(16, 0xfe);
    Bytes nsec = Name({"lobby", "local"}) + Bytes{0, 4, 0x40, 0, 0, 8};
    Result r = Read(
        Answer({Record(Name({"lobby", "local"}), 28, 0x8001, aaaa), Record(Name({"lobby", "local"}), 47, 0x8001, nsec),
                Record(kInstance, 16, 1, kLobbyTxt), Record(kInstance, 33, 1, Srv(85))}));
    ASSERT_EQ(r.added, 1);
    EXPECT_EQ(r.records[0].httpPort, 85);
}

TEST(MdnsAnswer, EachDatagramStartsAfresh) {
    // A lone SRV leaves no port for the next datagram's camera.
    EXPECT_EQ(Read(Answer({Record(kInstance, 33, 1, Srv(86))})).added, 0);
    Result r = Read(Answer({Record(kInstance, 16, 1, Txt({"server name=Next", "ip addr=10.1.2.9"}))}));
    ASSERT_EQ(r.added, 1);
    EXPECT_EQ(r.records[0].httpPort, 0);
    EXPECT_STREQ(r.records[0].webAddr, "10.1.2.9:");
}

TEST(MdnsAnswer, ACameraNamingNoAddressIsNotListedAndTextsAreMadeFromNumbers) {
    for (const char* bad :
         {"ip addr=127.0.0.1:8099/pwn?", "ip addr=evil.example", "ip addr=10.1.2.3#", "server name=NoAddr"})
        EXPECT_EQ(Read(Answer({Record(kInstance, 16, 1, Txt({"server name=X", bad}))})).added, 0) << bad;
    // The last "ip addr" string decides; a later malformed one leaves no address.
    EXPECT_EQ(Read(Answer({Record(kInstance, 16, 1, Txt({"ip addr=10.1.2.3", "ip addr=10.1.2.3/x"}))})).added, 0);
    Result r = Read(Answer({Record(kInstance, 16, 1, Txt({"ip addr=10.1.2.3/x", "ip addr=10.1.2.3"})),
                            Record(kInstance, 33, 1, Srv(8080))}));
    ASSERT_EQ(r.added, 1);
    EXPECT_STREQ(r.records[0].webAddr, "10.1.2.3:8080");
}

TEST(MdnsAnswer, TwoTxtRecordsTwoCamerasAndTheRoomLimit) {
    Bytes second = Name({"Gate-02e5a1000002", "_http", "_tcp", "local"});
    Bytes datagram = Header(0, 2, 0, 2) + Record(kService, 12, 1, kInstance) + Record(kService, 12, 1, second) +
                     Record(kInstance, 16, 1, kLobbyTxt) +
                     Record(second, 16, 1, Txt({"server name=Gate", "ip addr=169.254.7.7"}));
    Result r = Read(datagram);
    ASSERT_EQ(r.added, 2);
    EXPECT_STREQ(r.records[1].name, "Gate");
    EXPECT_TRUE(r.linkLocal);

    r = Read(datagram, 1);
    EXPECT_EQ(r.added, 1);
    EXPECT_FALSE(r.linkLocal);              // the link-local camera found no room
    EXPECT_EQ(r.records[1].name[0], 0x5A);  // untouched
    r = Read(datagram, 0);
    EXPECT_EQ(r.added, 0);
    EXPECT_EQ(r.records[0].name[0], 0x5A);
}

TEST(MdnsTxt, KeysValuesAndCuts) {
    struct Case {
        std::string text;
        std::string name, ip, product;
        int dhcp, code;
        std::string hw;
        // clang-format off
    } cases[] = {
        {"server name", "", "", "", 0, 0, ""},                          // no "=": empty
        {"server names=Yard", "Yard", "", "", 0, 0, ""},                // key is a prefix
        {"server name=" + std::string(60, 'n'), std::string(49, 'n'), "", "", 0, 0, ""},
        // Four dotted decimals or nothing: what follows an address, octal, short and named forms are no address.
        {"ip addr=10.0.0.1234567890123456789", "", "", "", 0, 0, ""},
        {"ip addr=10.1.2.3", "", "10.1.2.3", "", 0, 0, ""},
        {"ip addr=127.0.0.1:8099/pwn?", "", "", "", 0, 0, ""},
        {"ip addr=root:qivnep@10.1.2.3", "", "", "", 0, 0, ""},
        {"ip addr=10.1.2.3/set.oid", "", "", "", 0, 0, ""},
        {"ip addr=camera.local", "", "", "", 0, 0, ""},
        {"ip addr=256.1.1.1", "", "", "", 0, 0, ""},
        {"ip addr=010.1.2.3", "", "", "", 0, 0, ""},
        {"ip addr=10.1.2", "", "", "", 0, 0, ""},
        {"ip addr=10.1.2.3 ", "", "", "", 0, 0, ""},
        {"product name=ZC-100 with a long name", "", "", "ZC-100 with a l", 0, 0, ""},
        {"product code", "", "", "", 0, 0, ""},
        {"product code=zz", "", "", "", 0, 0, ""},
        {"product code= 1A0", "", "", "", 0, 0x1a0, ""},
        {"dhcp=enabled", "", "", "", 1, 0, ""},
        {"dhcp=Enabled", "", "", "", 0, 0, ""},
        {"dhcp=disabled", "", "", "", 0, 0, ""},
        {"dhcp=enabled ", "", "", "", 0, 0, ""},
        {"hw addr=0A0b0c0d0e0f", "", "", "", 0, 0, "0A:0b:0c:0d:0e:0f"},
        {"hw adder=001122334455", "", "", "", 0, 0, "00:11:22:33:44:55"},  // only "hw add" compared
        {"hw addr=0011", "", "", "", 0, 0, "00:11"},
        {"Server name=X", "", "", "", 0, 0, ""},  // case-sensitive keys
    };
    // clang-format on
    for (const Case& c : cases) {
        CameraRecord r{};
        bool linkLocal = false;
        Bytes data = Txt({c.text});
        mdns::ApplyTxtStrings(data.data(), data.size(), r, linkLocal);
        SCOPED_TRACE(c.text);
        EXPECT_EQ(std::string(r.name), c.name);
        EXPECT_EQ(std::string(r.ipAddrText), c.ip);
        EXPECT_EQ(std::string(r.productName), c.product);
        EXPECT_EQ(r.dhcp, c.dhcp);
        EXPECT_EQ(r.productCode, c.code);
        EXPECT_EQ(std::string(r.hwAddrText), c.hw);
    }
    // "product name" is tried before "product code"; a later string overrides.
    CameraRecord r{};
    bool linkLocal = false;
    Bytes data = Txt({"product name=A", "product code=10", "product name=B", "ip addr=169.254.1.2"});
    mdns::ApplyTxtStrings(data.data(), data.size(), r, linkLocal);
    EXPECT_STREQ(r.productName, "B");
    EXPECT_EQ(r.productCode, 16);
    EXPECT_TRUE(linkLocal);
}

TEST(MdnsNames, CompressionPointers) {
    char name[mdns::kNameBuffer];
    std::size_t next = 0;
    // "a" at 0, then "b" + pointer to 0 at 3: "b.a", ending after the pointer.
    Bytes m = {1, 'a', 0, 1, 'b', 0xC0, 0x00, 0xEE};
    ASSERT_TRUE(mdns::ExpandName(m.data(), m.size(), 3, m.size(), name, next));
    EXPECT_STREQ(name, "b.a");
    EXPECT_EQ(next, 7u);

    Bytes loop = {1, 'a', 0xC0, 0x00};  // points back to its own start
    EXPECT_FALSE(mdns::ExpandName(loop.data(), loop.size(), 0, loop.size(), name, next));
    Bytes self = {0, 0, 0xC0, 0x02};
    EXPECT_FALSE(mdns::ExpandName(self.data(), self.size(), 2, self.size(), name, next));
    Bytes forward = {0xC0, 0x03, 0, 1, 'a', 0};
    EXPECT_FALSE(mdns::ExpandName(forward.data(), forward.size(), 0, forward.size(), name, next));
    // Pointers that alternate between two earlier names cannot loop either.
    Bytes pingPong = {1, 'a', 0xC0, 0x04, 1, 'b', 0xC0, 0x00, 1, 'c', 0xC0, 0x04};
    EXPECT_FALSE(mdns::ExpandName(pingPong.data(), pingPong.size(), 8, pingPong.size(), name, next));
    Bytes pastEnd = {5, 'a', 'b'};
    EXPECT_FALSE(mdns::ExpandName(pastEnd.data(), pastEnd.size(), 0, pastEnd.size(), name, next));
    Bytes cutPointer = {1, 'a', 0xC0};
    EXPECT_FALSE(mdns::ExpandName(cutPointer.data(), cutPointer.size(), 0, cutPointer.size(), name, next));
    Bytes limited = {3, 'a', 'b', 'c', 0};  // a record's data length ends the name early
    EXPECT_FALSE(mdns::ExpandName(limited.data(), limited.size(), 0, 3, name, next));

    // 255 characters fit; 256 do not.
    Bytes longest, tooLong;
    for (int i = 0; i < 4; ++i) longest = longest + Label(std::string(i < 3 ? 63 : 63, 'x'));
    longest = longest + Bytes{0};  // 4 * 63 + 3 dots = 255
    ASSERT_TRUE(mdns::ExpandName(longest.data(), longest.size(), 0, longest.size(), name, next));
    EXPECT_EQ(std::strlen(name), 255u);
    for (int i = 0; i < 4; ++i) tooLong = tooLong + Label(std::string(63, 'x'));
    tooLong = tooLong + Label("y") + Bytes{0};
    EXPECT_FALSE(mdns::ExpandName(tooLong.data(), tooLong.size(), 0, tooLong.size(), name, next));
}

TEST(MdnsNames, PointerBeyondOffset255IsFollowed) {
    // A long A record first moves the SRV owner past offset 255; the TXT owner points to it.
    Bytes filler = Name({std::string(60, 'f'), std::string(60, 'g'), std::string(60, 'h'), "local"});
    Bytes start = Header(0, 1, 0, 3) + Record(kService, 12, 1, kInstance) + Record(filler, 1, 1, {10, 0, 0, 1});
    const int srvOwnerAt = static_cast<int>(start.size());
    ASSERT_GE(srvOwnerAt, 256);
    Bytes datagram = start + Record(kInstance, 33, 1, Srv(8443)) + Record(Pointer(srvOwnerAt), 16, 1, kLobbyTxt);
    Result r = Read(datagram);
    ASSERT_EQ(r.added, 1);
    EXPECT_EQ(r.records[0].httpPort, 8443);
}

// The classic faults of DNS message parsers (RFC 9267), each in a camera's
// answer that is whole but for it: none gives a record. Each datagram lies in
// a buffer of exactly its size, so a sanitized build sees any read past it.
TEST(MdnsAnswer, Rfc9267FaultsGiveNoRecord) {
    // Every byte by hand: PTR _http._tcp.local -> C-02e5a1._http._tcp.local, then that instance's TXT.
    // clang-format off
    const Bytes camera = {
        0x00, 0x00, 0x84, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01,  // 1 answer, 1 additional
        0x05, '_',  'h',  't',  't',  'p',  0x04, '_',  't',  'c',  'p',        // 12: _http._tcp.local
        0x05, 'l',  'o',  'c',  'a',  'l',  0x00,
        0x00, 0x0c, 0x00, 0x01, 0x00, 0x00, 0x11, 0x94, 0x00, 0x0b,  // 30: PTR, IN, TTL, data length 11
        0x08, 'C',  '-',  '0',  '2',  'e',  '5',  'a',  '1',  0xc0, 0x0c,  // 40: C-02e5a1, pointer to 12
        0xc0, 0x28,                                                  // 51: TXT owner, pointer to 40
        0x00, 0x10, 0x00, 0x01, 0x00, 0x00, 0x11, 0x94, 0x00, 0x10,  // 53: TXT, IN, TTL, data length 16
        0x0f, 'i',  'p',  ' ',  'a',  'd',  'd',  'r',  '=',  '1',  '.',  '2',  '.',  '3',  '.',  '4'};  // 63
    // clang-format on
    ASSERT_EQ(camera.size(), 79u);
    ASSERT_EQ(Read(camera).added, 1);
    auto patched = [&camera](std::size_t at, const Bytes& bytes, std::size_t length = 79) {
        Bytes b = camera;
        std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<long>(at));
        b.resize(length);
        return Bytes(b);  // capacity == size
    };
    const struct {
        const char* fault;
        Bytes datagram;
    } cases[] = {
        {"pointer to itself", patched(51, {0xc0, 0x33})},
        {"two pointers pointing at each other", patched(40, {0xc0, 0x2a, 0xc0, 0x28})},
        {"pointer offset past the end", patched(51, {0xff, 0xff})},
        {"forward pointer", patched(51, {0xc0, 0x3f})},
        {"label length past the end", patched(51, {0x3f})},
        {"record data length past the datagram", patched(61, {0xff, 0xff})},
        {"record counts larger than what is present", patched(6, {0x00, 0xff, 0x00, 0x00, 0xff, 0xff}, 51)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fault);
        EXPECT_EQ(Read(c.datagram).added, 0);
        EXPECT_FALSE(mdns::DescribesCamera(c.datagram.data(), c.datagram.size()));
    }

    // A name longer than 255 only through a pointer: the instance label, then
    // a pointer to a name that fits on its own (255 characters; from its
    // second label, 191).
    const Bytes longest =
        Name({std::string(63, 'a'), std::string(63, 'b'), std::string(63, 'c'), std::string(63, 'd')});
    auto target = [&longest](int pointedAt) {
        const Bytes head = Header(0, 2, 0, 1) + Record(longest, 1, 1, {10, 0, 0, 1}) +
                           Record(kService, 12, 1, Label("C-02e5a1") + Pointer(pointedAt));
        const int targetAt = static_cast<int>(head.size()) - 11;
        return head + Record(Pointer(targetAt), 16, 1, Txt({"ip addr=1.2.3.4"}));
    };
    EXPECT_EQ(Read(target(12 + 64)).added, 1);  // 8 + 1 + 191 characters
    SCOPED_TRACE("name longer than 255");
    EXPECT_EQ(Read(target(12)).added, 0);  // 8 + 1 + 255
}

TEST(MdnsAnswer, BrokenRecordsEndTheDatagramButKeepWhatCameBefore) {
    Bytes good = Record(kInstance, 16, 1, kLobbyTxt);
    Bytes second = Record(Name({"Gate-02e5a1000002", "_http", "_tcp", "local"}), 16, 1,
                          Txt({"server name=Gate", "ip addr=10.1.2.9"}));
    // A record whose owner loops.
    Bytes head = Header(0, 1, 0, 2) + Record(kService, 12, 1, kInstance) + good;
    const int loopAt = static_cast<int>(head.size());
    EXPECT_EQ(Read(head + Record(Pointer(loopAt), 16, 1, Txt({"server name=Loop", "ip addr=10.1.2.9"}))).added, 1);
    // A data length past the end of the datagram.
    Bytes cut = head + second;
    cut.resize(cut.size() - 3);
    EXPECT_EQ(Read(cut).added, 1);
    // A character-string running past its record's data.
    Bytes badTxt = Record(kInstance, 16, 1, Bytes{20, 'a', 'b'});
    EXPECT_EQ(Read(Header(0, 1, 0, 2) + Record(kService, 12, 1, kInstance) + badTxt + good).added, 0);
    // A PTR whose target runs past its data.
    Bytes ptr = Record(kService, 12, 1, kInstance);
    ptr[kService.size() + 9] = 4;  // data length 4
    EXPECT_EQ(Read(Header(0, 1, 0, 1) + ptr + good).added, 0);
}

TEST(MdnsReplies, DuplicatesBySender) {
    TraceCapture trace;
    MdnsReply replies[4]{};
    const char* senders[4] = {"10.1.2.3", "10.1.2.4", "10.1.2.3", "10.1.2.3"};
    for (int i = 0; i < 4; ++i) {
        replies[i].source = Iface(senders[i]);
        replies[i].source.sin_port = htons(5353 + i);  // ports are not compared
    }
    mdns::MarkDuplicateSenders(replies, 4);
    EXPECT_FALSE(replies[0].duplicate || replies[1].duplicate);
    EXPECT_TRUE(replies[2].duplicate && replies[3].duplicate);
    EXPECT_EQ(trace.Lines(), (std::vector<std::string>{"entry 2/10.1.2.3 is a dup of entry 0/10.1.2.3",
                                                       "entry 3/10.1.2.3 is a dup of entry 0/10.1.2.3"}));
}

}  // namespace
