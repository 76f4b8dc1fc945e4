// The window's share, offscreen: how long after the scan accepts a camera its
// row is in the grid (a real scan of emulated cameras in a namespace LAN),
// Sort plus FillGrid of 500 and 5000 records, and the peak resident memory of
// the window with 500 cameras listed by a real scan and with 5000 records.
//   vantrel-bench-window [--runs N] [--out FILE] [lag] [sort] [memory]
// Without figure names it takes them all; lag and memory need root.
#include <QAbstractItemModel>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <mutex>

#include "fonts.h"
#include "form1.h"
#include "vantrel_application.h"
#include "bench_common.h"
#include "adv_dlg.h"
#include "assign_dlg.h"
#include "scripted_discovery.h"

namespace {

using bench::json;
using bench::Spread;
using bench::Text;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

// Figure 2b: from the scan's acceptance of a record (on its worker thread)
// to its row in the grid, through the window's own posting.
json RowLag(int cameras, int runs) {
    bench::CameraLan lan(cameras, 1, bench::Answer::Range);
    if (!lan.Ready()) return nullptr;
    NetnsVisit visit(lan.lan.Namespace("pc"));  // the scan's worker thread starts here
    if (!visit.entered) return nullptr;
    TForm1 form;
    form.Timer1->stop();
    form.show();
    std::mutex mutex;
    std::vector<Clock::time_point> accepted, rows;
    const RecordSink post = form.scanner->onRecord;
    form.scanner->onRecord = [&, post](const CameraRecord& record) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            accepted.push_back(Clock::now());
        }
        post(record);
    };
    // Rows appended during the scan; the list the scan ends with inserts none.
    QObject::connect(form.StringGrid1->model(), &QAbstractItemModel::rowsInserted,
                     [&](const QModelIndex&, int first, int last) {
                         if (!form.LabelPleaseWait->isVisible()) return;
                         for (int r = first; r <= last; ++r) rows.push_back(Clock::now());
                     });
    return bench::Quietly([&] {
        std::vector<double> listed, appended, medianLag, maxLag;
        for (int run = 0; run < runs; ++run) {
            accepted.clear();
            rows.clear();
            form.ButtonRescanClick();
            std::vector<double> lags;
            for (std::size_t i = 0; i < std::min(accepted.size(), rows.size()); ++i)
                lags.push_back(Seconds(accepted[i], rows[i]));
            listed.push_back(form.scanner->Count());
            appended.push_back(static_cast<double>(rows.size()));
            medianLag.push_back(bench::Median(lags));
            maxLag.push_back(lags.empty() ? 0 : *std::max_element(lags.begin(), lags.end()));
        }
        return json{{"listed", listed},
                    {"rowsAppended", appended},
                    {"medianLag", Spread(medianLag)},
                    {"maxLag", Spread(maxLag)}};
    });
}

// `count` records whose name, type and hardware address orders all differ
// from the address order (211 and 97 share no factor with 500 or 5000).
std::vector<CameraRecord> Records(int count) {
    std::vector<CameraRecord> records;
    for (int i = 0; i < count; ++i) {
        const int k = (i * 211) % count, h = (i * 97) % count;
        char name[16], hw[24], ip[16];
        std::snprintf(name, sizeof name, "Cam%04d", k);
        std::snprintf(hw, sizeof hw, "02:e5:a1:00:%02x:%02x", h >> 8, h & 0xff);
        std::snprintf(ip, sizeof ip, "10.0.%d.%d", i / 250, i % 250 + 1);
        records.push_back(MakeCamera(name, k % 3 ? "ZC-100" : "ZD-2", hw, ip));
    }
    return records;
}

// A scanner whose scans list `records`.
std::unique_ptr<CScanner> ListingScanner(const std::vector<CameraRecord>& records) {
    return std::make_unique<CScanner>([&records](CameraRecord* table, int room) {
        const int n = std::min(room, static_cast<int>(records.size()));
        std::copy_n(records.begin(), n, table);
        return n;
    });
}

// Figure 4: Sort plus FillGrid of `count` records, the grid as a scan leaves it
// (rows and cells there, their texts rewritten), an emptied grid (every cell
// made anew), and the first with the window's repaint after it.
std::vector<json> SortFill(int runs, int count) {
    const std::vector<CameraRecord> records = Records(count);
    TForm1 form([&] { return ListingScanner(records); });
    form.Timer1->stop();
    form.show();
    form.ButtonRescanClick();  // the rows appended, then sorted by address
    std::vector<json> figures;
    for (const char* grid : {"filled", "emptied", "filled, then repaint"}) {
        json figure = bench::Quietly([&] {
            std::vector<double> seconds;
            for (int run = 0; run < runs; ++run) {
                form.scanner->sortMode = run % 2 ? 3 : 0;  // name order, then address order: a real sort each time
                if (std::strcmp(grid, "emptied") == 0) form.StringGrid1->setRowCount(0);
                const auto start = Clock::now();
                form.scanner->Sort();
                form.FillGrid();
                if (std::strcmp(grid, "filled, then repaint") == 0) form.repaint();
                seconds.push_back(Seconds(start, Clock::now()));
            }
            return json{{"rows", form.StringGrid1->rowCount()}, {"seconds", Spread(seconds)}};
        });
        figure.update({{"figure", "sortFill"}, {"records", records.size()}, {"grid", grid}});
        figures.push_back(figure);
    }
    return figures;
}

