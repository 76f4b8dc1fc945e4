// For the pictures in docs/: shows one dialog as the Assign IP or the Edit
// command shows it for a camera, until it is closed.
//   vantrel-dialog-shot assign|edit
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <cstdio>
#include <cstring>

#include "fonts.h"
#include "adv_dlg.h"
#include "assign_dlg.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    application.setApplicationName("Vantrel");
    InstallFontSubstitutes();
    const char* which = argc == 2 ? argv[1] : "";

    if (std::strcmp(which, "assign") == 0) {
        TAssignDlg dlg;
        dlg.probe = [](in_addr) { return platform::ProbeAnswer{}; };  // nobody else at a new address
        dlg.EditIPAddr->setText("10.77.0.10");
        dlg.EditSubnet->setText("255.255.255.0");
        dlg.EditGateway->setText("10.77.0.1");
        dlg.RadioButtonManual->setChecked(true);
        dlg.LabelSvrType->setText("ZC-100");
        dlg.LabelHWAddr->setText("02:e5:a1:00:00:05");
        dlg.rebootNeeded = true;
        dlg.CheckBoxDHCPClick();
        dlg.exec();
        return 0;
    }
    if (std::strcmp(which, "edit") == 0) {
        TAdvDlg dlg;
        dlg.LabelSvrType->setText("ZC-100");
        dlg.LabelHWAddr->setText("02:e5:a1:00:00:05");
        dlg.EditName->setText("Lobby");
        dlg.ComboBoxTimezone->clear();
        dlg.ComboBoxTimezone->addItems({"GMT", "CET", "EET", "EST5EDT", "PST8PDT"});
        dlg.ComboBoxTimezone->setEditText("CET");
        dlg.ComboBoxAnalog->clear();
        dlg.ComboBoxAnalog->addItems({"ntsc", "pal", "disabled"});
        dlg.ComboBoxAnalog->setEditText("ntsc");
        dlg.exec();
        return 0;
    }
    std::fprintf(stderr, "usage: vantrel-dialog-shot assign|edit\n");
    return 2;
}
