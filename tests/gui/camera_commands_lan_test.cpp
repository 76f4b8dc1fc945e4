// The window's camera commands end to end: the real window in the pc of a
// namespace LAN, against emulated cameras, every box answered as a user would.
#include <QComboBox>
#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QtTest>
#include <deque>
#include <functional>

#include "form1.h"
#include "camsim_config.h"
#include "adv_dlg.h"
#include "assign_dlg.h"
#include "test_lan.h"
#include "trace_capture.h"

// Plays the user: each dialog or message box that shows gets the next step.
// A box with no step left is recorded and closed with its default button.
class User : public QObject {
public:
    using Step = std::function<void(QDialog*)>;
    User() { qApp->installEventFilter(this); }
    ~User() override { qApp->removeEventFilter(this); }

    void Then(Step step) { steps.push_back(std::move(step)); }
    // A message box: recorded, answered with `button`.
    void Answer(QMessageBox::StandardButton button = QMessageBox::Ok) {
        Then([button](QDialog* d) { static_cast<QMessageBox*>(d)->button(button)->click(); });
    }
    bool Done() const { return steps.empty(); }

    struct Box {
        QString text, title;
        QMessageBox::Icon icon;
    };
    QList<Box> boxes;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (event->type() != QEvent::Show || !dialog || !dialog->isWindow()) return false;
        if (auto* box = qobject_cast<QMessageBox*>(dialog))
            boxes.append({box->text(), box->windowTitle(), box->icon()});
        Step step = steps.empty() ? Step([](QDialog* d) { d->reject(); }) : steps.front();
        if (!steps.empty()) steps.pop_front();
        QTimer::singleShot(0, dialog, [step, dialog] {
            step(dialog);
            if (dialog->isVisible()) dialog->reject();  // a step that failed a check leaves it open
        });
        return false;
    }

private:
    std::deque<Step> steps;
};

// Takes the URLs the window opens instead of a browser.
class Browser : public QObject {
    Q_OBJECT
public:
    Browser() { QDesktopServices::setUrlHandler("http", this, "Open"); }
    ~Browser() override { QDesktopServices::unsetUrlHandler("http"); }
    QStringList opened;
public slots:
    void Open(const QUrl& url) { opened << url.toString(); }
};

class TestCameraCommandsLan : public QObject {
    Q_OBJECT

    TForm1* form = nullptr;
    LanProcess* cams = nullptr;
    TraceCapture* trace = nullptr;

