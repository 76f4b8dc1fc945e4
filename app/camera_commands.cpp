// The main window's commands on the selected camera: Assign IP, Edit, Web
// Page and the double-click. Each works on its own copy of the record and
// ends with a fresh scan when the user confirmed a dialog.
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QTableWidget>
#include <QUrl>
#include <cstring>
#include <string>

#include "busy_wait.h"
#include "camera_actions.h"
#include "adv_dlg.h"
#include "assign_dlg.h"
#include "form1.h"

namespace {

QMessageBox::StandardButton Ask(QWidget* parent, QMessageBox::Icon icon, const char* caption, const char* text,
                                QMessageBox::StandardButtons buttons = QMessageBox::Ok) {
    QMessageBox box(icon, caption, text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void SelectFirst(QWidget* parent) {
    Ask(parent, QMessageBox::NoIcon, "Error...", "Please select a camera first!");
}

// Only the letters a to z change.
std::string UpperCase(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool NoAddress(const CameraRecord& r) { return std::strcmp(r.ipAddrText, "0.0.0.0") == 0; }

std::string Latin1(const QString& text) { return text.toLatin1().toStdString(); }

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

void TForm1::RunOnSelected(void (TForm1::*command)(int index)) {
    RunCommand([this, command] {
        const int index = SelectedIndex();
        if (index < 0) SelectFirst(this);
        else (this->*command)(index);
        Refocus();
    });
}

void TForm1::ButtonEditClick() { RunOnSelected(&TForm1::AssignCamera); }

void TForm1::ButtonAdvClick() { RunOnSelected(&TForm1::EditCamera); }

void TForm1::ButtonOpenClick() {
    RunCommand([this] {
        CameraRecord record;
        if (!SelectedRecord(record)) {
            SelectFirst(this);
        } else if (NoAddress(record)) {
            Ask(this, QMessageBox::Critical, "Error...",
                "Cannot open a camera in a browser when IP address is not defined.");
        } else {
            OpenWebPage(record);
        }
        Refocus();
    });
}

void TForm1::StringGrid1DblClick() {
    RunCommand([this] {
        const int index = SelectedIndex();
        if (index < 0) return;
        const CameraRecord record = scanner->RecordAt(index);
        if (NoAddress(record)) AssignCamera(index);
        else OpenWebPage(record);
    });
}

CameraRecord TForm1::TakeRecord(int index) {
    const CameraRecord record = scanner->RecordAt(index);
    cameraAddr = record.ipAddrText;
    cameraWebAddr = record.webAddr;
    return record;
}

void TForm1::AssignCamera(int index) {
    const CameraRecord record = TakeRecord(index);

    TAssignDlg& dlg = *AssignDlg;
    dlg.EditIPAddr->setText(CameraText(record.ipAddrText));
    dlg.EditSubnet->setText(CameraText(record.subnetText));
    dlg.EditGateway->setText(CameraText(record.gatewayText));
    if (record.dhcp) dlg.RadioButtonDHCP->setChecked(true);
    else dlg.RadioButtonManual->setChecked(true);
    dlg.LabelSvrType->setText(CameraText(record.productName));
    dlg.LabelHWAddr->setText(CameraText(record.hwAddrText));
    dlg.rebootNeeded = true;
    dlg.CheckBoxDHCPClick();  // leaves rebootNeeded false and the edits enabled as the mode says
    if (dlg.exec() != QDialog::Accepted) return;

    if (dlg.rebootNeeded &&
        Ask(this, QMessageBox::Question, "Reboot Camera?", "The camera will need to be REBOOTED.  Reboot NOW?",
            QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        dlg.rebootNeeded = false;
    }
    const std::string ip = Latin1(dlg.EditIPAddr->text());
    const std::string subnet = Latin1(dlg.EditSubnet->text());
    const std::string gateway = Latin1(dlg.EditGateway->text());
    const uint8_t dhcp = dlg.RadioButtonDHCP->isChecked() ? 1 : 0;
    const uint8_t reboot = dlg.rebootNeeded ? 1 : 0;
    uint8_t result = 0;
    BusyWait::Run(
        [&] { result = scanner->Assign(index, ip.c_str(), subnet.c_str(), gateway.c_str(), dhcp, reboot); });

    if (result != 0) {
        Ask(this, QMessageBox::Critical, "Error", CScanner::ResultText(result));
    } else if (reboot) {
        Ask(this, QMessageBox::NoIcon, "Info",
            "Assignment succeeded.  Press OK then wait for REBOOT to complete (~30s).");
        ShowWait("Rebooting camera.  Please wait...");
        BusyWait::Sleep(waits.rebootMs);
        HideWait();
    } else {
        BusyWait::Sleep(waits.settleMs);  // no message and no busy mode
    }
    RunScan();
}

void TForm1::EditCamera(int index) {
    const CameraRecord record = TakeRecord(index);

    TAdvDlg& dlg = *AdvDlg;
    dlg.EditName->setText(CameraText(record.name));
    dlg.LabelSvrType->setText(CameraText(record.productName));
    dlg.LabelHWAddr->setText(CameraText(record.hwAddrText));

    dlg.ComboBoxAnalog->hide();
    dlg.LabelAnalog->hide();
    dlg.EditName->setEnabled(true);
    if (camera_model::OffersAnalogOutput(record.productCode) && LoadAnalogChoices()) {
        dlg.ComboBoxAnalog->show();
        dlg.LabelAnalog->show();
        dlg.ComboBoxAnalog->setEnabled(true);
    }

    dlg.ComboBoxTimezone->setEnabled(false);
    if (camera_model::OffersTimezone(record.productCode) && LoadTimezoneChoices()) {
        dlg.ComboBoxTimezone->setEnabled(true);
        dlg.ComboBoxTimezone->show();
        dlg.LabelTimezone->show();
    } else {
        dlg.ComboBoxTimezone->hide();
        dlg.LabelTimezone->hide();
    }

    const QString name = dlg.EditName->text();
    const QString analog = dlg.ComboBoxAnalog->currentText();
    const QString timezone = dlg.ComboBoxTimezone->currentText();
    if (dlg.exec() != QDialog::Accepted) return;

    // Each changed setting on its own, in this order; one failing does not stop the next.
    if (dlg.EditName->text() != name) SetCameraOid(camera_model::kOidName, Latin1(dlg.EditName->text()).c_str());
    if (dlg.ComboBoxAnalog->currentText() != analog &&
        !SetCameraOid(camera_model::kOidAnalogOutput, UpperCase(Latin1(dlg.ComboBoxAnalog->currentText())).c_str())) {
        Ask(this, QMessageBox::Critical, "Error", "Analog assignment failed");
    }
    if (dlg.ComboBoxTimezone->currentText() != timezone &&
        !SetCameraOid(camera_model::kOidTimezone, UpperCase(Latin1(dlg.ComboBoxTimezone->currentText())).c_str())) {
        Ask(this, QMessageBox::Critical, "Error", "Timezone assignment failed");
    }
    RunScan();
}

void TForm1::OpenWebPage(const CameraRecord& record) {
    // The route is given a moment before the browser uses it.
    if (camera_actions::RouteBeforeWebPage(record)) BusyWait::Sleep(waits.routePauseMs);
    const std::string url = camera_actions::WebPageUrl(record);
    if (!url.empty()) QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}
