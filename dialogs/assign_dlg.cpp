#include "assign_dlg.h"

#include <arpa/inet.h>

#include <QButtonGroup>
#include <QFocusEvent>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>

#include "address_rules.h"
#include "busy_wait.h"
#include "camera_actions.h"
#include "dialog_parts.h"

using namespace dialog_parts;

namespace {

platform::ProbeAnswer ProbeWhileBusy(in_addr address) {
    platform::ProbeAnswer answer;
    BusyWait::Run([&] { answer = camera_actions::ProbeNewAddress(address); });
    return answer;
}

}  // namespace

TAssignDlg::TAssignDlg(QWidget* parent) : QDialog(parent), probe(ProbeWhileBusy) {
    setObjectName("AssignDlg");
    SetUpFrame(this, 298, 305);

    Label3 = MakeLabel(this, "Label3", "Type:", {24, 16, 27, 14});
    LabelSvrType = MakeLabel(this, "LabelSvrType", "LabelSvrType", {104, 16, 67, 14});
    Label4 = MakeLabel(this, "Label4", "HW Addr:", {24, 40, 47, 14});
    LabelHWAddr = MakeLabel(this, "LabelHWAddr", "LabelHWAddr", {104, 40, 67, 14});
    // These two show the camera's own texts: plain, never read as markup.
    LabelSvrType->setTextFormat(Qt::PlainText);
    LabelHWAddr->setTextFormat(Qt::PlainText);

    RadioButtonDHCP = new QRadioButton("Obtain an IP address automatically via DHCP", this);
    RadioButtonDHCP->setObjectName("RadioButtonDHCP");
    RadioButtonDHCP->setGeometry(24, 77, 268, 18);
    RadioButtonManual = new QRadioButton("Use the following IP address", this);
    RadioButtonManual->setObjectName("RadioButtonManual");
    RadioButtonManual->setGeometry(24, 94, 182, 18);
    modeGroup = new QButtonGroup(this);
    modeGroup->setExclusive(true);
    modeGroup->addButton(RadioButtonDHCP);
    modeGroup->addButton(RadioButtonManual);
    RadioButtonDHCP->setChecked(true);

    Bevel1 = new QFrame(this);  // made before the fields so that it lies beneath them
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameStyle(QFrame::Box | QFrame::Sunken);  // an etched line, visible on every side
    Bevel1->setLineWidth(1);
    Bevel1->setGeometry(15, 122, 260, 121);

    Label1 = MakeLabel(this, "Label1", "IP Address:", {30, 146, 56, 14});
    EditIPAddr = MakeEdit(this, "EditIPAddr", {111, 138, 121, 22});
    Subn = MakeLabel(this, "Subn", "Subnet:", {30, 178, 37, 14});
    EditSubnet = MakeEdit(this, "EditSubnet", {111, 169, 121, 22});
    Label5 = MakeLabel(this, "Label5", "Gateway:", {30, 212, 48, 14});
    EditGateway = MakeEdit(this, "EditGateway", {111, 204, 121, 22});

    OKBtn = MakeButton(this, "OKBtn", "Apply", {60, 261, 81, 27});
    OKBtn->setDefault(true);
    CancelBtn = MakeButton(this, "CancelBtn", "Cancel", {146, 261, 81, 27});

    SetTabOrder({EditIPAddr, EditSubnet, EditGateway, OKBtn, CancelBtn, RadioButtonManual, RadioButtonDHCP});

    // Only a change of the selection runs it: clicking the selected button does not.
    connect(modeGroup, &QButtonGroup::buttonToggled, this, [this](QAbstractButton*, bool checked) {
        if (checked) CheckBoxDHCPClick();
    });
    EditIPAddr->installEventFilter(this);
    connect(EditSubnet, &QLineEdit::textChanged, this, &TAssignDlg::EditSubnetChange);
    connect(OKBtn, &QPushButton::clicked, this, &TAssignDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TAssignDlg::CancelBtnClick);
}

void TAssignDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;  // the desktop showing it again, not a new showing
    FitLabel(LabelSvrType);
    FitLabel(LabelHWAddr);
    PlaceAndFocus(this, {EditIPAddr, EditSubnet, EditGateway, OKBtn, CancelBtn, RadioButtonManual, RadioButtonDHCP});
    FormShow();
}

bool TAssignDlg::eventFilter(QObject* watched, QEvent* event) {
    // Leaving the field for another control; not the whole window losing the
    // focus to a message box or another program.
    if (watched == EditIPAddr && event->type() == QEvent::FocusOut) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason) EditIPAddrExit();
    }
    return QDialog::eventFilter(watched, event);
}

void TAssignDlg::FormShow() {
    uint32_t address;
    initialAddr = address_rules::Parse(EditIPAddr->text().toLatin1().constData(), address) ? address : INADDR_NONE;
    autoSubnet = initialAddr == 0;
}

void TAssignDlg::CheckBoxDHCPClick() {
    const bool manual = !RadioButtonDHCP->isChecked();
    EditIPAddr->setEnabled(manual);
    EditSubnet->setEnabled(manual);
    EditGateway->setEnabled(manual);
    rebootNeeded = !rebootNeeded;
}

void TAssignDlg::EditIPAddrExit() {
    if (!autoSubnet) return;
    // Writing a different text is a change of the subnet: the offer ends with it.
    if (const char* mask = address_rules::SubnetDefault(EditIPAddr->text().toLatin1().constData()))
        EditSubnet->setText(mask);
}

void TAssignDlg::EditSubnetChange() { autoSubnet = false; }

void TAssignDlg::OKBtnClick() {
    bool failed = false;
    const QByteArray ip = EditIPAddr->text().toLatin1();
    if (const char* message = address_rules::CheckIpAddress(ip.constData())) {
        ShowError(this, message);
        failed = true;
    }

    uint32_t address;
    if (address_rules::Parse(ip.constData(), address) && address != initialAddr) {
        in_addr target{};
        target.s_addr = address;
        const platform::ProbeAnswer answer = probe(target);
        if (answer.answered && !ConfirmDuplicate(answer.hwAddr)) failed = true;
    }

    if (const char* message = address_rules::CheckSubnet(EditSubnet->text().toLatin1().constData())) {
        ShowError(this, message);
        failed = true;
    }
    if (const char* message = address_rules::CheckGateway(EditGateway->text().toLatin1().constData())) {
        ShowError(this, message);
        failed = true;
    }
    if (!failed) accept();
}

bool TAssignDlg::ConfirmDuplicate(const uint8_t (&hw)[6]) {
    QMessageBox box(QMessageBox::NoIcon, "Duplicate IP",
                    QString::fromLatin1(address_rules::DuplicateQuestion(hw).c_str()),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

void TAssignDlg::CancelBtnClick() { reject(); }