// Inside the pc: the program's window as its entry makes it, until its
// start-up scan listed `cameras`; prints the peak resident memory. With
// `listed` the scans list those records instead of asking the network.
int MemoryChild(int argc, char** argv, int cameras, const std::vector<CameraRecord>* listed = nullptr) {
    VantrelApplication application(argc, argv);
    InstallFontSubstitutes();
    auto form1 =
        listed ? std::make_unique<TForm1>([listed] { return ListingScanner(*listed); }) : std::make_unique<TForm1>();
    form1->AssignDlg = new TAssignDlg(form1.get());
    form1->AdvDlg = new TAdvDlg(form1.get());
    form1->show();
    const QString found = QString("%1 cameras found").arg(cameras);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (form1->LabelCamFound->text() == found && !form1->LabelPleaseWait->isVisible()) application.quit();
    });
    poll.start(20);
    QTimer::singleShot(60000, &application, &QApplication::quit);
    application.exec();
    long peak = 0;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmHWM:")) peak = std::stol(line.substr(6));
    std::cout << json{{"listed", form1->scanner->Count()}, {"maxRssKb", peak}}.dump() << std::endl;
    return 0;
}

// Runs argv to its end, without a shell; its standard output in `out`.
void RunCapture(const std::vector<std::string>& argv, std::string& out) {
    auto process = Start(argv, Launch{});
    if (!process) return;
    process->Wait(std::chrono::minutes(5));
    out = process->Output();
}

// A real scan of `cameras` in a namespace LAN; or, with `records`, that many
// records listed without a network.
json WindowMemory(int cameras, int runs, bool records = false) {
    std::unique_ptr<bench::CameraLan> lan;
    if (!records) {
        lan = std::make_unique<bench::CameraLan>(cameras, 1, bench::Answer::Range);
        if (!lan->Ready()) return nullptr;
    }
    return bench::Quietly([&] {
        std::vector<double> listed, peak;
        for (int run = 0; run < runs; ++run) {
            std::string out;
            const std::string mode = records ? "--memory-child-records" : "--memory-child";
            if (records)
                RunCapture({bench::Self(), mode, std::to_string(cameras)}, out);
            else
                lan->lan.Run("pc", {bench::Self(), mode, std::to_string(cameras)}, &out);
            const json r = json::parse(out, nullptr, false);
            if (r.is_discarded()) continue;
            listed.push_back(r["listed"]);
            peak.push_back(r["maxRssKb"]);
        }
        return json{{"listed", listed}, {"maxRssKb", Spread(peak)}};
    });
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 3 && std::strcmp(argv[1], "--memory-child") == 0) return MemoryChild(argc, argv, std::atoi(argv[2]));
    if (argc == 3 && std::strcmp(argv[1], "--memory-child-records") == 0) {
        const std::vector<CameraRecord> records = Records(std::atoi(argv[2]));
        return MemoryChild(argc, argv, static_cast<int>(records.size()), &records);
    }
    int runs = 5;
    std::string out;
    std::vector<std::string> figures;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc)
            runs = std::stoi(argv[++i]);
        else if (a == "--out" && i + 1 < argc)
            out = argv[++i];
        else if (a == "lag" || a == "sort" || a == "memory")
            figures.push_back(a);
        else {
            std::cerr << "usage: vantrel-bench-window [--runs N] [--out FILE] [lag] [sort] [memory]\n";
            return 2;
        }
    }
    auto wanted = [&](const char* name) {
        return figures.empty() || std::find(figures.begin(), figures.end(), name) != figures.end();
    };
    QApplication application(argc, argv);
    InstallFontSubstitutes();
    bench::Results results(out);
    const std::string noLan = TestLan::Unavailable();
    if (!noLan.empty() && (wanted("lag") || wanted("memory")))
        std::cerr << "no test LAN (" << noLan << "): row lag and memory left out\n";

    if (wanted("lag") && noLan.empty())
        for (int cameras : {1, 500}) {
            json figure = RowLag(cameras, runs);
            if (figure.is_null()) continue;
            figure.update({{"figure", "rowLag"}, {"cameras", cameras}, {"answer", "range"}});
            results.Write(figure);
            std::printf("window, %3d cameras: accepted to row, median of a scan %s ms, greatest of a scan %s ms\n",
                        cameras, Text(figure["medianLag"], 1000, 2).c_str(), Text(figure["maxLag"], 1000, 2).c_str());
            std::fflush(stdout);
        }
    if (wanted("sort"))
        for (int count : {500, CScanner::kCapacity})
            for (json& figure : SortFill(runs, count)) {
                results.Write(figure);
                std::printf("Sort + FillGrid, %d records, grid %s: %s ms\n", count,
                            figure["grid"].get<std::string>().c_str(), Text(figure["seconds"], 1000, 2).c_str());
                std::fflush(stdout);
            }
    if (wanted("memory") && noLan.empty()) {
        json figure = WindowMemory(500, runs);
        if (!figure.is_null()) {
            figure.update({{"figure", "memory"}, {"program", "vantrel (window)"}, {"cameras", 500}});
            results.Write(figure);
            std::printf("window, 500 cameras listed: peak resident memory %s KiB\n",
                        Text(figure["maxRssKb"], 1, 0).c_str());
        }
    }
    if (wanted("memory")) {
        json figure = WindowMemory(CScanner::kCapacity, runs, true);
        figure.update({{"figure", "memory"}, {"program", "vantrel (window)"}, {"records", CScanner::kCapacity}});
        results.Write(figure);
        std::printf("window, %d records listed without a network: peak resident memory %s KiB\n", CScanner::kCapacity,
                    Text(figure["maxRssKb"], 1, 0).c_str());
    }
    return 0;
}
