#include "camera_config.h"

#include <arpa/inet.h>

#include <nlohmann/json.hpp>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>

namespace camsim {
namespace {

using nlohmann::json;

// Keys a camera entry may carry; anything else is most likely a typo, which
// would otherwise silently give a camera different from the one intended.
const std::set<std::string> kCameraKeys = {
    "name",         "hwAddr",      "ip",          "subnet",      "gateway",
    "productName",  "productCode", "dhcp",        "httpPort",    "answer",
    "extraOptions", "noEndMarker", "rawReplyHex", "drovik",
    // mDNS
    "mdns", "instance", "mdnsOrder", "mdnsSection", "mdnsCompression", "txt", "mdnsDelayMs",
    // OID protocol and broadcast assignment
    "password", "zorvo", "zorvoVersion", "zorvoFault", "oids", "assignReply", "assignWrongIds", "assignDelayMs",
    // web server
    "http", "httpAuth", "httpFault", "httpLists",
};

constexpr std::size_t kMaxMdnsRecords = 32;  // more would only repeat records
constexpr std::size_t kMaxLabel = 63;         // DNS label
constexpr std::size_t kMaxTxtString = 255;    // DNS character-string

const std::pair<const char*, MdnsRecord> kMdnsRecordNames[] = {
    {"srv", MdnsRecord::Srv}, {"txt", MdnsRecord::Txt}, {"a", MdnsRecord::A},
    {"aaaa", MdnsRecord::Aaaa}, {"nsec", MdnsRecord::Nsec},
};

const std::pair<const char*, ZorvoFault> kZorvoFaultNames[] = {
    {"none", ZorvoFault::None},
    {"noVersion", ZorvoFault::NoVersion},
    {"refuseFirst", ZorvoFault::RefuseFirst},
    {"refuseAlways", ZorvoFault::RefuseAlways},
    {"wrongCommand", ZorvoFault::WrongCommand},
    {"wrongSeq", ZorvoFault::WrongSeq},
    {"shortRead", ZorvoFault::ShortRead},
    {"oversize", ZorvoFault::Oversize},
    {"status2", ZorvoFault::Status2},
};

const std::pair<const char*, AssignReply> kAssignReplyNames[] = {
    {"normal", AssignReply::Normal}, {"silent", AssignReply::Silent},   {"refuse", AssignReply::Refuse},
    {"status7", AssignReply::Status7}, {"code4", AssignReply::Code4},
};

const std::pair<const char*, HttpAuth> kHttpAuthNames[] = {
    {"basic", HttpAuth::Basic}, {"digest", HttpAuth::Digest},
};

const std::pair<const char*, HttpFault> kHttpFaultNames[] = {
    {"none", HttpFault::None},
    {"unauthorized", HttpFault::Unauthorized},
    {"error", HttpFault::Error},
    {"chunked", HttpFault::Chunked},
    {"noLength", HttpFault::NoLength},
    {"noBody", HttpFault::NoBody},
    {"empty", HttpFault::Empty},
    {"slowHeaders", HttpFault::SlowHeaders},
    {"trickle", HttpFault::Trickle},
    {"shortBody", HttpFault::ShortBody},
    {"status500", HttpFault::Status500},
    {"status204", HttpFault::Status204},
    {"bare", HttpFault::Bare},
};

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Hex text to bytes; spaces between bytes are allowed for readability.
std::optional<std::vector<std::uint8_t>> parseHex(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    int high = -1;
    for (char c : text) {
        if (c == ' ' && high < 0) continue;
        int d = hexDigit(c);
        if (d < 0) return std::nullopt;
        if (high < 0) {
            high = d;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high << 4 | d));
            high = -1;
        }
    }
    if (high >= 0) return std::nullopt;
    return bytes;
}

