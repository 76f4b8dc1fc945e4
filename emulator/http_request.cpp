#include "http_request.h"

#include "camera_config.h"

#include <cctype>

namespace camsim::http {

std::string PercentDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size() && std::isxdigit(static_cast<unsigned char>(text[i + 1])) &&
            std::isxdigit(static_cast<unsigned char>(text[i + 2]))) {
            out.push_back(static_cast<char>(std::stoi(std::string(text.substr(i + 1, 2)), nullptr, 16)));
            i += 2;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

Target ParseTarget(std::string_view rawTarget) {
    const std::size_t mark = rawTarget.find('?');
    const std::string path = PercentDecode(rawTarget.substr(0, mark));
    const std::string_view query = mark == std::string_view::npos ? "" : rawTarget.substr(mark + 1);

    Target target;
    if (path == "/get.oid") {
        target.page = Page::GetOid;
        target.oid = PercentDecode(query);
    } else if (path == "/set.oid") {
        target.page = Page::SetOid;
        target.query = query;
    } else {
        constexpr std::string_view kListHead = "/DPARSE_$O(";
        constexpr std::string_view kListTail = ",L).cmd";
        if (path.size() > kListHead.size() + kListTail.size() && path.starts_with(kListHead) &&
            path.ends_with(kListTail)) {
            target.page = Page::List;
            target.oid = path.substr(kListHead.size(), path.size() - kListHead.size() - kListTail.size());
        }
    }
    return target;
}

std::vector<OidWrite> ParseSetQuery(std::string_view query) {
    std::vector<OidWrite> writes;
    while (!query.empty()) {
        const std::size_t end = query.find('&');
        const std::string_view argument = query.substr(0, end);
        query = end == std::string_view::npos ? "" : query.substr(end + 1);

        const std::size_t equals = argument.find('=');
        const std::string key = PercentDecode(argument.substr(0, equals));
        if (key.size() <= 5 || !(key.starts_with("OidTB") || key.starts_with("OidTR"))) continue;
        const std::string_view value = equals == std::string_view::npos ? "" : argument.substr(equals + 1);
        writes.push_back({key.substr(5), PercentDecode(value)});
    }
    return writes;
}

void ApplyOidWrite(Camera& cam, const OidWrite& write) {
    cam.oids[write.oid] = write.value;
    if (write.oid == "2.4") cam.name = write.value;
    // A text that is no address leaves the field as it was.
    if (write.oid == "3.6.10") ParseIpv4(write.value, cam.ip);
    if (write.oid == "3.6.1") ParseIpv4(write.value, cam.subnet);
    if (write.oid == "3.6.2") ParseIpv4(write.value, cam.gateway);
    if (write.oid == "4.2" && write.value == "enabled") cam.dhcp = 1;
    if (write.oid == "4.2" && write.value == "disabled") cam.dhcp = 0;
}

}  // namespace camsim::http
