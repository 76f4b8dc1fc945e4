#pragma once
// The Assign IP dialog: DHCP or a fixed address, subnet mask and gateway for
// one camera. It checks the three texts and warns when another device answers
// at a new address; the Assign IP command fills it, shows it and, after OK,
// reads the texts as typed, the mode and `rebootNeeded`.
#include <netinet/in.h>

#include <QDialog>
#include <cstdint>
#include <functional>

#include "address_probe.h"

class QButtonGroup;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class TAssignDlg : public QDialog {
    Q_OBJECT

public:
    explicit TAssignDlg(QWidget* parent = nullptr);

    // The duplicate-address probe of Apply. By default camera_actions' probe,
    // run while the window keeps painting and drops input.
    std::function<platform::ProbeAnswer(in_addr)> probe;

    uint32_t initialAddr = INADDR_NONE;  // network order; the IP text when the dialog was shown
    bool autoSubnet = false;             // the subnet default by address class is still to be offered
    bool rebootNeeded = false;           // the mode now differs from the mode the dialog opened with

    QLabel* Label3;
    QLabel* LabelSvrType;
    QLabel* Label4;
    QLabel* LabelHWAddr;
    QRadioButton* RadioButtonDHCP;
    QRadioButton* RadioButtonManual;
    QFrame* Bevel1;
    QLabel* Label1;
    QLineEdit* EditIPAddr;
    QLabel* Subn;
    QLineEdit* EditSubnet;
    QLabel* Label5;
    QLineEdit* EditGateway;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    void FormShow();
    void CheckBoxDHCPClick();
    void EditIPAddrExit();
    void EditSubnetChange();
    void OKBtnClick();
    void CancelBtnClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The duplicate question for the device that answered; true to go on.
    bool ConfirmDuplicate(const uint8_t (&hwAddr)[6]);
    QButtonGroup* modeGroup;
};
