// The window's side of the camera commands: which camera is selected, and
// the buttons and double-click that start a command on it.
#include <QMessageBox>
#include <QTableWidget>
#include <cstring>

#include "form1.h"

namespace {

void SelectFirst(QWidget* parent) {
    QMessageBox box(QMessageBox::NoIcon, "Error...", "Please select a camera first!", QMessageBox::Ok, parent);
    box.exec();
}

bool NoAddress(const CameraRecord& r) { return std::strcmp(r.ipAddrText, "0.0.0.0") == 0; }

}  // namespace

int TForm1::SelectedIndex() const {
    const int r = SelectedRow();
    const int count = scanner->Count();
    if (r <= 0 || r > count) return -1;
    return ascending ? r - 1 : count - r;
}

void TForm1::Refocus() {
    if (isVisible() && isEnabled()) StringGrid1->setFocus();
}

void TForm1::RunOnSelected(const std::function<void(int index)>& command) {
    RunCommand([this, &command] {
        const int index = SelectedIndex();
        if (index < 0)
            SelectFirst(this);
        else
            command(index);
        Refocus();
    });
}

void TForm1::ButtonEditClick() {
    RunOnSelected([this](int index) { commands.Assign(*scanner, index, *AssignDlg); });
}

void TForm1::ButtonAdvClick() {
    RunOnSelected([this](int index) { commands.Edit(scanner->RecordAt(index), *AdvDlg); });
}

void TForm1::ButtonOpenClick() {
    RunCommand([this] {
        CameraRecord record;
        if (!SelectedRecord(record)) {
            SelectFirst(this);
        } else if (NoAddress(record)) {
            QMessageBox box(QMessageBox::Critical, "Error...",
                            "Cannot open a camera in a browser when IP address is not defined.", QMessageBox::Ok, this);
            box.exec();
        } else {
            commands.OpenWebPage(record);
        }
        Refocus();
    });
}

void TForm1::StringGrid1DblClick() {
    RunCommand([this] {
        const int index = SelectedIndex();
        if (index < 0) return;
        const CameraRecord record = scanner->RecordAt(index);
        if (NoAddress(record))
            commands.Assign(*scanner, index, *AssignDlg);
        else
            commands.OpenWebPage(record);
    });
}
