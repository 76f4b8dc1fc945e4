#pragma once
// How long a camera needs after a successful assignment before a scan can
// see it at its new settings. Nothing polls the camera: these are fixed waits,
// shared by the window and the command-line tool.
namespace camera_waits {

constexpr int kRebootMs = 30000;  // the camera restarts at once
constexpr int kSettleMs = 8000;   // it takes the settings without restarting

}  // namespace camera_waits
