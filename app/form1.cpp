#include "form1.h"

#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <cstring>

#include "busy_wait.h"
#include "debug_trace.h"
#include "fonts.h"

namespace {

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text, QRect where, const char* hint) {
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setObjectName(name);
    button->setGeometry(where);
    if (hint) button->setToolTip(QString::fromLatin1(hint));
    return button;
}

constexpr int kColumns = 4;
constexpr int kColumnWidth = 140;

}  // namespace

TForm1::TForm1(ScannerFactory factory, QWidget* parent)
    : QWidget(parent),
      makeScanner(std::move(factory)),
      commands({this, [this] { RunScan(); }, [this](const QString& text) { ShowWait(text); }, [this] { HideWait(); }},
               waits) {
    setObjectName("Form1");
    setWindowTitle("Vantrel Version 2.6");
    setFont(WindowFont());
    setFixedSize(659, 375);
    move(336, 151);

    LabelCamFound = new QLabel("0 cameras found", this);
    LabelCamFound->setObjectName("LabelCamFound");
    LabelCamFound->setFont(PixelFont("Arial", 12, true));
    LabelCamFound->setGeometry(24, 8, 96, 15);

    LabelScanNote = new QLabel(this);
    LabelScanNote->setObjectName("LabelScanNote");
    LabelScanNote->setFont(PixelFont("Arial", 12, true));
    LabelScanNote->setGeometry(160, 8, 474, 15);
    QPalette red = LabelScanNote->palette();
    red.setColor(QPalette::WindowText, Qt::darkRed);
    LabelScanNote->setPalette(red);

    StringGrid1 = new QTableWidget(1, kColumns, this);
    StringGrid1->setObjectName("StringGrid1");
    StringGrid1->setGeometry(24, 32, 610, 281);
    StringGrid1->setFont(PixelFont("Arial", 13, true));
    StringGrid1->setToolTip("double-click to open browser");
    StringGrid1->verticalHeader()->hide();  // no heading column
    StringGrid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    StringGrid1->verticalHeader()->setDefaultSectionSize(22);
    QHeaderView* heading = StringGrid1->horizontalHeader();  // the heading row
    heading->setFont(PixelFont("Arial", 13, true));
    heading->setSectionResizeMode(QHeaderView::Fixed);
    heading->setSectionsMovable(false);
    heading->setSectionsClickable(false);  // heading clicks are handled on release, any button
    heading->setHighlightSections(false);
    heading->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    heading->setFixedHeight(22);
    for (int c = 0; c < kColumns; ++c) StringGrid1->setColumnWidth(c, kColumnWidth);
    StringGrid1->setShowGrid(true);
    StringGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    StringGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    StringGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    StringGrid1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    StringGrid1->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    StringGrid1->setWordWrap(false);
    StringGrid1->horizontalHeader()->viewport()->installEventFilter(this);
    StringGrid1->viewport()->installEventFilter(this);

    ButtonEdit = MakeButton(this, "ButtonEdit", "Assign IP", {24, 326, 80, 27}, "Assign IP address");
    ButtonOpen = MakeButton(this, "ButtonOpen", "Web Page", {200, 326, 81, 27}, nullptr);
    ButtonRescan = MakeButton(this, "ButtonRescan", "Refresh", {554, 326, 80, 27}, "Rescan the network");
    ButtonAdv = MakeButton(this, "ButtonAdv", "Edit", {112, 327, 75, 25}, nullptr);
    setTabOrder(StringGrid1, ButtonEdit);
    setTabOrder(ButtonEdit, ButtonOpen);
    setTabOrder(ButtonOpen, ButtonRescan);
    setTabOrder(ButtonRescan, ButtonAdv);

    LabelPleaseWait = new QLabel(this);
    LabelPleaseWait->setObjectName("LabelPleaseWait");
    LabelPleaseWait->setGeometry(178, 326, 371, 28);
    LabelPleaseWait->setFont(PixelFont("Arial Black", 20, true));
    QPalette black = LabelPleaseWait->palette();
    black.setColor(QPalette::WindowText, Qt::black);
    LabelPleaseWait->setPalette(black);
    LabelPleaseWait->hide();

    Timer1 = new QTimer(this);
    Timer1->setObjectName("Timer1");
    Timer1->setInterval(1000);
    Timer1->setSingleShot(true);

    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    connect(ButtonRescan, &QPushButton::clicked, this, &TForm1::ButtonRescanClick);
    connect(ButtonEdit, &QPushButton::clicked, this, &TForm1::ButtonEditClick);
    connect(ButtonAdv, &QPushButton::clicked, this, &TForm1::ButtonAdvClick);
    connect(ButtonOpen, &QPushButton::clicked, this, &TForm1::ButtonOpenClick);
    connect(StringGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this] { StringGrid1Click(); });

    FormCreate();
    Timer1->start();
}

