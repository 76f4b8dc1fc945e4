#include "provision_command.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>

#include "bounded_jobs.h"
#include "broadcast_run.h"
#include "camera_actions.h"
#include "camera_settings.h"
#include "camera_waits.h"
#include "debug_trace.h"
#include "drovik.h"
#include "interrupt_watch.h"
#include "plan_probes.h"
#include "scanner.h"
#include "provision_report.h"
#include "scan_notes.h"
#include "visible_text.h"

namespace {

constexpr int kExitBadPlan = 2;  // refused before anything was sent

// The plan's bytes, read with a bound whatever the file is; false with why not.
bool ReadPlanText(const std::string& path, std::string& text, std::string& error) {
    const bool standardInput = path == "-";
    // Non-blocking: a FIFO's open waits for a writer otherwise.
    const int fd = standardInput ? STDIN_FILENO : open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        error = std::string("cannot be read: ") + std::strerror(errno);
        return false;
    }
    struct stat about {};
    if (!standardInput && fstat(fd, &about) == 0 && !S_ISREG(about.st_mode)) {
        error = S_ISDIR(about.st_mode) ? std::string("cannot be read: ") + std::strerror(EISDIR)
                                       : "is not a regular file (give - to read standard input)";
        close(fd);
        return false;
    }
    text.resize(kMaxPlanBytes + 1);
    std::size_t got = 0;
    while (got < text.size()) {
        const ssize_t n = read(fd, text.data() + got, text.size() - got);
        if (n > 0) {
            got += static_cast<std::size_t>(n);
        } else if (n == 0) {
            break;
        } else if (errno == EAGAIN) {
            pollfd wait{fd, POLLIN, 0};
            poll(&wait, 1, -1);
        } else if (errno != EINTR) {
            error = std::string("cannot be read: ") + std::strerror(errno);
            break;
        }
    }
    if (!standardInput) close(fd);
    text.resize(got);
    if (error.empty() && got > kMaxPlanBytes)
        error = "is larger than 4 MiB (" + std::to_string(kMaxPlanBytes) + " bytes), the most a plan may hold";
    return error.empty();
}

void PrintFaults(const std::string& planName, const PlanFaults& faults) {
    for (const PlanFault& fault : faults.listed)
        std::cerr << planName << ":" << fault.line << ": " << fault.text << '\n';
    if (faults.more > 0) std::cerr << planName << ": … and " << faults.more << " more\n";
    std::cerr.flush();
}

// HTTP assignments and name writes to this many cameras at once.
constexpr std::size_t kOverlap = 16;

enum class Stage {
    Settled,   // the outcome is final
    Assigned,  // new address sent: seen (and named, unless it was already) after the wait
    Named,     // the name written, at an address the camera keeps: the next scan tells
};

struct RowRun {
    const PlanRow* row;
    RowOutcome out;
    Stage stage = Stage::Settled;
    bool begun = false;       // something was done or decided for it: it is reported
    bool namedFirst = false;  // its name went to the address it had, before its move
};

bool SameHw(const CameraRecord& r, const PlanRow& row) { return std::memcmp(r.hwAddr, row.hwAddr, 6) == 0; }

// The row's camera: the record its `via` names, else the broadcast one.
int FindCamera(const CScanner& scanner, const PlanRow& row) {
    const camera_actions::Via via = row.via.empty()       ? camera_actions::Via::Any
                                    : row.via == "drovik" ? camera_actions::Via::Drovik
                                                          : camera_actions::Via::Mdns;
    return camera_actions::FindCamera(scanner, row.hwAddr, via);
}

// The camera's record at its planned address in the last scan, or null.
const CameraRecord* SeenAtPlan(const CScanner& scanner, const PlanRow& row) {
    for (int i = 0; i < scanner.Count(); ++i)
        if (SameHw(scanner.RecordAt(i), row) && AtPlannedAddress(scanner.RecordAt(i), row)) return &scanner.RecordAt(i);
    return nullptr;
}

// Writes the camera name at the record's address; empty on success, else why not.
std::string WriteName(const CameraRecord& camera, const std::string& name) {
    char lastError[CCameraSettings::kLastError] = {};
    std::string message;
    CCameraSettings settings(lastError, camera.ipAddrText, camera.webAddr, [&](const char* text, const char*, bool) {
        if (message.empty()) message = text;
    });
    if (settings.SetCameraOid(camera_model::kOidName, name.c_str())) return {};
    return message.empty() ? "the camera did not take it" : message;
}

