#pragma once
// A discovery that finds the cameras a test sets, optionally held open until
// the test lets it finish: the window cannot tell it from the network.
#include <arpa/inet.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "scanner.h"

inline CameraRecord MakeCamera(const char* name, const char* type, const char* hw, const char* ip) {
    CameraRecord r{};
    std::strncpy(r.name, name, sizeof r.name - 1);
    std::strncpy(r.productName, type, sizeof r.productName - 1);
    std::strncpy(r.hwAddrText, hw, sizeof r.hwAddrText - 1);
    std::strncpy(r.ipAddrText, ip, sizeof r.ipAddrText - 1);
    inet_pton(AF_INET, ip, &r.ipAddr);
    r.foundByDrovik = 1;
    r.httpPort = 80;
    FormWebAddr(r);
    return r;
}

class ScriptedDiscovery {
public:
    std::vector<CameraRecord> cameras;
    ScanOutcome outcome;  // what each scan tells besides its list
    int scans = 0;       // read on the window's thread after a scan
    int mostAtOnce = 0;  // the most scans that were in the discovery at one time

    // Later scans wait in the discovery until Release().
    void Hold() {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = true;
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        held_ = false;
        changed_.notify_all();
    }

    std::unique_ptr<CScanner> MakeScanner() {
        return std::make_unique<CScanner>([this](CameraRecord* table, int room, ScanOutcome& told) {
            std::unique_lock<std::mutex> lock(mutex_);
            mostAtOnce = std::max(mostAtOnce, ++running_);
            changed_.wait(lock, [this] { return !held_; });
            --running_;
            ++scans;
            int n = 0;
            for (; n < room && n < static_cast<int>(cameras.size()); ++n) table[n] = cameras[n];
            told = outcome;
            return n;
        });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    int running_ = 0;
};
