#pragma once
// Captures trace lines for the life of the object.
#include <mutex>
#include <string>
#include <vector>

#include "trace_sink.h"

class TraceCapture {
public:
    TraceCapture() {
        platform::SetTraceSink([this](std::string_view line) {
            std::lock_guard<std::mutex> lock(mutex_);
            lines_.emplace_back(line);
        });
    }
    ~TraceCapture() { platform::SetTraceSink({}); }

    std::vector<std::string> Lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    bool Contains(const std::string& part) const {
        for (const std::string& line : Lines())
            if (line.find(part) != std::string::npos) return true;
        return false;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};