// The camera as the scan lists it; record texts are Latin-1, JSON's UTF-8.
CameraState StateOf(const CameraRecord& camera) {
    using platform::Latin1ToUtf8;
    return {Latin1ToUtf8(camera.ipAddrText), Latin1ToUtf8(camera.subnetText), Latin1ToUtf8(camera.gatewayText),
            camera.dhcp != 0, Latin1ToUtf8(camera.name)};
}

// What the row leaves its camera with: what it has where the plan keeps it.
CameraState StateAfter(const PlanRow& row, const CameraRecord* camera) {
    CameraState after = camera ? StateOf(*camera) : CameraState{};
    if (!camera || !AtPlannedAddress(*camera, row))
        after = row.dhcp ? CameraState{"", "", "", true, after.name}
                         : CameraState{row.ip, row.subnet, row.gateway, false, after.name};
    if (!row.name.empty() && (!camera || NameDue(*camera, row))) after.name = row.name;
    return after;
}

class Provisioning {
public:
    Provisioning(const std::string& planName, const std::vector<PlanRow>& rows, const ProvisionOptions& options)
        : planName(planName), rows(rows), options(options) {}

    int Run() {
        scanner.Scan();
        PrintScanNotes(scanner);
        // What can be judged only against the cameras found, for every row before anything is sent.
        std::vector<const CameraRecord*> cameras;
        for (const PlanRow& row : rows) {
            const int index = FindCamera(scanner, row);
            cameras.push_back(index < 0 ? nullptr : &scanner.RecordAt(index));
        }
        if (const PlanFaults faults = CheckAgainstScan(rows, cameras); !faults.empty()) {
            PrintFaults(planName, faults);
            return kExitBadPlan;
        }
        probes = ProbePlan(rows, cameras);
        runs.reserve(rows.size());  // the jobs hold on to their rows
        for (std::size_t i = 0; i < rows.size(); ++i) {
            RowOutcome out;
            out.hwAddrText = rows[i].hwAddrText;
            out.planned = rows[i].dhcp ? "dhcp" : rows[i].ip;
            if (cameras[i]) out.before = StateOf(*cameras[i]);
            out.after = StateAfter(rows[i], cameras[i]);
            runs.push_back({&rows[i], out});
        }
        // A signal is taken at each step's end: nothing after it is sent.
        if (!options.dryRun) NameBeforeMoves(cameras);
        for (std::size_t i = 0; i < rows.size(); ++i) {
            if (interrupt.Interrupted()) return Finish();
            RunRow(runs[i], i);
        }
        jobs.Drain();
        broadcasts.reset();  // the port and its turn are the scans' again
        if (options.dryRun) return Finish();
        if (assigned) {
            // Nothing to poll: the camera is given the time the window gives it.
            const int waitMs = restarting ? camera_waits::kRebootMs : camera_waits::kSettleMs;
            if (interrupt.WaitFor(std::chrono::milliseconds(waitMs))) return Finish();
            scanner.Scan();
            // Once a signal came, the scan still tells; no name is written.
            for (RowRun& run : runs) {
                if (run.stage == Stage::Named) Verify(run);
                if (run.stage == Stage::Assigned) NameMoved(run, !interrupt.Interrupted());
            }
            jobs.Drain();
        }
        bool named = false;
        for (const RowRun& run : runs) named = named || run.stage == Stage::Named;
        if (named) {
            if (interrupt.Interrupted()) return Finish();
            scanner.Scan();
            // The verification sends nothing: a scan that ended is read to the end.
            for (RowRun& run : runs)
                if (run.stage == Stage::Named) Verify(run);
        }
        return Finish();
    }

private:
    void Settle(RowRun& run, int code, const std::string& result, bool verified = false) {
        run.out.code = code;
        run.out.result = result;
        run.out.verified = verified;
        run.stage = Stage::Settled;
    }

