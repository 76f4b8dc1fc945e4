// The window end to end: a real scan from the pc of a namespace LAN, against
// emulated cameras answering both discovery protocols.
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include "fonts.h"
#include "form1.h"
#include "camsim_config.h"
#include "test_lan.h"

class TestWindowLan : public QObject {
    Q_OBJECT

private slots:
    void listsWhatTheLanAnswers() {
        if (const std::string why = TestLan::Unavailable(); !why.empty())
            QSKIP(("test LAN unavailable: " + why).c_str());
        TestLan lan;
        QVERIFY(lan.AddBasic(BasicRange(10, 11)));
        EmulatedCamera lobby{.name = "Lobby", .hwAddr = "02:e5:a1:00:00:05", .ip = "10.77.0.10"};
        EmulatedCamera gate{.name = "Gate", .hwAddr = "02:e5:a1:00:00:85", .ip = "10.77.0.11"};
        gate.drovik = false;
        gate.mdns = true;
        auto cams = StartCamsim({lobby, gate}, &lan, "cams", 120);
        QVERIFY(cams);

        // The window's thread joins the pc, where the scan makes its sockets.
        NetnsVisit visit(lan.Namespace("pc"));
        QVERIFY(visit.entered);

        TForm1 form;
        // What the busy window shows as cameras answer: its rows and its count.
        QStringList seen;
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (!form.LabelPleaseWait->isVisible()) return;
            QString rows;
            for (int r = 0; r < form.StringGrid1->rowCount(); ++r)
                rows += (form.StringGrid1->item(r, 0) ? form.StringGrid1->item(r, 0)->text() : "?") + ",";
            seen.append(form.LabelCamFound->text() + ": " + rows);
        });
        watch.start(5);
        form.show();
        QTRY_COMPARE_WITH_TIMEOUT(form.LabelCamFound->text(), QString("2 cameras found"), 30000);
        watch.stop();
        // Each camera shows as it answers, whichever discovery heard it first
        // (both run at once, so answers may land between two looks); the count
        // follows the rows, and the grid was emptied when the scan began. At
        // the end the rows stand in the list's order.
        seen.removeDuplicates();
        const QString first = seen.back() == "2 cameras found: Gate,Lobby," ? "Gate," : "Lobby,";
        const QString second = first == "Gate," ? "Lobby," : "Gate,";
        const QStringList states = {"0 cameras found: ", "1 cameras found: " + first,
                                    "2 cameras found: " + first + second};
        QCOMPARE(seen.back(), states.back());
        qsizetype last = -1;
        for (const QString& state : seen) {
            QVERIFY2(states.indexOf(state) > last, qPrintable(seen.join(" | ")));
            last = states.indexOf(state);
        }
        QCOMPARE(form.StringGrid1->rowCount(), 2);
        QCOMPARE(form.StringGrid1->item(0, 0)->text(), QString("Lobby"));
        QCOMPARE(form.StringGrid1->item(1, 0)->text(), QString("Gate"));
        QCOMPARE(form.StringGrid1->item(1, 3)->text(), QString("10.77.0.11"));
        QCOMPARE(form.ButtonRescan->text(), QString("Refresh"));

        // Refresh while the command-line tool scans on the same PC: both list every camera.
        auto cli = lan.Start("pc", {VANTREL_CLI, "scan"});
        QVERIFY(cli);
        form.ButtonRescanClick();
        QCOMPARE(form.LabelCamFound->text(), QString("2 cameras found"));
        QCOMPARE(cli->Wait(std::chrono::seconds(60)), 0);
        QCOMPARE(QString::fromStdString(cli->Output()), QString("Camera Name\tType\tHardware Address\tIP Address\n"
                                                                "Lobby\tZC-100\t02:e5:a1:00:00:05\t10.77.0.10\n"
                                                                "Gate\tZC-100\t02:e5:a1:00:00:85\t10.77.0.11\n"));
    }
};

QTEST_MAIN(TestWindowLan)
#include "window_lan_test.moc"