TForm1::~TForm1() { FormDestroy(); }

void TForm1::FormCreate() {
    ascending = true;
    scanner = makeScanner ? makeScanner() : std::make_unique<CScanner>();
    // Cameras show as they answer: the scan's worker posts each to this thread.
    scanner->onRecord = [this](const CameraRecord& record) {
        QMetaObject::invokeMethod(
            this, [this, record] { AppendRow(record); }, Qt::QueuedConnection);
    };
    StringGrid1->setHorizontalHeaderLabels({"Camera Name", "Type", "Hardware Address", "IP Address"});
    StringGrid1->setCurrentCell(0, 0);  // the empty row stands selected, as row 1 will
    scanner->sortMode = CScanner::kByIpAddr;
}

void TForm1::FormDestroy() { scanner.reset(); }

void TForm1::Timer1Timer() {
    Timer1->stop();
    if (!RunCommand([this] { RunScan(); })) {
        // A scan that ends after this tick makes it moot; otherwise it runs when the command ends.
        DebugTrace("Start-up scan waits for the command under way");
        startupScanOwed = true;
    }
}

void TForm1::ButtonRescanClick() {
    RunCommand([this] { RunScan(); });
}

bool TForm1::RunCommand(const std::function<void()>& command) {
    if (commandRunning) return false;
    commandRunning = true;
    command();
    commandRunning = false;
    if (startupScanOwed) {
        startupScanOwed = false;
        QTimer::singleShot(0, this, [this] { RunCommand([this] { RunScan(); }); });
    }
    return true;
}

void TForm1::StringGrid1Click() { UpdateButtons(); }

void TForm1::ShowWait(const QString& text) {
    ButtonEdit->hide();
    ButtonAdv->hide();
    ButtonOpen->hide();
    ButtonRescan->hide();
    LabelPleaseWait->setText(text);
    LabelPleaseWait->show();
    repaint();
}

void TForm1::HideWait() {
    ButtonEdit->show();
    ButtonAdv->show();
    ButtonOpen->show();
    ButtonRescan->show();
    LabelPleaseWait->hide();
    repaint();
}

void TForm1::RunScan() {
    const QString caption = ButtonRescan->text();
    ShowWait("Scanning.  Please wait...");
    ButtonRescan->setText("Scanning...");
    const int selected = StringGrid1->currentRow();
    StringGrid1->setRowCount(0);
    LabelCamFound->setText("0 cameras found");
    LabelCamFound->adjustSize();
    LabelScanNote->clear();
    repaint();
    scanning = true;
    scanner->Scan(&BusyWait::Run);
    scanning = false;
    startupScanOwed = false;  // this list is newer than any tick that came meanwhile
    HideWait();
    scanner->Sort();
    FillGrid();
    // The list as sorted, with the row that was selected before the scan.
    if (selected >= 0 && selected < scanner->Count()) StringGrid1->setCurrentCell(selected, 0);
    ButtonRescan->setText(caption);
    LabelCamFound->setText(QString("%1 cameras found").arg(scanner->Count()));
    LabelCamFound->adjustSize();  // grows to the right, as the count needs
    ShowScanNotes();
    Refocus();
    UpdateButtons();
}

