#include "provision_report.h"

#include <iostream>
#include <nlohmann/json.hpp>

void PrintOutcomes(const std::vector<RowOutcome>& outcomes, bool json) {
    if (json) {
        nlohmann::json list = nlohmann::json::array();
        for (const RowOutcome& o : outcomes)
            list.push_back({{"hwAddrText", o.hwAddrText},
                            {"planned", o.planned},
                            {"result", o.result},
                            {"code", o.code},
                            {"verified", o.verified}});
        std::cout << list.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
    } else {
        std::cout << "Hardware Address\tPlanned Address\tResult\n";
        for (const RowOutcome& o : outcomes) std::cout << o.hwAddrText << '\t' << o.planned << '\t' << o.result << '\n';
    }
    std::cout.flush();
}