    // Names the cameras about to move at the addresses they have, where they
    // can be reached there, sixteen at a time: then the scan after the wait
    // sees them named and no third scan is needed. A camera that does not take
    // it here is named at its new address, as one that cannot be reached.
    void NameBeforeMoves(const std::vector<const CameraRecord*>& cameras) {
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const PlanRow& row = rows[i];
            if (!cameras[i]) continue;
            const CameraRecord& camera = *cameras[i];
            // Only where the assignment will be sent: nothing goes to a row whose address another device answered for.
            if (AtPlannedAddress(camera, row) || !NameDue(camera, row) ||
                probes[i].value_or(platform::ProbeAnswer{}).answered || camera_actions::AssignRefusal(camera) != 0 ||
                !camera_actions::ReachableWhereItIs(scanner, camera))
                continue;
            RowRun& run = runs[i];
            jobs.Add([this, &run, camera] {
                const std::string failure = WriteName(camera, run.row->name);
                return std::function<void()>([this, &run, failure] {
                    if (!failure.empty()) {
                        DebugTrace("Provision: %s not named before its move: %s", run.out.hwAddrText.c_str(),
                                   platform::VisibleText(failure).c_str());
                        return;
                    }
                    run.begun = run.namedFirst = run.out.changed = true;
                    run.out.result = "named";
                    run.stage = Stage::Named;
                });
            });
        }
        jobs.Drain();
    }

    void RunRow(RowRun& run, std::size_t at) {
        const PlanRow& row = *run.row;
        run.begun = true;
        const int index = FindCamera(scanner, row);
        if (index < 0) return Settle(run, outcome_code::kNotFound, "not found");
        const CameraRecord camera = scanner.RecordAt(index);
        const bool nameDue = NameDue(camera, row) && !run.namedFirst;
        if (AtPlannedAddress(camera, row)) {
            if (!nameDue) return Settle(run, 0, "unchanged", true);
            // The name alone: written now, at the address the camera has, without a wait.
            run.out.changed = options.dryRun;
            if (options.dryRun) return Settle(run, 0, "would name it " + row.name);
            return WriteNameAside(run, camera, "named");
        }
        // As the Assign IP dialog: nothing goes to an address another device answered for.
        if (camera_actions::ProbeDue(camera, row.dhcp, row.ip)) {
            const std::string other = OtherDeviceAt(at, camera);
            if (!other.empty()) return Settle(run, outcome_code::kAddressInUse, "address in use by " + other);
        }
        const std::string path = camera.foundByDrovik ? "broadcast" : "HTTP";
        // Refused before anything is sent: a dry run says so too.
        if (const uint8_t refused = camera_actions::AssignRefusal(camera))
            return Settle(run, refused, CScanner::ResultText(refused));
        run.out.changed = options.dryRun;
        if (options.dryRun)
            return Settle(run, 0, "would assign by " + path + (nameDue ? ", then name it " + row.name : ""));
        const camera_actions::AddressTexts texts =
            camera_actions::AssignmentTexts(camera, row.dhcp, {row.ip, row.subnet, row.gateway});
        const uint8_t dhcp = row.dhcp ? 1 : 0, reboot = options.reboot ? 1 : 0;
        if (!camera.foundByDrovik) {
            // Over HTTP each camera waits on its own: beside the rows that follow.
            return jobs.Add([this, &run, index, texts, dhcp, reboot, path] {
                const uint8_t result =
                    scanner.Assign(index, texts.ip.c_str(), texts.subnet.c_str(), texts.gateway.c_str(), dhcp, reboot);
                return std::function<void()>([this, &run, result, path] { TakeAssignment(run, result, path); });
            });
        }
        if (!broadcasts) broadcasts.emplace(drovik);
        TakeAssignment(
            run,
            broadcasts->Assign(camera, texts.ip.c_str(), texts.subnet.c_str(), texts.gateway.c_str(), dhcp, reboot),
            path);
    }

    void TakeAssignment(RowRun& run, uint8_t result, const std::string& path) {
        if (result != 0) return Settle(run, result, CScanner::ResultText(result));
        run.out.changed = true;
        run.out.result = "assigned by " + path + (run.namedFirst ? ", named" : "");
        run.stage = Stage::Assigned;
        assigned = true;
        restarting = restarting || options.reboot;
    }

    // Writes the row's name beside the rows that follow; `result` is the row's
    // result once it is written ("named", "assigned by broadcast, named").
    void WriteNameAside(RowRun& run, const CameraRecord& camera, const std::string& result) {
        jobs.Add([this, &run, camera, result] {
            const std::string failure = WriteName(camera, run.row->name);
            return std::function<void()>([this, &run, failure, result] {
                if (!failure.empty()) return Settle(run, outcome_code::kNameNotSet, "name not set: " + failure);
                run.out.changed = true;
                run.out.result = result;
                run.stage = Stage::Named;
            });
        });
    }

    // "xx-xx-..." of a device other than `camera` answering at row `at`'s
    // address; empty when none does. The round's answer stands unless a camera
    // this run has moved since gave it: then the address is asked again.
    std::string OtherDeviceAt(std::size_t at, const CameraRecord& camera) {
        platform::ProbeAnswer probe = probes[at].value_or(platform::ProbeAnswer{});
        if (probe.answered) jobs.Drain();  // the assignments sent so far are known
        if (probe.answered && MovedAway(probe.hwAddr)) {
            in_addr address{};
            address.s_addr = inet_addr(rows[at].ip.c_str());
            probe = camera_actions::ProbeNewAddress(address);
        }
        if (!probe.answered || std::memcmp(probe.hwAddr, camera.hwAddr, 6) == 0) return {};
        return camera_actions::HwAddrText(probe.hwAddr, '-');
    }

    bool MovedAway(const uint8_t hwAddr[6]) const {
        for (const RowRun& run : runs)
            if (run.stage == Stage::Assigned && std::memcmp(run.row->hwAddr, hwAddr, 6) == 0) return true;
        return false;
    }

    // After the wait: the camera at its new address gets its name there,
    // unless it may not (the row is left undone).
    void NameMoved(RowRun& run, bool mayWrite) {
        const CameraRecord* seen = SeenAtPlan(scanner, *run.row);
        if (!seen) return Settle(run, outcome_code::kNotSeen, "not seen at its new address");
        if (!NameDue(*seen, *run.row)) return Settle(run, 0, "verified", true);
        if (!mayWrite) return;
        // ", named": what an interrupted run reports; the verification has the last word.
        WriteNameAside(run, *seen, run.out.result + ", named");
    }

    void Verify(RowRun& run) {
        const CameraRecord* seen = SeenAtPlan(scanner, *run.row);
        if (!seen) return Settle(run, outcome_code::kNotSeen, "not seen at its new address");
        if (NameDue(*seen, *run.row)) return Settle(run, outcome_code::kNameNotSeen, "not seen with its new name");
        Settle(run, 0, "verified", true);
    }

    // Rows are left undone only when a signal stopped the run: then its status.
    int Finish() {
        jobs.Drain();  // a row begun ends with what it got
        std::vector<RowOutcome> outcomes;
        bool good = true;
        bool undone = false;
        for (const RowRun& run : runs) {
            undone = undone || !run.begun;
            if (!run.begun) continue;
            outcomes.push_back(run.out);
            good = good && (options.dryRun ? run.out.code == 0 : run.out.verified);
            undone = undone || run.stage != Stage::Settled;
        }
        PrintOutcomes(outcomes, options.json);
        if (undone && interrupt.Interrupted()) return interrupt.ExitStatus();
        return good ? 0 : 1;
    }

    const std::string& planName;
    const std::vector<PlanRow>& rows;
    const ProvisionOptions& options;
    InterruptWatch interrupt;  // before the scanner: its threads inherit the mask
    CScanner scanner;
    std::vector<std::optional<platform::ProbeAnswer>> probes;  // the plan's one round, by row
    CDrovik drovik;                                            // the broadcast assignments'
    std::optional<BroadcastRun> broadcasts;                    // open from the first until the last row
    std::vector<RowRun> runs;
    BoundedJobs jobs{kOverlap};  // after the rows: it ends first
    bool assigned = false;
    bool restarting = false;
};

}  // namespace

int RunProvisionPlan(const std::string& path, const ProvisionOptions& options) {
    const std::string planName = path == "-" ? "stdin" : path;
    std::string text, error;
    if (!ReadPlanText(path, text, error)) {
        std::cerr << planName << ": " << error << std::endl;
        return kExitBadPlan;
    }
    const Plan plan = ParsePlan(text);
    if (!plan.faults.empty()) {
        PrintFaults(planName, plan.faults);
        return kExitBadPlan;
    }
    text = std::string();  // the rows hold what is needed
    Provisioning provisioning(planName, plan.rows, options);
    return provisioning.Run();
}
