#pragma once
// Where trace lines go. By default each line is one datagram to the system
// log (/dev/log) at debug priority, ident "vantrel"; tests install their own
// sink to capture the lines.
#include <functional>
#include <string_view>

namespace platform {

using TraceSink = std::function<void(std::string_view line)>;

// Installs `sink` for every later line; an empty sink restores the system log.
void SetTraceSink(TraceSink sink);

// Hands one finished line to the current sink.
void EmitTrace(std::string_view line);

// Writes `line` as one syslog datagram (user facility, debug priority) to the
// datagram socket at `socketPath`. Never blocks: when nobody reads and the
// queue is full, the line is dropped. Returns true when the datagram was sent.
bool SendSyslogDatagram(const char* socketPath, std::string_view ident, std::string_view line);

}  // namespace platform
