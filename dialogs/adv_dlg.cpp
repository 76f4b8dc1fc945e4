#include "adv_dlg.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

#include "address_rules.h"
#include "dialog_parts.h"

using namespace dialog_parts;

namespace {

// A drop-down list with a free text field: any text is taken, listed or not.
QComboBox* MakeCombo(QWidget* parent, const char* name, QRect where, const QStringList& items) {
    auto* box = new QComboBox(parent);
    box->setObjectName(name);
    box->setEditable(true);
    box->setInsertPolicy(QComboBox::NoInsert);  // a typed text is not added to the list
    box->addItems(items);
    box->setEditText(QString::fromLatin1(name));
    box->setGeometry(where);
    return box;
}

}  // namespace

TAdvDlg::TAdvDlg(QWidget* parent) : QDialog(parent) {
    setObjectName("AdvDlg");
    SetUpFrame(this, 279, 232);

    Label3 = MakeLabel(this, "Label3", "Type:", {24, 17, 27, 14});
    LabelSvrType = MakeLabel(this, "LabelSvrType", "LabelSvrType", {104, 17, 67, 14});
    Label4 = MakeLabel(this, "Label4", "HW Addr:", {24, 41, 47, 14});
    LabelHWAddr = MakeLabel(this, "LabelHWAddr", "LabelHWAddr", {104, 41, 67, 14});
    // These two show the camera's own texts: plain, never read as markup.
    LabelSvrType->setTextFormat(Qt::PlainText);
    LabelHWAddr->setTextFormat(Qt::PlainText);
    Label2 = MakeLabel(this, "Label2", "Name:", {24, 89, 30, 14});
    EditName = MakeEdit(this, "EditName", {104, 81, 121, 22});
    EditName->setText("EditName");
    LabelTimezone = MakeLabel(this, "LabelTimezone", "Timezone", {24, 117, 46, 14});
    ComboBoxTimezone = MakeCombo(this, "ComboBoxTimezone", {104, 112, 145, 22}, {});
    LabelAnalog = MakeLabel(this, "LabelAnalog", "Analog Output", {24, 144, 69, 14});
    ComboBoxAnalog = MakeCombo(this, "ComboBoxAnalog", {104, 141, 145, 22}, {"ntsc", "pal", "disabled"});

    OKBtn = MakeButton(this, "OKBtn", "Apply", {57, 179, 81, 27});
    OKBtn->setDefault(true);
    CancelBtn = MakeButton(this, "CancelBtn", "Cancel", {143, 179, 81, 27});

    SetTabOrder({OKBtn, CancelBtn, EditName, ComboBoxAnalog, ComboBoxTimezone});

    connect(OKBtn, &QPushButton::clicked, this, &TAdvDlg::OKBtnClick);
    connect(CancelBtn, &QPushButton::clicked, this, &TAdvDlg::CancelBtnClick);
}

void TAdvDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (event->spontaneous()) return;
    FitLabel(LabelSvrType);
    FitLabel(LabelHWAddr);
    PlaceAndFocus(this, {OKBtn, CancelBtn, EditName, ComboBoxAnalog, ComboBoxTimezone});
}

void TAdvDlg::OKBtnClick() {
    // Names are 8-bit texts on the camera; a character outside Latin-1 becomes
    // '?', which the check refuses like any other.
    if (const char* message = address_rules::CheckCameraName(EditName->text().toLatin1().toStdString())) {
        ShowError(this, message);
        return;
    }
    accept();
}

void TAdvDlg::CancelBtnClick() { reject(); }
