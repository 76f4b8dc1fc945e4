#include "provision_report.h"

#include <iostream>
#include <nlohmann/json.hpp>

#include "visible_text.h"

namespace {

nlohmann::json StateToJson(const CameraState& s) {
    return {{"ip", s.ip}, {"subnet", s.subnet}, {"gateway", s.gateway}, {"dhcp", s.dhcp}, {"name", s.name}};
}

}  // namespace

void PrintOutcomes(const std::vector<RowOutcome>& outcomes, bool json) {
    if (json) {
        nlohmann::json list = nlohmann::json::array();
        for (const RowOutcome& o : outcomes)
            list.push_back({{"hwAddrText", o.hwAddrText},
                            {"planned", o.planned},
                            {"result", o.result},
                            {"code", o.code},
                            {"verified", o.verified},
                            {"changed", o.changed},
                            {"before", o.before ? StateToJson(*o.before) : nlohmann::json(nullptr)},
                            {"after", StateToJson(o.after)}});
        std::cout << list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    } else {
        std::cout << "Hardware Address\tPlanned Address\tResult\n";
        // Results carry camera messages: each row stays one visible line.
        using platform::VisibleText;
        for (const RowOutcome& o : outcomes)
            std::cout << VisibleText(o.hwAddrText) << '\t' << VisibleText(o.planned) << '\t' << VisibleText(o.result)
                      << '\n';
    }
    std::cout.flush();
}
