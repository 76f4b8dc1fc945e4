#pragma once
// A camera record as the command-line tool prints it.
#include <nlohmann/json.hpp>
#include <string>

#include "camera_record.h"

nlohmann::json RecordToJson(const CameraRecord& record);

// "Camera Name\tType\tHardware Address\tIP Address" columns of one record, each
// text as platform::VisibleText shows it: one camera, one line.
std::string RecordToRow(const CameraRecord& record);

// The columns of `scan --csv`, a provisioning plan's plus type and via.
constexpr const char* kCsvHeading = "hwaddr,ip,subnet,gateway,name,type,via";
// One record in those columns; a camera on DHCP shows "dhcp" and no mask or gateway.
// A cell that starts with = + - @ ' tab or CR gets a leading ' (bytes kept otherwise).
std::string RecordToCsv(const CameraRecord& record);
