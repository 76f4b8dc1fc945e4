#pragma once
// The main window's commands on one camera: Assign IP, Edit and Web Page, with
// the settings access behind Edit. The window calls them; they reach back
// only through the three calls of `Window`, so they never include it.
#include <QString>
#include <cstddef>
#include <functional>
#include <string>

#include "camera_record.h"
#include "camera_settings.h"
#include "camera_waits.h"

class CScanner;
class QComboBox;
class QWidget;
class TAdvDlg;
class TAssignDlg;

// The commands' fixed waits. Only tests shorten them.
struct CommandWaits {
    int rebootMs = camera_waits::kRebootMs;  // after an assignment that restarts the camera
    int settleMs = camera_waits::kSettleMs;  // after one that does not
    int routePauseMs = 1000;                 // after adding a host route, before the browser
};

class CameraCommands {
public:
    // What the commands ask of the window.
    struct Window {
        QWidget* parent = nullptr;  // of every message box
        std::function<void()> rescan;
        std::function<void(const QString&)> showWait;
        std::function<void()> hideWait;
    };

    CameraCommands(Window window, const CommandWaits& waits) : window(std::move(window)), waits(waits) {}

    // Each works on its own copy of record `index` and ends with a fresh scan
    // when the user confirmed the dialog.
    void Assign(CScanner& scanner, int index, TAssignDlg& dlg);
    void Edit(const CameraRecord& record, TAdvDlg& dlg);
    void OpenWebPage(const CameraRecord& record);

private:
    // Settings of the camera the command works on; failures shown in message boxes.
    CCameraSettings Settings();
    bool LoadChoices(QComboBox* box, CCameraSettings::ChoiceList list);

    Window window;
    const CommandWaits& waits;
    char lastError[CCameraSettings::kLastError] = {};
    std::string cameraAddr;
    std::string cameraWebAddr;
};
