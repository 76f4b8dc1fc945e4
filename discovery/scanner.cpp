#include "scanner.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>

#include "debug_trace.h"
#include "drovik.h"
#include "mdns.h"
#include "camera_port_turn.h"

namespace {

// Indexed by AssignResult, kAssignSuccess to kAssignReceiveError.
const char* const kResultTexts[] = {
    "Success",          "Bad Packet ID", "Incorrect Response Code", "Assignment Failure",
    "Invalid Password", "Send Error",    "Receive Error",
};

// Byte-wise unsigned comparison up to the first NUL: no locale, no case folding.
int CompareText(const char* a, const char* b, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) {
        const unsigned char x = a[i], y = b[i];
        if (x != y) return x < y ? -1 : 1;
        if (x == 0) return 0;
    }
    return 0;
}

}  // namespace

int CompareRecords(const CameraRecord& a, const CameraRecord& b, uint8_t sortMode) {
    switch (sortMode) {
    case CScanner::kByName: return CompareText(a.name, b.name, sizeof a.name);
    case CScanner::kByProductName: return CompareText(a.productName, b.productName, sizeof a.productName);
    case CScanner::kByHwAddrText: return CompareText(a.hwAddrText, b.hwAddrText, sizeof a.hwAddrText);
    default: {  // kByIpAddr
        // ipAddr is in network order: comparing its bytes first to last is numeric order.
        return std::memcmp(&a.ipAddr, &b.ipAddr, sizeof a.ipAddr);
    }
    }
}

CScanner::CScanner()
    : drovik(std::make_unique<CDrovik>()),
      mdns(std::make_unique<CMdns>()),
      table(std::make_unique_for_overwrite<CameraRecord[]>(kCapacity)) {}

CScanner::CScanner(Discovery discovery)
    : CScanner(DiscoveryWithOutcome([discovery = std::move(discovery)](CameraRecord* table, int room, ScanOutcome&) {
          return discovery(table, room);
      })) {}

CScanner::CScanner(DiscoveryWithOutcome discovery)
    : replacement(std::move(discovery)), table(std::make_unique_for_overwrite<CameraRecord[]>(kCapacity)) {}

CScanner::~CScanner() = default;

void CScanner::Scan(const WorkerRunner& runWorker) {
    const std::function<void()> work = [this] { ScanWork(); };
    if (runWorker) {
        runWorker(work);
        return;
    }
    std::thread worker(work);
    worker.join();
}

void CScanner::ScanWork() {
    count = 0;
    outcome = ScanOutcome();
    if (replacement) {
        const int n = replacement(table.get(), kCapacity, outcome);
        count = n < 0 ? 0 : (n > kCapacity ? kCapacity : n);
        if (onRecord)
            for (int i = 0; i < count; ++i) onRecord(table[i]);
        NoteConflicts();
        return;
    }
    // Other scans and assignments on this PC take turns with this one on the reply port.
    bool waited = false;
    const platform::CameraPortTurn turn(kTurnBound, [&waited](pid_t holder) {
        waited = true;
        DebugTrace("Scan: waiting for its turn: process %d is scanning or assigning on this PC",
                   static_cast<int>(holder));
    });
    if (turn.Held() && waited)
        DebugTrace("Scan: turn taken after %lld ms", static_cast<long long>(turn.Waited().count()));
    else if (!turn.Held())
        DebugTrace("Scan: no turn (%s); scanning beside the other program", std::strerror(turn.Error()));
    // Both discoveries run at once: multicast DNS cameras show from their first
    // answer, and the scan ends when the later one does. Records reach onRecord
    // one at a time, whichever discovery heard them.
    std::mutex heard;
    RecordSink accepted;
    if (onRecord)
        accepted = [this, &heard](const CameraRecord& record) {
            const std::lock_guard<std::mutex> lock(heard);
            onRecord(record);
        };
    auto answered = std::make_unique_for_overwrite<CameraRecord[]>(kCapacity);
    int m = 0;
    int mdnsNotListed = 0;
    std::thread multicast([&] { m = mdns->Discover(answered.get(), kCapacity, accepted, &mdnsNotListed); });
    const int n = drovik->Discover(table.get(), accepted, &outcome);
    multicast.join();
    // Multicast DNS answers go after the broadcast ones, in the room left.
    const int kept = std::min(m, kCapacity - n);
    std::copy(answered.get(), answered.get() + kept, table.get() + n);
    count = n + kept;
    outcome.notListed += mdnsNotListed + (m - kept);
    NoteConflicts();
}

void CScanner::NoteConflicts() {
    for (int i = 0; i < count; ++i) {
        if (!table[i].conflict) continue;
        std::array<uint8_t, 6> hw;
        std::memcpy(hw.data(), table[i].hwAddr, 6);
        if (std::find(outcome.conflicts.begin(), outcome.conflicts.end(), hw) == outcome.conflicts.end())
            outcome.conflicts.push_back(hw);
    }
}

void CScanner::Sort() {
    const uint8_t mode = sortMode;
    std::sort(table.get(), table.get() + count,
              [mode](const CameraRecord& a, const CameraRecord& b) { return CompareRecords(a, b, mode) < 0; });
}

const char* CScanner::ResultText(uint8_t code) {
    if (code == kAssignConflictRefused) return "Two devices answer with this hardware address: assignment refused";
    return code < std::size(kResultTexts) ? kResultTexts[code] : "";
}
