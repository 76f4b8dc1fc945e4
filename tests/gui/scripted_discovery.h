#pragma once
// A discovery that finds the cameras a test sets, optionally held open until
// the test lets it finish: the window cannot tell it from the network.
#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

#include "camera_records.h"
#include "scanner.h"

class ScriptedDiscovery {
public:
    std::vector<CameraRecord> cameras;
    ScanOutcome outcome;  // what each scan tells besides its list
    int scans = 0;        // read on the window's thread after a scan
    int mostAtOnce = 0;   // the most scans that were in the discovery at one time

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
