#pragma once
// What every camera of the maker is: its factory credentials, the OIDs the
// programs write by name, and which product codes offer which settings.
#include <cstdint>

namespace camera_model {

// The user and password every camera takes for settings and assignments.
inline constexpr char kUser[] = "root";
inline constexpr char kPassword[] = "qivnep";
// The same as a URL's user information.
inline constexpr char kUrlUserInfo[] = "root:qivnep@";

// OIDs, as the cameras name them.
inline constexpr char kOidName[] = "2.4";
inline constexpr char kOidTimezone[] = "2.17";
inline constexpr char kOidAnalogOutput[] = "1.2.29.4";

// Model rules on the product code.
inline bool OffersAnalogOutput(int32_t productCode) {
    return productCode == 0x3B || productCode == 0x3C || productCode == 0x4D;
}
inline bool OffersTimezone(int32_t productCode) { return (productCode & 0x50) != 0x50 && productCode != 0x6A; }

}  // namespace camera_model
