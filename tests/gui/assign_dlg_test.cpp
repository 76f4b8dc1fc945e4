// The Assign IP dialog, offscreen, with a fake duplicate-address probe.
#include <arpa/inet.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "fonts.h"
#include "assign_dlg.h"
#include "message_boxes.h"

static const QString kBadIp = "Invalid IP address. Use xxx.xxx.xxx.xxx";
static const QString kBadSubnet = "Invalid subnet mask. Use xxx.xxx.xxx.xxx";
static const QString kBadGateway = "Invalid Gateway. Use xxx.xxx.xxx.xxx";

class TestAssignDlg : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TAssignDlg> dlg;
    int probes = 0;
    in_addr probed{};
    bool deviceAnswers = false;

    // What the Assign IP command does with a camera's record before it shows the dialog.
    void Open(const char* ip, const char* subnet, const char* gateway, bool dhcp) {
        dlg->hide();
        dlg->EditIPAddr->setText(ip);
        dlg->EditSubnet->setText(subnet);
        dlg->EditGateway->setText(gateway);
        (dhcp ? dlg->RadioButtonDHCP : dlg->RadioButtonManual)->setChecked(true);
        dlg->rebootNeeded = true;
        dlg->CheckBoxDHCPClick();
        dlg->show();
        QApplication::setActiveWindow(dlg.get());  // offscreen, a window shown again is not activated
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    }
    // Types into a field as the user does and leaves it with Tab.
    void Type(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QTest::keyClick(edit, Qt::Key_Tab);
    }
    void ClickMode(QRadioButton* button) { QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(7, 9)); }
    // Presses Apply; the texts of the boxes it showed. Every box but the question is an error box.
    QStringList Apply(QList<QMessageBox::StandardButton> answers = {}) {
        MessageBoxes boxes(answers);
        QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
        for (const SeenBox& box : boxes.seen)
            if (box.title != "Duplicate IP" &&
                (box.title != "Error" || box.icon != QMessageBox::Critical || box.buttons != QMessageBox::Ok))
                return {"not an error box: " + box.text};
        return boxes.Texts();
    }

