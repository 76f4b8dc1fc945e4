#pragma once
// The main window: the camera grid, the scan command and sorting.
#include <QWidget>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

#include "camera_commands.h"
#include "camera_text.h"
#include "scanner.h"

class QLabel;
class QPushButton;
class QTableWidget;
class QTimer;
class TAdvDlg;
class TAssignDlg;

class TForm1 : public QWidget {
    Q_OBJECT

public:
    using ScannerFactory = std::function<std::unique_ptr<CScanner>()>;

    // `makeScanner` gives the window its scanner; by default one that scans the network.
    explicit TForm1(ScannerFactory makeScanner = {}, QWidget* parent = nullptr);
    ~TForm1() override;

    void RunScan();
    void ShowWait(const QString& text);
    void HideWait();
    void FillGrid();
    // Appends a camera accepted by the scan under way as the grid's last row.
    void AppendRow(const CameraRecord& record);
    void UpdateButtons();

    // The selected grid row: 0 for none, 1 to count for a camera row.
    int SelectedRow() const;
    // Row-to-record rule: copies the selected camera's record; false when no camera is selected.
    bool SelectedRecord(CameraRecord& copy) const;

    // Index of the selected camera's record; -1 when no camera is selected.
    int SelectedIndex() const;

    // The camera commands' buttons and double-click.
    void ButtonEditClick();
    void ButtonAdvClick();
    void ButtonOpenClick();
    void StringGrid1DblClick();

    // The camera commands' fixed waits. Only tests shorten them.
    CommandWaits waits;

    std::unique_ptr<CScanner> scanner;
    bool ascending = true;

    // The camera commands' dialogs, made by the entry right after the window
    // and owned by it; hidden until a command shows one of them.
    TAssignDlg* AssignDlg = nullptr;
    TAdvDlg* AdvDlg = nullptr;

    QLabel* LabelCamFound;
    QLabel* LabelScanNote;  // what the last scan has to tell besides its list
    QTableWidget* StringGrid1;
    QPushButton* ButtonEdit;
    QPushButton* ButtonOpen;
    QPushButton* ButtonRescan;
    QPushButton* ButtonAdv;
    QLabel* LabelPleaseWait;
    QTimer* Timer1;

    // Runs one command of the window unless another is under way: a wait
    // inside a command still delivers timer ticks and queued calls, and two
    // commands must never share the scanner. False when refused.
    bool RunCommand(const std::function<void()>& command);

    void FormCreate();
    void FormDestroy();
    void Timer1Timer();
    void ButtonRescanClick();
    void StringGrid1Click();
    // A mouse button released at `pos` (grid coordinates).
    void StringGrid1MouseUp(Qt::MouseButton button, const QPoint& pos);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Refocus();
    // A button's command for the selected camera's record, or the select-first box.
    void RunOnSelected(const std::function<void(int index)>& command);
    // Grid cell under `pos`: row 0 is the heading row; -1 when outside every cell.
    void CellAt(const QPoint& pos, int& row, int& column) const;
    ScannerFactory makeScanner;
    CameraCommands commands;
    bool commandRunning = false;
    bool scanning = false;         // rows may be appended as cameras answer
    bool startupScanOwed = false;  // the timer ticked during a command that ran no scan after it
    bool portBoxShown = false;     // the unusable reply port is told once a program start
    // The last scan's notes: the port in a box, the rest in LabelScanNote.
    void ShowScanNotes();
};
