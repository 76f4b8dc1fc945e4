#pragma once
// The scanner owns the camera table: it runs the discoveries on a worker
// thread, keeps their records in one table and sorts it for display.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>

#include "assign_result.h"
#include "camera_record.h"
#include "record_sink.h"
#include "scan_outcome.h"

class CDrovik;
class CMdns;

class CScanner {
public:
    static constexpr int kCapacity = kCameraLimit;  // the limit of the whole camera list

    // Writes records from `table` on, at most `room` of them; returns their number.
    using Discovery = std::function<int(CameraRecord* table, int room)>;
    // The same, telling the scan's outcome too.
    using DiscoveryWithOutcome = std::function<int(CameraRecord* table, int room, ScanOutcome& outcome)>;
    // Runs `work` on a worker thread and returns when it has ended.
    using WorkerRunner = std::function<void(const std::function<void()>& work)>;

    CScanner();
    // A scanner whose scans run `discovery` instead of the network protocols:
    // for tests and demonstrations without a network.
    explicit CScanner(Discovery discovery);
    explicit CScanner(DiscoveryWithOutcome discovery);
    ~CScanner();
    CScanner(const CScanner&) = delete;
    CScanner& operator=(const CScanner&) = delete;

    // Runs the discoveries on a worker thread; returns when all are done. Does
    // not sort. `runWorker` lets a window keep painting while it waits; by
    // default the calling thread simply joins the worker.
    void Scan(const WorkerRunner& runWorker = {});
    // Sorts the first `count` records ascending by the key of `sortMode`.
    void Sort();
    int Count() const { return count; }
    // Index 0 to count - 1.
    const CameraRecord& RecordAt(int index) const { return table[index]; }
    // What the last scan has to tell besides its records.
    const ScanOutcome& Outcome() const { return outcome; }

    // Sends new IP settings to the camera of record `index` by the protocol
    // that found it; returns an AssignResult. Takes its turn with scans.
    // Defined in config/.
    uint8_t Assign(int index, const char* ipAddr, const char* subnet, const char* gateway, uint8_t dhcp,
                   uint8_t reboot);

    // How long a scan or an assignment waits for another program's turn on
    // the reply port: a scan with every bound hit lasts about 16 s plus 3 s
    // per interface, an assignment up to about 30 s.
    static constexpr std::chrono::milliseconds kTurnBound{35000};

    // Text of an assignment result code (AssignResult).
    static const char* ResultText(uint8_t code);

    // Told of each record as a scan accepts it, on the scan's worker thread
    // and in acceptance order; the table holds the same records when the scan
    // ends. A front end posts them to its own thread.
    RecordSink onRecord;

    // The sort keys; each equals the index of the grid column that shows it.
    enum SortMode : uint8_t { kByName = 0, kByProductName = 1, kByHwAddrText = 2, kByIpAddr = 3 };
    // A SortMode; a front end may set it straight from a column index.
    uint8_t sortMode = kByIpAddr;

private:
    void ScanWork();
    // Lists the hardware addresses of the records marked as conflicting.
    void NoteConflicts();

    std::unique_ptr<CDrovik> drovik;
    std::unique_ptr<CMdns> mdns;
    DiscoveryWithOutcome replacement;
    int count = 0;
    ScanOutcome outcome;
    std::unique_ptr<CameraRecord[]> table;
};

// Orders of the four sort modes; negative, zero or positive like strcmp.
int CompareRecords(const CameraRecord& a, const CameraRecord& b, uint8_t sortMode);
