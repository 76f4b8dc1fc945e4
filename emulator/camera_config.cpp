#include "camera_config.h"

#include <arpa/inet.h>

#include <nlohmann/json.hpp>

#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <utility>

namespace camsim {
namespace {

using nlohmann::json;

// The first problem found in a camera entry: the key it concerns and why.
struct Refusal {
    std::string key, why;
};

// Each choice's names, in the order of its enum's values.
const char* const kAnswerModes[] = {"range", "every"};
const char* const kMdnsRecords[] = {"srv", "txt", "a", "aaaa", "nsec"};
const char* const kMdnsSections[] = {"additional", "answer"};
const char* const kZorvoFaults[] = {"none",     "refuseFirst", "refuseAlways", "wrongCommand",
                                    "wrongSeq", "shortRead",   "oversize",     "status2"};
const char* const kAssignReplies[] = {"normal", "silent", "refuse", "status7", "code4"};
const char* const kHttpAuths[] = {"basic", "digest"};
const char* const kHttpFaults[] = {"none",      "unauthorized", "error",       "chunked", "noLength",
                                   "noBody",    "empty",        "slowHeaders", "trickle", "shortBody",
                                   "status500", "status204",    "bare"};

// Anything else is most likely a typo, which would otherwise silently give a
// camera different from the one intended.
const std::set<std::string> kCameraKeys = {
    "name",         "hwAddr",      "ip",        "subnet",      "gateway",        "productName",
    "productCode",  "dhcp",        "httpPort",  "answer",      "drovik",         "mdns",
    "mdnsOrder",    "mdnsSection", "txt",       "mdnsDelayMs", "password",       "zorvo",
    "zorvoVersion", "zorvoFault",  "oids",      "assignReply", "assignWrongIds", "assignDelayMs",
    "http",         "httpAuth",    "httpFault", "httpLists"};

// A key's value; absent and null both mean "keep the default".
const json* Find(const json& entry, const std::string& key) {
    auto it = entry.find(key);
    return it == entry.end() || it->is_null() ? nullptr : &*it;
}

// nlohmann's conversion, its complaint told against the key (and the
// member of an array or object that is not text).
template <typename T>
T As(const json& value, const std::string& key) {
    try {
        return value.get<T>();
    } catch (const json::exception& e) {
        std::string where = key;
        std::size_t i = 0;
        for (auto it = value.begin(); it != value.end() && value.is_structured(); ++it, ++i) {
            if (it->is_string()) continue;
            where += value.is_array() ? "[" + std::to_string(i) + "]" : "." + it.key();
            break;
        }
        const char* what = e.what();
        throw Refusal{where, std::strchr(what, ']') ? std::strchr(what, ']') + 2 : what};
    }
}

template <typename T>
void Read(const json& entry, const std::string& key, T& out) {
    if (const json* v = Find(entry, key)) out = As<T>(*v, key);
}

template <typename T>
void Read(const json& entry, const std::string& key, std::optional<T>& out) {
    if (const json* v = Find(entry, key)) out = As<T>(*v, key);
}

// An integer in [low, high]; nlohmann alone would take true or 80.5 as well.
template <typename T>
void Integer(const json& entry, const std::string& key, std::int64_t low, std::int64_t high, T& out) {
    const json* v = Find(entry, key);
    if (!v) return;
    // Unsigned values above INT64_MAX are out of range for every field.
    if (!v->is_number_integer() || (v->is_number_unsigned() && v->get<std::uint64_t>() > std::uint64_t(high)) ||
        v->get<std::int64_t>() < low || v->get<std::int64_t>() > high) {
        throw Refusal{key, "expected an integer from " + std::to_string(low) + " to " + std::to_string(high)};
    }
    out = static_cast<T>(v->get<std::int64_t>());
}

template <typename E, std::size_t N>
E Named(const std::string& text, const std::string& key, const char* const (&names)[N]) {
    std::string expected = "expected one of";
    for (std::size_t i = 0; i < N; ++i) {
        if (text == names[i]) return static_cast<E>(i);
        expected += std::string(" \"") + names[i] + "\"";
    }
    throw Refusal{key, expected};
}

template <typename E, std::size_t N>
void Choice(const json& entry, const std::string& key, const char* const (&names)[N], E& out) {
    if (const json* v = Find(entry, key)) out = Named<E>(As<std::string>(*v, key), key, names);
}

void Address(const json& entry, const std::string& key, Ipv4& out) {
    if (const json* v = Find(entry, key)) {
        if (!v->is_string() || !ParseIpv4(v->get<std::string>(), out)) {
            throw Refusal{key, "expected a dotted-decimal IPv4 address such as \"10.0.0.1\""};
        }
    }
}

HwAddr HardwareAddress(const json& entry) {
    const json* v = Find(entry, "hwAddr");
    if (!v) throw Refusal{"hwAddr", "missing (every camera needs a hardware address)"};
    HwAddr hw{};
    unsigned byte[6];
    char end;
    const std::string text = v->is_string() ? v->get<std::string>() : "";
    // Exactly "xx:xx:xx:xx:xx:xx".
    if (text.size() != 17 ||
        std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x%c", &byte[0], &byte[1], &byte[2], &byte[3], &byte[4],
                    &byte[5], &end) != 6 ||
        text.find_first_not_of("0123456789abcdefABCDEF:") != std::string::npos) {
        throw Refusal{"hwAddr", "expected six two-digit hexadecimal pairs joined by colons"};
    }
    for (std::size_t i = 0; i < hw.size(); ++i) hw[i] = static_cast<std::uint8_t>(byte[i]);
    return hw;
}

Camera ReadCamera(const json& entry) {
    if (!entry.is_object()) throw Refusal{"", "expected an object"};
    for (const auto& [key, value] : entry.items()) {
        if (!kCameraKeys.count(key)) throw Refusal{key, "unknown field"};
    }
    Camera cam;
    cam.hwAddr = HardwareAddress(entry);
    Read(entry, "name", cam.name);
    Address(entry, "ip", cam.ip);
    Address(entry, "subnet", cam.subnet);
    Address(entry, "gateway", cam.gateway);
    Read(entry, "productName", cam.productName);
    Read(entry, "productCode", cam.productCode);
    Integer(entry, "dhcp", 0, 255, cam.dhcp);
    Integer(entry, "httpPort", 0, 0xFFFF, cam.httpPort);
    Choice(entry, "answer", kAnswerModes, cam.answer);

    Read(entry, "drovik", cam.drovik);
    Read(entry, "mdns", cam.mdns);
    if (const json* order = Find(entry, "mdnsOrder")) {
        cam.mdnsOrder.clear();
        const auto names = As<std::vector<std::string>>(*order, "mdnsOrder");
        for (std::size_t i = 0; i < names.size(); ++i) {
            cam.mdnsOrder.push_back(Named<MdnsRecord>(names[i], "mdnsOrder[" + std::to_string(i) + "]", kMdnsRecords));
        }
    }
    Choice(entry, "mdnsSection", kMdnsSections, cam.mdnsSection);
    Read(entry, "txt", cam.txt);
    Integer(entry, "mdnsDelayMs", 0, 500, cam.mdnsDelayMs);

    Read(entry, "password", cam.password);
    Read(entry, "zorvo", cam.zorvo);
    Integer(entry, "zorvoVersion", INT32_MIN, INT32_MAX, cam.zorvoVersion);
    Choice(entry, "zorvoFault", kZorvoFaults, cam.zorvoFault);
    Read(entry, "oids", cam.oids);
    cam.oids.emplace("2.4", cam.name);  // the camera name is OID 2.4 unless the table says otherwise
    Choice(entry, "assignReply", kAssignReplies, cam.assignReply);
    Integer(entry, "assignWrongIds", 0, 255, cam.assignWrongIds);
    Integer(entry, "assignDelayMs", 0, 60000, cam.assignDelayMs);

    Read(entry, "http", cam.http);
    Choice(entry, "httpAuth", kHttpAuths, cam.httpAuth);
    Choice(entry, "httpFault", kHttpFaults, cam.httpFault);
    Read(entry, "httpLists", cam.httpLists);
    return cam;
}

}  // namespace