void TForm1::ShowScanNotes() {
    const ScanOutcome& outcome = scanner->Outcome();
    std::vector<std::string> notes = ScanNotes(outcome);
    if (outcome.portErrno != 0) {
        const QString port = QString::fromStdString(notes.front());
        notes.erase(notes.begin());
        if (!portBoxShown) {
            portBoxShown = true;
            QMessageBox box(QMessageBox::Warning, "Error", port, QMessageBox::Ok, this);
            box.exec();
        }
    }
    QStringList lines;
    for (const std::string& note : notes) lines << QString::fromStdString(note);
    LabelScanNote->setText(lines.join("; "));
    LabelScanNote->setToolTip(lines.join("\n"));
}

void TForm1::FillGrid() {
    const int count = scanner->Count();
    StringGrid1->setRowCount(count);  // the heading row is the grid's own
    for (int i = 0; i < count; ++i) {
        const CameraRecord& r = scanner->RecordAt(ascending ? i : count - 1 - i);
        const char* texts[kColumns] = {r.name, r.productName, r.hwAddrText, r.ipAddrText};
        for (int c = 0; c < kColumns; ++c) {
            QTableWidgetItem* item = StringGrid1->item(i, c);
            if (!item) {
                item = new QTableWidgetItem;
                StringGrid1->setItem(i, c, item);
            }
            item->setText(CameraText(texts[c]));
        }
    }
    // Like the grid it stands for, a non-empty list always has a selected row.
    if (count > 0 && StringGrid1->currentRow() < 0) StringGrid1->setCurrentCell(0, 0);
}

void TForm1::AppendRow(const CameraRecord& record) {
    if (!scanning) return;  // a scan's last word, come after its list
    const int row = StringGrid1->rowCount();
    StringGrid1->setRowCount(row + 1);
    const char* texts[kColumns] = {record.name, record.productName, record.hwAddrText, record.ipAddrText};
    for (int c = 0; c < kColumns; ++c) StringGrid1->setItem(row, c, new QTableWidgetItem(CameraText(texts[c])));
    LabelCamFound->setText(QString("%1 cameras found").arg(row + 1));
    LabelCamFound->adjustSize();
}

int TForm1::SelectedRow() const {
    const int row = StringGrid1->currentRow();
    return row < 0 ? 0 : row + 1;
}

bool TForm1::SelectedRecord(CameraRecord& copy) const {
    const int index = SelectedIndex();
    if (index < 0) return false;
    copy = scanner->RecordAt(index);
    return true;
}

void TForm1::UpdateButtons() {
    CameraRecord selected;
    bool enable = true;
    if (SelectedRecord(selected)) enable = std::strcmp(selected.ipAddrText, "0.0.0.0") != 0;
    ButtonAdv->setEnabled(enable);
    ButtonOpen->setEnabled(enable);
}

void TForm1::CellAt(const QPoint& pos, int& row, int& column) const {
    row = column = -1;
    QHeaderView* heading = StringGrid1->horizontalHeader();
    if (heading->isVisible() && heading->geometry().contains(pos)) {
        const QPoint at = heading->viewport()->mapFrom(StringGrid1, pos);
        column = heading->logicalIndexAt(at);
        if (column >= 0) row = 0;
        return;
    }
    const QPoint at = StringGrid1->viewport()->mapFrom(StringGrid1, pos);
    const QModelIndex index = StringGrid1->indexAt(at);
    if (!index.isValid() || !StringGrid1->viewport()->rect().contains(at)) return;
    row = index.row() + 1;
    column = index.column();
}

void TForm1::StringGrid1MouseUp(Qt::MouseButton, const QPoint& pos) {
    int row, column;
    CellAt(pos, row, column);
    if (row != 0) return;  // a camera row, or outside every cell
    if (scanner->sortMode == column) {
        ascending = !ascending;
    } else {
        scanner->sortMode = static_cast<uint8_t>(column);
        ascending = true;
    }
    scanner->Sort();
    FillGrid();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    // Anywhere in the grid, headings included: the command is for the selected camera.
    if (event->type() == QEvent::MouseButtonDblClick) StringGrid1DblClick();
    if (event->type() == QEvent::MouseButtonRelease) {
        auto* widget = static_cast<QWidget*>(watched);
        auto* mouse = static_cast<QMouseEvent*>(event);
        StringGrid1MouseUp(mouse->button(), widget->mapTo(StringGrid1, mouse->position().toPoint()));
    }
    return QWidget::eventFilter(watched, event);
}