std::optional<HwAddr> parseHwAddr(const std::string& text) {
    // Exactly "xx:xx:xx:xx:xx:xx".
    if (text.size() != 17) return std::nullopt;
    HwAddr addr{};
    for (std::size_t i = 0; i < addr.size(); ++i) {
        std::size_t at = i * 3;
        if (i > 0 && text[at - 1] != ':') return std::nullopt;
        int high = hexDigit(text[at]);
        int low = hexDigit(text[at + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        addr[i] = static_cast<std::uint8_t>(high << 4 | low);
    }
    return addr;
}

std::optional<Ipv4> parseIpv4(const std::string& text) {
    in_addr addr{};
    if (inet_pton(AF_INET, text.c_str(), &addr) != 1) return std::nullopt;
    Ipv4 out{};
    static_assert(sizeof(addr.s_addr) == sizeof(out));
    std::memcpy(out.data(), &addr.s_addr, out.size());
    return out;
}

// Reads the fields of one JSON object, remembering the first problem with
// the path of the offending field.
class FieldReader {
public:
    FieldReader(const json& object, std::string path, std::string& error)
        : object_(object), path_(std::move(path)), error_(error) {}

    bool failed() const { return !error_.empty(); }

    void fail(const std::string& key, const std::string& why) {
        if (failed()) return;
        error_ = path_ + (key.empty() ? "" : "." + key) + ": " + why;
    }

    // The value of key, or nullptr when it is absent or null (both mean "use
    // the default").
    const json* find(const std::string& key) const {
        auto it = object_.find(key);
        if (it == object_.end() || it->is_null()) return nullptr;
        return &*it;
    }

    void text(const std::string& key, std::string& out) {
        if (const json* v = find(key)) {
            if (!v->is_string()) return fail(key, "expected a string");
            out = v->get<std::string>();
        }
    }

    void optionalText(const std::string& key, std::optional<std::string>& out) {
        if (find(key)) {
            std::string value;
            text(key, value);
            out = value;
        }
    }

    void ipv4(const std::string& key, Ipv4& out) {
        if (const json* v = find(key)) {
            auto parsed = v->is_string() ? parseIpv4(v->get<std::string>()) : std::nullopt;
            if (!parsed) return fail(key, "expected a dotted-decimal IPv4 address such as \"10.0.0.1\"");
            out = *parsed;
        }
    }

    // Integer in [low, high].
    std::optional<std::int64_t> integer(const std::string& key, std::int64_t low, std::int64_t high) {
        const json* v = find(key);
        if (!v) return std::nullopt;
        if (!v->is_number_integer()) {
            fail(key, "expected an integer");
            return std::nullopt;
        }
        // Unsigned values above INT64_MAX do not fit get<int64_t>; they are out of range anyway.
        bool tooBig = v->is_number_unsigned() && v->get<std::uint64_t>() > static_cast<std::uint64_t>(high);
        std::int64_t n = tooBig ? high : v->get<std::int64_t>();
        if (tooBig || n < low || n > high) {
            fail(key, "expected an integer from " + std::to_string(low) + " to " + std::to_string(high));
            return std::nullopt;
        }
        return n;
    }

    void flag(const std::string& key, bool& out) {
        if (const json* v = find(key)) {
            if (!v->is_boolean()) return fail(key, "expected true or false");
            out = v->get<bool>();
        }
    }

    // An array of strings; nothing when absent.
    std::optional<std::vector<std::string>> texts(const std::string& key) {
        const json* v = find(key);
        if (!v) return std::nullopt;
        if (!v->is_array()) {
            fail(key, "expected an array of strings");
            return std::nullopt;
        }
        std::vector<std::string> out;
        for (std::size_t i = 0; i < v->size(); ++i) {
            if (!(*v)[i].is_string()) {
                fail(key + "[" + std::to_string(i) + "]", "expected a string");
                return std::nullopt;
            }
            out.push_back((*v)[i].get<std::string>());
        }
        return out;
    }

    // One of the names in `names`; the default stays when absent.
    template <typename E, std::size_t N>
    void choice(const std::string& key, const std::pair<const char*, E> (&names)[N], E& out) {
        const json* v = find(key);
        if (!v) return;
        for (const auto& [name, value] : names) {
            if (v->is_string() && v->get<std::string>() == name) {
                out = value;
                return;
            }
        }
        std::string expected = "expected one of";
        for (std::size_t i = 0; i < N; ++i) expected += std::string(i ? ", \"" : " \"") + names[i].first + "\"";
        fail(key, expected);
    }

    void unknownKeys(const std::set<std::string>& known) {
        for (auto it = object_.begin(); it != object_.end(); ++it) {
            if (!known.count(it.key())) return fail(it.key(), "unknown field");
        }
    }

private:
    const json& object_;
    std::string path_;
    std::string& error_;
};

void readExtraOptions(const json& list, const std::string& path, std::vector<ExtraOption>& out,
                      std::string& error) {
    if (!list.is_array()) {
        error = path + ": expected an array of {\"type\": N, \"hex\": \"...\"}";
        return;
    }
    for (std::size_t i = 0; i < list.size() && error.empty(); ++i) {
        std::string itemPath = path + "[" + std::to_string(i) + "]";
        if (!list[i].is_object()) {
            error = itemPath + ": expected an object";
            return;
        }
        FieldReader r(list[i], itemPath, error);
        r.unknownKeys({"type", "hex", "length"});
        ExtraOption option;
        auto type = r.integer("type", 0, 255);
        if (!r.failed() && !type) r.fail("type", "missing");
        if (type) option.type = static_cast<std::uint8_t>(*type);
        std::string hex;
        r.text("hex", hex);
        auto value = parseHex(hex);
        if (!value) r.fail("hex", "expected an even number of hexadecimal digits");
        if (value && value->size() > 0xFFFF) r.fail("hex", "value longer than 65535 bytes");
        if (value) option.value = std::move(*value);
        if (auto length = r.integer("length", 0, 0xFFFF)) {
            option.declaredLength = static_cast<std::uint16_t>(*length);
        }
        out.push_back(std::move(option));
    }
}

// The keys that shape the camera's mDNS answer.
void readMdns(FieldReader& r, Camera& cam) {
    r.flag("mdns", cam.mdns);
    r.optionalText("instance", cam.instance);
    if (cam.instance && (cam.instance->empty() || cam.instance->size() > kMaxLabel)) {
        r.fail("instance", "expected 1 to 63 bytes (one DNS label)");
    }

    if (auto order = r.texts("mdnsOrder")) {
        if (order->size() > kMaxMdnsRecords) r.fail("mdnsOrder", "more than 32 records");
        cam.mdnsOrder.clear();
        for (std::size_t i = 0; i < order->size(); ++i) {
            const std::string& name = (*order)[i];
            auto it = std::find_if(std::begin(kMdnsRecordNames), std::end(kMdnsRecordNames),
                                   [&](const auto& known) { return name == known.first; });
            if (it == std::end(kMdnsRecordNames)) {
                r.fail("mdnsOrder[" + std::to_string(i) + "]",
                       "expected \"srv\", \"txt\", \"a\", \"aaaa\" or \"nsec\"");
                break;
            }
            cam.mdnsOrder.push_back(it->second);
        }
    }

    std::string section = "additional";
    r.text("mdnsSection", section);
    if (section == "additional") cam.mdnsSection = MdnsSection::Additional;
    else if (section == "answer") cam.mdnsSection = MdnsSection::Answer;
    else r.fail("mdnsSection", "expected \"additional\" or \"answer\"");

    r.flag("mdnsCompression", cam.mdnsCompression);
    cam.txt = r.texts("txt");
    for (std::size_t i = 0; cam.txt && i < cam.txt->size(); ++i) {
        if ((*cam.txt)[i].size() > kMaxTxtString) r.fail("txt[" + std::to_string(i) + "]", "longer than 255 bytes");
    }
    if (auto delay = r.integer("mdnsDelayMs", 0, 500)) cam.mdnsDelayMs = static_cast<unsigned>(*delay);
}

// An object of text to text, such as the OID table.
void readTextMap(FieldReader& r, const std::string& key, std::map<std::string, std::string>& out) {
    const json* v = r.find(key);
    if (!v) return;
    if (!v->is_object()) return r.fail(key, "expected an object of OID text to text");
    for (auto it = v->begin(); it != v->end(); ++it) {
        if (!it->is_string()) return r.fail(key + "." + it.key(), "expected a string");
        out[it.key()] = it->get<std::string>();
    }
}

// The keys of the OID service and of the broadcast assignment.
void readZorvo(FieldReader& r, Camera& cam) {
    r.text("password", cam.password);
    r.flag("zorvo", cam.zorvo);
    if (auto version = r.integer("zorvoVersion", INT32_MIN, INT32_MAX)) {
        cam.zorvoVersion = static_cast<std::int32_t>(*version);
    }
    r.choice("zorvoFault", kZorvoFaultNames, cam.zorvoFault);

    readTextMap(r, "oids", cam.oids);
    if (r.failed()) return;
    // The camera name is OID 2.4 unless the table says otherwise.
    cam.oids.emplace("2.4", cam.name);

    r.choice("assignReply", kAssignReplyNames, cam.assignReply);
    if (auto wrongIds = r.integer("assignWrongIds", 0, 255)) cam.assignWrongIds = static_cast<unsigned>(*wrongIds);
    if (auto delay = r.integer("assignDelayMs", 0, 60000)) cam.assignDelayMs = static_cast<unsigned>(*delay);
}

void readHttp(FieldReader& r, Camera& cam) {
    r.flag("http", cam.http);
    r.choice("httpAuth", kHttpAuthNames, cam.httpAuth);
    r.choice("httpFault", kHttpFaultNames, cam.httpFault);
    readTextMap(r, "httpLists", cam.httpLists);
}

void readCamera(const json& entry, const std::string& path, Camera& cam, std::string& error) {
    if (!entry.is_object()) {
        error = path + ": expected an object";
        return;
    }
    FieldReader r(entry, path, error);
    r.unknownKeys(kCameraKeys);

    const json* hw = r.find("hwAddr");
    auto hwAddr = (hw && hw->is_string()) ? parseHwAddr(hw->get<std::string>()) : std::nullopt;
    if (!hw) r.fail("hwAddr", "missing (every camera needs a hardware address)");
    else if (!hwAddr) r.fail("hwAddr", "expected six two-digit hexadecimal pairs joined by colons");
    else cam.hwAddr = *hwAddr;

    r.text("name", cam.name);
    r.ipv4("ip", cam.ip);
    r.ipv4("subnet", cam.subnet);
    r.ipv4("gateway", cam.gateway);
    r.text("productName", cam.productName);
    r.optionalText("productCode", cam.productCode);
    if (auto dhcp = r.integer("dhcp", 0, 255)) cam.dhcp = static_cast<std::uint8_t>(*dhcp);
    if (auto port = r.integer("httpPort", 0, 0xFFFF)) cam.httpPort = static_cast<std::uint16_t>(*port);

    std::string answer = "range";
    r.text("answer", answer);
    if (answer == "range") cam.answer = AnswerMode::Range;
    else if (answer == "every") cam.answer = AnswerMode::Every;
    else r.fail("answer", "expected \"range\" or \"every\"");

    if (const json* extras = r.find("extraOptions"); extras && !r.failed()) {
        readExtraOptions(*extras, path + ".extraOptions", cam.extraOptions, error);
    }
    r.flag("noEndMarker", cam.noEndMarker);

    r.flag("drovik", cam.drovik);
    readMdns(r, cam);
    readZorvo(r, cam);
    readHttp(r, cam);

    std::string rawHex;
    if (r.find("rawReplyHex")) {
        r.text("rawReplyHex", rawHex);
        auto raw = parseHex(rawHex);
        if (!raw) r.fail("rawReplyHex", "expected an even number of hexadecimal digits");
        else cam.rawReply = std::move(*raw);
    }
}

}  // namespace

CameraConfig parseCameraConfig(std::string_view jsonText) {
    CameraConfig config;
    json root;
    try {
        root = json::parse(jsonText);
    } catch (const json::exception& e) {
        config.error = std::string("not valid JSON: ") + e.what();
        return config;
    }
    if (!root.is_object()) {
        config.error = "expected a JSON object with a \"cameras\" array";
        return config;
    }
    for (auto it = root.begin(); it != root.end(); ++it) {
        if (it.key() != "cameras") {
            config.error = it.key() + ": unknown field";
            return config;
        }
    }
    auto cameras = root.find("cameras");
    if (cameras == root.end() || !cameras->is_array()) {
        config.error = "cameras: expected an array";
        return config;
    }
    for (std::size_t i = 0; i < cameras->size(); ++i) {
        Camera cam;
        readCamera((*cameras)[i], "cameras[" + std::to_string(i) + "]", cam, config.error);
        if (!config.ok()) {
            config.cameras.clear();
            return config;
        }
        config.cameras.push_back(std::move(cam));
    }
    return config;
}

CameraConfig loadCameraConfigFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad()) {
        CameraConfig config;
        config.error = "cannot read the file";
        return config;
    }
    return parseCameraConfig(text.str());
}

}  // namespace camsim