bool ParseIpv4(const std::string& text, Ipv4& out) {
    in_addr addr{};
    if (inet_pton(AF_INET, text.c_str(), &addr) != 1) return false;
    std::memcpy(out.data(), &addr.s_addr, out.size());
    return true;
}

CameraConfig ParseCameraConfig(std::string_view jsonText) {
    json root;
    try {
        root = json::parse(jsonText);
    } catch (const json::exception& e) {
        return {{}, std::string("not valid JSON: ") + e.what()};
    }
    if (!root.is_object()) return {{}, "expected a JSON object with a \"cameras\" array"};
    for (const auto& [key, value] : root.items()) {
        if (key != "cameras") return {{}, key + ": unknown field"};
    }
    if (!root.contains("cameras") || !root["cameras"].is_array()) return {{}, "cameras: expected an array"};
    CameraConfig config;
    for (std::size_t i = 0; i < root["cameras"].size(); ++i) {
        try {
            config.cameras.push_back(ReadCamera(root["cameras"][i]));
        } catch (const Refusal& refusal) {
            const std::string key = refusal.key.empty() ? "" : "." + refusal.key;
            return {{}, "cameras[" + std::to_string(i) + "]" + key + ": " + refusal.why};
        }
    }
    return config;
}

CameraConfig LoadCameraConfigFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    if (in) text << in.rdbuf();
    if (!in || in.bad()) return {{}, "cannot read the file"};
    return ParseCameraConfig(text.str());
}

}  // namespace camsim