private slots:
    void initTestCase() { InstallFontSubstitutes(); }
    void init() {
        dlg = std::make_unique<TAssignDlg>();
        probes = 0;
        deviceAnswers = false;
        dlg->probe = [this](in_addr address) {
            ++probes;
            probed = address;
            platform::ProbeAnswer answer;
            answer.answered = deviceAnswers;
            const uint8_t hw[6] = {0x00, 0x1a, 0x2b, 0xc3, 0x4d, 0x5e};
            std::copy(hw, hw + 6, answer.hwAddr);
            return answer;
        };
    }
    void cleanup() { dlg.reset(); }

    void subnetDefaultByClassOncePerShowingForAnUnaddressedCamera() {
        const QList<QPair<QString, QString>> byFirstOctet = {
            {"126.1.2.3", "255.0.0.0"},
            {"127.0.0.1", ""},
            {"0.1.2.3", ""},
            {"128.0.0.1", "255.255.0.0"},
            {"191.2.3.4", "255.255.0.0"},
            {"192.168.1.20", "255.255.255.0"},
            {"224.1.2.3", "255.255.255.0"},
        };
        for (const auto& [ip, mask] : byFirstOctet) {
            Open("0.0.0.0", "", "", false);
            Type(dlg->EditIPAddr, ip);
            QCOMPARE(dlg->EditSubnet->text(), mask);
        }
        Type(dlg->EditIPAddr, "172.16.0.5");  // written once a showing
        QCOMPARE(dlg->EditSubnet->text(), QString("255.255.255.0"));

        Open("0.0.0.0", "", "", false);  // not once the user changed it
        Type(dlg->EditSubnet, "255.255.255.128");
        Type(dlg->EditIPAddr, "10.1.2.3");
        QCOMPARE(dlg->EditSubnet->text(), QString("255.255.255.128"));

        Open("10.77.0.10", "", "", false);  // a camera that had an address
        Type(dlg->EditIPAddr, "10.1.2.3");
        QCOMPARE(dlg->EditSubnet->text(), QString());

        // Enter in the field is no leaving of it, nor is a message box taking the focus.
        Open("0.0.0.0", "", "10.0.0.1", false);
        deviceAnswers = true;
        dlg->EditIPAddr->setFocus();
        QTest::keyClicks(dlg->EditIPAddr, "10.1.2.3");
        MessageBoxes boxes({QMessageBox::Ok});
        QTest::keyClick(dlg->EditIPAddr, Qt::Key_Return);
        QCOMPARE(boxes.seen.size(), 2);
        QCOMPARE(boxes.seen[1].text, kBadSubnet);
        QCOMPARE(dlg->EditSubnet->text(), QString());
    }

    void rebootNeededWhenTheModeDiffersFromTheOpeningOne() {
        for (bool dhcp : {true, false}) {
            QRadioButton* opening = dhcp ? dlg->RadioButtonDHCP : dlg->RadioButtonManual;
            QRadioButton* other = dhcp ? dlg->RadioButtonManual : dlg->RadioButtonDHCP;
            Open("10.77.0.10", "255.255.255.0", "10.77.0.1", dhcp);
            QVERIFY(!dlg->rebootNeeded);
            QCOMPARE(dlg->EditIPAddr->isEnabled(), !dhcp);
            ClickMode(opening);  // already selected: no switch
            QVERIFY(!dlg->rebootNeeded);
            ClickMode(other);
            QVERIFY(dlg->rebootNeeded && !opening->isChecked());
            QCOMPARE(dlg->EditSubnet->isEnabled() && dlg->EditGateway->isEnabled(), dhcp);
            ClickMode(opening);
            QVERIFY(!dlg->rebootNeeded);
            QCOMPARE(dlg->EditGateway->isEnabled(), !dhcp);
        }
    }

    void applyChecksAllThreeInOrder() {
        Open("10.77.0.10", "", "gateway", false);
        dlg->EditIPAddr->setText("255.255.255.255");
        QCOMPARE(Apply(), QStringList({kBadIp, kBadSubnet, kBadGateway}));
        QVERIFY(dlg->isVisible());
        QCOMPARE(dlg->EditIPAddr->text(), QString("255.255.255.255"));
        dlg->EditIPAddr->clear();
        dlg->EditSubnet->setText("255.255.255.0");
        dlg->EditGateway->setText("10.77.0.1");
        QCOMPARE(Apply(), QStringList({kBadIp}));
        QCOMPARE(probes, 0);  // nothing to probe at an invalid address

        // Every form inet_addr takes is valid, and goes on as typed.
        dlg->EditIPAddr->setText("10.1");
        QCOMPARE(Apply(), QStringList());
        QCOMPARE(dlg->result(), int(QDialog::Accepted));
        QCOMPARE(dlg->EditIPAddr->text(), QString("10.1"));
        QCOMPARE(probed.s_addr, inet_addr("10.0.0.1"));

        // With DHCP the disabled fields are checked all the same.
        Open("10.77.0.10", "255.255.255.0", "", true);
        QCOMPARE(Apply(), QStringList({kBadGateway}));
        ClickMode(dlg->RadioButtonManual);
        Type(dlg->EditGateway, "10.77.0.1");
        ClickMode(dlg->RadioButtonDHCP);
        QCOMPARE(Apply(), QStringList());
        QCOMPARE(dlg->result(), int(QDialog::Accepted));
        QVERIFY(dlg->RadioButtonDHCP->isChecked() && !dlg->rebootNeeded);

        Open("10.77.0.10", "255.255.255.0", "10.77.0.1", false);
        QTest::mouseClick(dlg->CancelBtn, Qt::LeftButton);
        QCOMPARE(dlg->result(), int(QDialog::Rejected));
    }

    void duplicateQuestionOnlyForANewAddress() {
        deviceAnswers = true;
        Open("10.77.0.10", "255.255.255.0", "10.77.0.1", false);
        QCOMPARE(Apply(), QStringList());
        QCOMPARE(dlg->result(), int(QDialog::Accepted));
        QCOMPARE(probes, 0);

        Open("10.77.0.10", "255.255.255.0", "10.77.0.1", false);
        dlg->EditIPAddr->setText("10.77.0.99");
        {
            MessageBoxes boxes;  // Enter: the question's default, Cancel
            QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
            QCOMPARE(boxes.Texts(), QStringList({"Device at address 00-1a-2b-c3-4d-5e is responding to this IP "
                                                 "address.  Continue with assignment?"}));
            QCOMPARE(boxes.seen[0].title, QString("Duplicate IP"));
            QCOMPARE(boxes.seen[0].icon, QMessageBox::NoIcon);
            QCOMPARE(boxes.seen[0].buttons, QMessageBox::Ok | QMessageBox::Cancel);
            QVERIFY(dlg->isVisible());
        }
        QCOMPARE(probed.s_addr, inet_addr("10.77.0.99"));

        dlg->EditSubnet->clear();  // OK goes on to the other checks
        QCOMPARE(Apply({QMessageBox::Ok}).value(1), kBadSubnet);
        dlg->EditSubnet->setText("255.255.255.0");
        QCOMPARE(Apply({QMessageBox::Ok}).size(), 1);
        QCOMPARE(dlg->result(), int(QDialog::Accepted));
        QCOMPARE(probes, 3);
    }
};

QTEST_MAIN(TestAssignDlg)
#include "assign_dlg_test.moc"
