#include "camera_commands.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QUrl>
#include <string>

#include "adv_dlg.h"
#include "assign_dlg.h"
#include "busy_wait.h"
#include "camera_actions.h"
#include "camera_text.h"
#include "scanner.h"
#include "visible_text.h"

namespace {

QMessageBox::StandardButton Ask(QWidget* parent, QMessageBox::Icon icon, const char* caption, const char* text,
                                QMessageBox::StandardButtons buttons = QMessageBox::Ok) {
    QMessageBox box(icon, caption, text, buttons, parent);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

// Only the letters a to z change.
std::string UpperCase(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string Latin1(const QString& text) { return text.toLatin1().toStdString(); }

}  // namespace

void CameraCommands::Assign(CScanner& scanner, int index, TAssignDlg& dlg) {
    const CameraRecord record = scanner.RecordAt(index);
    cameraAddr = record.ipAddrText;
    cameraWebAddr = record.webAddr;

    dlg.EditIPAddr->setText(CameraText(record.ipAddrText));
    dlg.EditSubnet->setText(CameraText(record.subnetText));
    dlg.EditGateway->setText(CameraText(record.gatewayText));
    if (record.dhcp)
        dlg.RadioButtonDHCP->setChecked(true);
    else
        dlg.RadioButtonManual->setChecked(true);
    dlg.LabelSvrType->setText(CameraText(record.productName));
    dlg.LabelHWAddr->setText(CameraText(record.hwAddrText));
    dlg.rebootNeeded = true;
    dlg.CheckBoxDHCPClick();  // leaves rebootNeeded false and the edits enabled as the mode says
    if (dlg.exec() != QDialog::Accepted) return;

    if (dlg.rebootNeeded &&
        Ask(window.parent, QMessageBox::Question, "Reboot Camera?", "The camera will need to be REBOOTED.  Reboot NOW?",
            QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
        dlg.rebootNeeded = false;
    }
    const std::string ip = Latin1(dlg.EditIPAddr->text());
    const std::string subnet = Latin1(dlg.EditSubnet->text());
    const std::string gateway = Latin1(dlg.EditGateway->text());
    const uint8_t dhcp = dlg.RadioButtonDHCP->isChecked() ? 1 : 0;
    const uint8_t reboot = dlg.rebootNeeded ? 1 : 0;
    uint8_t result = 0;
    BusyWait::Run([&] { result = scanner.Assign(index, ip.c_str(), subnet.c_str(), gateway.c_str(), dhcp, reboot); });

    if (result != 0) {
        Ask(window.parent, QMessageBox::Critical, "Error", CScanner::ResultText(result));
    } else if (reboot) {
        Ask(window.parent, QMessageBox::NoIcon, "Info",
            "Assignment succeeded.  Press OK then wait for REBOOT to complete (~30s).");
        window.showWait("Rebooting camera.  Please wait...");
        BusyWait::Sleep(waits.rebootMs);
        window.hideWait();
    } else {
        BusyWait::Sleep(waits.settleMs);  // no message and no busy mode
    }
    window.rescan();
}

void CameraCommands::Edit(const CameraRecord& record, TAdvDlg& dlg) {
    cameraAddr = record.ipAddrText;
    cameraWebAddr = record.webAddr;

    dlg.EditName->setText(CameraText(record.name));
    dlg.LabelSvrType->setText(CameraText(record.productName));
    dlg.LabelHWAddr->setText(CameraText(record.hwAddrText));

    dlg.ComboBoxAnalog->hide();
    dlg.LabelAnalog->hide();
    dlg.EditName->setEnabled(true);
    if (camera_model::OffersAnalogOutput(record.productCode) &&
        LoadChoices(dlg.ComboBoxAnalog, CCameraSettings::ChoiceList::Analog)) {
        dlg.ComboBoxAnalog->show();
        dlg.LabelAnalog->show();
        dlg.ComboBoxAnalog->setEnabled(true);
    }

    dlg.ComboBoxTimezone->setEnabled(false);
    if (camera_model::OffersTimezone(record.productCode) &&
        LoadChoices(dlg.ComboBoxTimezone, CCameraSettings::ChoiceList::Timezone)) {
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
    if (dlg.EditName->text() != name)
        Settings().SetCameraOid(camera_model::kOidName, Latin1(dlg.EditName->text()).c_str());
    if (dlg.ComboBoxAnalog->currentText() != analog &&
        !Settings().SetCameraOid(camera_model::kOidAnalogOutput,
                                 UpperCase(Latin1(dlg.ComboBoxAnalog->currentText())).c_str())) {
        Ask(window.parent, QMessageBox::Critical, "Error", "Analog assignment failed");
    }
    if (dlg.ComboBoxTimezone->currentText() != timezone &&
        !Settings().SetCameraOid(camera_model::kOidTimezone,
                                 UpperCase(Latin1(dlg.ComboBoxTimezone->currentText())).c_str())) {
        Ask(window.parent, QMessageBox::Critical, "Error", "Timezone assignment failed");
    }
    window.rescan();
}

void CameraCommands::OpenWebPage(const CameraRecord& record) {
    // The route is given a moment before the browser uses it.
    if (camera_actions::RouteBeforeWebPage(record)) BusyWait::Sleep(waits.routePauseMs);
    const std::string url = camera_actions::WebPageUrl(record);
    if (!url.empty()) QDesktopServices::openUrl(QUrl(QString::fromStdString(url)));
}

// The shared settings access of config/: its exchanges run while the window
// keeps painting, its failures in message boxes.
CCameraSettings CameraCommands::Settings() {
    return CCameraSettings(
        lastError, cameraAddr, cameraWebAddr,
        [parent = window.parent](const char* text, const char* caption, bool errorIcon) {
            // The text may carry the camera's own explanation: shown visible, never as rich text.
            const std::string message = platform::VisibleMessage(platform::Latin1ToUtf8(text));
            QMessageBox box(errorIcon ? QMessageBox::Critical : QMessageBox::NoIcon, QString::fromLatin1(caption),
                            QString::fromStdString(message), QMessageBox::Ok, parent);
            box.setTextFormat(Qt::PlainText);
            box.exec();
        },
        &BusyWait::Run);
}

// Fills `box` as the list operation leaves it: no items until the list is
// read, the current value as its text once it is.
bool CameraCommands::LoadChoices(QComboBox* box, CCameraSettings::ChoiceList list) {
    box->clear();
    CCameraSettings::Choices choices;
    const bool ok = Settings().LoadChoices(list, choices);
    for (const std::string& item : choices.items) box->addItem(CameraText(item.c_str()));
    if (choices.currentRead) box->setEditText(CameraText(choices.current.c_str()));
    return ok;
}
