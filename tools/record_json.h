#pragma once
// A camera record as the command-line tool prints it.
#include <nlohmann/json.hpp>
#include <string>

#include "discovery/camera_record.h"

nlohmann::json RecordToJson(const CameraRecord& record);

// "Camera Name\tType\tHardware Address\tIP Address" columns of one record.
std::string RecordToRow(const CameraRecord& record);