    int Scans() const {
        int n = 0;
        for (const std::string& line : trace->Lines())
            n += line.rfind("Got ", 0) == 0 && line.find(" drovik replies") != std::string::npos;
        return n;
    }
    // Selects the row of the camera named `name`; false when it is not listed.
    bool Select(const QString& name) {
        for (int r = 0; r < form->StringGrid1->rowCount(); ++r) {
            if (form->StringGrid1->item(r, 0)->text() != name) continue;
            form->StringGrid1->setCurrentCell(r, 0);
            return true;
        }
        return false;
    }
    QString AddressOf(const QString& name) {
        for (int r = 0; r < form->StringGrid1->rowCount(); ++r)
            if (form->StringGrid1->item(r, 0)->text() == name) return form->StringGrid1->item(r, 3)->text();
        return {};
    }
    // What the emulator has told so far, once it has settled.
    std::string Told() {
        cams->WaitForText("\n(nothing more)", std::chrono::milliseconds(300));
        return cams->Output();
    }
    static int Count(const std::string& text, const std::string& part) {
        int n = 0;
        for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
        return n;
    }

private slots:
    void commandsActOnTheSelectedCamera() {
        if (const std::string why = TestLan::Unavailable(); !why.empty())
            QSKIP(("test LAN unavailable: " + why).c_str());
        TestLan lan;
        std::vector<std::string> addresses = BasicRange(10, 12);
        addresses.push_back("169.254.10.20/16");
        QVERIFY(lan.AddBasic(addresses, {"10.77.0.2/24", "169.254.1.1/16"}));

        const nlohmann::json lists = {{"2.17", "<p>'GMT,CET,EST'</p>"}, {"1.2.29.4", "'ntsc,pal,disabled'"}};
        const nlohmann::json values = {{"2.17", "CET"}, {"1.2.29.4", "NTSC"}};
        EmulatedCamera lobby{.name = "Lobby", .hwAddr = "02:e5:a1:00:00:05", .ip = "10.77.0.10", .productCode = "4d"};
        lobby.extra = {{"zorvo", true}, {"http", true}, {"oids", values}, {"httpLists", lists}};
        EmulatedCamera gate{.name = "Gate", .hwAddr = "02:e5:a1:00:00:15", .ip = "10.77.0.11", .productCode = "50"};
        gate.extra = {{"zorvo", true}, {"zorvoVersion", 3}, {"http", true}, {"oids", values}, {"httpLists", lists}};
        EmulatedCamera dock{.name = "Dock", .hwAddr = "02:e5:a1:00:00:25", .ip = "10.77.0.12", .productCode = "6a"};
        dock.extra = {{"http", true}, {"oids", values}, {"httpLists", lists}};
        EmulatedCamera yard{.name = "Yard", .hwAddr = "02:e5:a1:00:00:35", .ip = "10.77.0.13"};
        EmulatedCamera pier{.name = "Pier", .hwAddr = "02:e5:a1:00:00:45", .ip = "10.77.0.14", .dhcp = 1};
        EmulatedCamera shed{.name = "Shed", .hwAddr = "02:e5:a1:00:00:55", .ip = "10.77.0.15"};
        shed.extra = {{"assignReply", "refuse"}};
        EmulatedCamera fresh{.name = "Fresh", .hwAddr = "02:e5:a1:00:00:65"};  // no address yet
        EmulatedCamera link{.name = "Link",
                            .hwAddr = "02:e5:a1:00:00:75",
                            .ip = "169.254.10.20",
                            .subnet = "255.255.0.0",
                            .drovik = false,
                            .mdns = true};
        auto camsim = StartCamsim({lobby, gate, dock, yard, pier, shed, fresh, link}, &lan, "cams", 280);
        QVERIFY(camsim);
        cams = camsim.get();

        NetnsVisit visit(lan.Namespace("pc"));
        QVERIFY(visit.entered);
        TraceCapture traceLines;
        trace = &traceLines;
        User user;
        Browser browser;
        TForm1 window;
        form = &window;
        window.AssignDlg = new TAssignDlg(&window);
        window.AdvDlg = new TAdvDlg(&window);
        window.waits = {.rebootMs = 1500, .settleMs = 500, .routePauseMs = 10};
        window.show();
        QTRY_COMPARE_WITH_TIMEOUT(window.LabelCamFound->text(), QString("8 cameras found"), 30000);
        TAssignDlg& assign = *window.AssignDlg;
        TAdvDlg& edit = *window.AdvDlg;

        // Assign IP, mode unchanged: no question, reboot flag 0, the short wait, listed at the new address.
        QVERIFY(Select("Yard"));
        int scans = Scans();
        user.Then([&](QDialog*) {
            QVERIFY(assign.RadioButtonManual->isChecked());
            QCOMPARE(assign.EditIPAddr->text(), QString("10.77.0.13"));
            assign.EditIPAddr->setText("10.77.0.23");
            assign.OKBtn->click();
        });
        QElapsedTimer took;
        took.start();
        window.ButtonEdit->click();
        QVERIFY(took.elapsed() >= 500);
        QVERIFY(user.Done());
        QVERIFY(user.boxes.isEmpty());
        QCOMPARE(Count(Told(), "assign 02:e5:a1:00:00:35 dhcp=0 reboot=0 ip=10.77.0.23\n"), 1);
        QCOMPARE(Scans(), scans + 1);
        QCOMPARE(AddressOf("Yard"), QString("10.77.0.23"));

        // DHCP to a fixed address, Yes: reboot flag 1, the success box, busy mode through the wait.
        QVERIFY(Select("Pier"));
        QStringList busy;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (window.LabelPleaseWait->isVisible()) busy.append(window.LabelPleaseWait->text());
        });
        watch.start(50);
        user.Then([&](QDialog*) {
            QVERIFY(assign.RadioButtonDHCP->isChecked());
            assign.RadioButtonManual->click();
            assign.EditIPAddr->setText("10.77.0.24");
            assign.EditSubnet->setText("255.255.255.0");
            assign.EditGateway->setText("10.77.0.1");
            assign.OKBtn->click();
        });
        user.Answer(QMessageBox::Yes);
        user.Answer(QMessageBox::Ok);
        window.ButtonEdit->click();
        watch.stop();
        QVERIFY(user.Done());
        QCOMPARE(user.boxes.size(), 2);
        QCOMPARE(user.boxes[0].text, QString("The camera will need to be REBOOTED.  Reboot NOW?"));
        QCOMPARE(user.boxes[0].title, QString("Reboot Camera?"));
        QCOMPARE(user.boxes[0].icon, QMessageBox::Question);
        QCOMPARE(user.boxes[1].text,
                 QString("Assignment succeeded.  Press OK then wait for REBOOT to complete (~30s)."));
        QCOMPARE(user.boxes[1].title, QString("Info"));
        QCOMPARE(user.boxes[1].icon, QMessageBox::NoIcon);
        QVERIFY(busy.contains("Rebooting camera.  Please wait..."));
        QCOMPARE(Count(Told(), "assign 02:e5:a1:00:00:45 dhcp=0 reboot=1 ip=10.77.0.24\n"), 1);
        QCOMPARE(AddressOf("Pier"), QString("10.77.0.24"));
        user.boxes.clear();

        // A refused assignment: "Assignment Failure", then a rescan.
        QVERIFY(Select("Shed"));
        scans = Scans();
        user.Then([&](QDialog*) { assign.OKBtn->click(); });
        user.Answer();
        window.ButtonEdit->click();
        QCOMPARE(user.boxes.size(), 1);
        QCOMPARE(user.boxes[0].text, QString("Assignment Failure"));
        QCOMPARE(user.boxes[0].title, QString("Error"));
        QCOMPARE(user.boxes[0].icon, QMessageBox::Critical);
        QCOMPARE(Scans(), scans + 1);
        user.boxes.clear();

        // A double-click on a camera without an address opens Assign IP; Cancel sends nothing, scans nothing.
        QVERIFY(Select("Fresh"));
        scans = Scans();
        const std::string before = Told();
        bool assignShown = false;
        user.Then([&](QDialog* d) {
            assignShown = d == &assign;
            assign.CancelBtn->click();
        });
        window.StringGrid1DblClick();
        QVERIFY(assignShown);
        QCOMPARE(Told(), before);
        QCOMPARE(Scans(), scans);

        // Edit offers the rows each model has; Cancel writes nothing.
        struct Rows {
            bool analog, timezone;
        };
        auto rowsOf = [&](const QString& name) {
            Rows rows{};
            user.Then([&](QDialog*) {
                rows = {edit.ComboBoxAnalog->isVisible(), edit.ComboBoxTimezone->isVisible()};
                QCOMPARE(edit.LabelAnalog->isVisible(), rows.analog);
                QCOMPARE(edit.LabelTimezone->isVisible(), rows.timezone);
                edit.CancelBtn->click();
            });
            Select(name);
            window.ButtonAdv->click();
            return rows;
        };
        scans = Scans();
        const Rows lobbyRows = rowsOf("Lobby"), gateRows = rowsOf("Gate"), dockRows = rowsOf("Dock");
        QVERIFY(lobbyRows.analog && lobbyRows.timezone);
        QVERIFY(!gateRows.analog && !gateRows.timezone);
        QVERIFY(!dockRows.analog && !dockRows.timezone);
        QCOMPARE(Scans(), scans);
        QVERIFY(user.boxes.isEmpty());
        QCOMPARE(Count(Told(), "set "), 0);

        // The current values as the camera gave them, in lower case, the choices in its order.
        // The same timezone again sends nothing; a lower-case one goes in upper case, alone.
        user.Then([&](QDialog*) {
            QCOMPARE(edit.ComboBoxTimezone->currentText(), QString("cet"));
            QCOMPARE(edit.ComboBoxAnalog->currentText(), QString("ntsc"));
            QCOMPARE(edit.ComboBoxTimezone->count(), 3);
            QCOMPARE(edit.ComboBoxTimezone->itemText(2), QString("EST"));
            edit.ComboBoxTimezone->setEditText("est");
            edit.OKBtn->click();
        });
        Select("Lobby");
        window.ButtonAdv->click();
        QVERIFY(user.Done());
        std::string told = Told();
        QCOMPARE(Count(told, "set "), 1);
        QCOMPARE(Count(told, "set 10.77.0.10 2.17=EST\n"), 1);
        QCOMPARE(Count(told, "http 10.77.0.10:80 GET /set.oid"), 0);  // the camera speaks UDP

        // A changed name writes only the name, as typed; the rescan lists it.
        user.Then([&](QDialog*) {
            QCOMPARE(edit.ComboBoxTimezone->currentText(), QString("est"));
            edit.ComboBoxTimezone->setEditText("est");
            edit.EditName->setText("Lobby_East");
            edit.OKBtn->click();
        });
        Select("Lobby");
        window.ButtonAdv->click();
        told = Told();
        QCOMPARE(Count(told, "set "), 2);
        QCOMPARE(Count(told, "set 10.77.0.10 2.4=Lobby_East\n"), 1);
        QVERIFY(Select("Lobby_East"));
        QVERIFY(user.boxes.isEmpty());

        // A double-click on a camera with an address opens its web page; no route for it.
        QVERIFY(Select("Gate"));
        const QRect cell = window.StringGrid1->visualItemRect(window.StringGrid1->currentItem());
        QTest::mouseDClick(window.StringGrid1->viewport(), Qt::LeftButton, {}, cell.center());
        QTRY_COMPARE(browser.opened, QStringList{"http://10.77.0.11:80"});

        // Web Page for the link-local camera heard by multicast DNS: its host route through the pc's link first.
        QVERIFY(Select("Link"));
        window.ButtonOpen->click();
        QTRY_COMPARE(browser.opened.size(), 2);
        QCOMPARE(browser.opened[1], QString("http://169.254.10.20:80"));
        std::string routes;
        lan.Run("pc", {"ip", "-4", "route", "show", "169.254.10.20/32"}, &routes);
        QVERIFY2(routes.find("169.254.10.20 dev eth0") == 0, routes.c_str());

        // Web Page with no camera selected: the select-first box.
        window.StringGrid1->setCurrentCell(-1, -1);
        user.Answer();
        window.ButtonOpen->click();
        QCOMPARE(user.boxes.size(), 1);
        QCOMPARE(user.boxes[0].text, QString("Please select a camera first!"));
        QCOMPARE(user.boxes[0].title, QString("Error..."));
    }
};

QTEST_MAIN(TestCameraCommandsLan)
#include "camera_commands_lan_test.moc"
