// The main window's behaviour, offscreen.
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>
#include <QtTest>

#include "fonts.h"
#include "form1.h"
#include "assign_dlg.h"
#include "message_boxes.h"
#include "scripted_discovery.h"

class TestForm1 : public QObject {
    Q_OBJECT

private:
    ScriptedDiscovery discovery;
    std::unique_ptr<TForm1> form;

    // A shown window whose automatic scan is stopped; the test scans itself.
    void MakeForm() {
        form = std::make_unique<TForm1>([this] { return discovery.MakeScanner(); });
        form->Timer1->stop();
        form->show();
    }
    QStringList Column(int c) const {
        QStringList texts;
        for (int r = 0; r < form->StringGrid1->rowCount(); ++r) {
            QTableWidgetItem* item = form->StringGrid1->item(r, c);
            texts << (item ? item->text() : QString());
        }
        return texts;
    }
    void ClickHeading(int column, Qt::MouseButton button = Qt::LeftButton) {
        QHeaderView* heading = form->StringGrid1->horizontalHeader();
        QTest::mouseClick(heading->viewport(), button, {},
                          QPoint(heading->sectionViewportPosition(column) + 10, heading->height() / 2));
    }
    void SelectRow(int gridRow) { form->StringGrid1->setCurrentCell(gridRow - 1, 0); }

private slots:
    void initTestCase() { InstallFontSubstitutes(); }

    void init() {
        discovery.Release();
        discovery.scans = 0;
        discovery.cameras = {
            MakeCamera("Lobby", "ZC-100", "02:e5:a1:00:00:05", "10.0.0.10"),
            MakeCamera("Gate", "ZD-2", "02:e5:a1:00:00:85", "10.0.0.9"),
            MakeCamera("New", "ZC-100", "02:e5:a1:00:00:40", "0.0.0.0"),
        };
    }
    void cleanup() {
        form.reset();
        discovery.outcome = {};
    }

    void startupStateAndTheOneAutomaticScan() {
        form = std::make_unique<TForm1>([this] { return discovery.MakeScanner(); });
        form->show();
        QCOMPARE(form->windowTitle(), QString("Vantrel Version 2.6"));
        QCOMPARE(form->size(), QSize(659, 375));
        QCOMPARE(form->LabelCamFound->text(), QString("0 cameras found"));
        QCOMPARE(form->StringGrid1->rowCount(), 1);  // the heading row and one empty row
        QCOMPARE(form->StringGrid1->horizontalHeaderItem(2)->text(), QString("Hardware Address"));
        QVERIFY(form->LabelPleaseWait->isHidden());
        QVERIFY(form->ButtonRescan->isVisible());
        QCOMPARE(form->scanner->sortMode, 3);
        QCOMPARE(discovery.scans, 0);

        QElapsedTimer shown;
        shown.start();
        QTRY_COMPARE_WITH_TIMEOUT(discovery.scans, 1, 10000);
        QVERIFY2(shown.elapsed() >= 900, "the automatic scan came before its second");
        QTRY_COMPARE(form->LabelCamFound->text(), QString("3 cameras found"));
        QCOMPARE(Column(3), QStringList({"0.0.0.0", "10.0.0.9", "10.0.0.10"}));
        QTest::qWait(2500);
        QCOMPARE(discovery.scans, 1);  // no second automatic scan
    }

    // Refresh before the start-up tick: the tick comes during that scan and
    // must neither start a second one on the same scanner nor run it later.
    void refreshBeforeTheFirstTickRunsOneScanAtATime() {
        form = std::make_unique<TForm1>([this] { return discovery.MakeScanner(); });
        form->show();
        discovery.Hold();
        QTimer::singleShot(500, [&] { QTest::mouseClick(form->ButtonRescan, Qt::LeftButton); });
        QTimer::singleShot(1800, [&] { discovery.Release(); });
        QTRY_COMPARE_WITH_TIMEOUT(discovery.scans, 1, 10000);
        QTRY_VERIFY(form->LabelPleaseWait->isHidden());
        QTest::qWait(1500);
        QCOMPARE(discovery.mostAtOnce, 1);
        QCOMPARE(discovery.scans, 1);
        QCOMPARE(form->LabelCamFound->text(), QString("3 cameras found"));

        // A tick during a command that ends without a scan is owed one; no
        // other command starts meanwhile.
        MakeForm();
        discovery.scans = 0;
        form->Timer1->start(100);
        bool nested = true;
        QVERIFY(form->RunCommand([&] {
            QTest::qWait(600);  // the tick comes now
            nested = form->RunCommand([] {});
            QCOMPARE(discovery.scans, 0);
        }));
        QVERIFY(!nested);
        QTRY_COMPARE(discovery.scans, 1);
        QCOMPARE(discovery.mostAtOnce, 1);
    }

    // A scan that could not bind the reply port, found a cloned hardware
    // address and a full table: the port's box once a program start, the rest
    // on the status line, and the clone's assignment refused in the error box.
    void scanNotesAndTheRefusedAssignmentOfAClone() {
        CameraRecord clone = MakeRecord({.name = "Clone",
                                         .type = "ZC-100",
                                         .hw = "02:e5:a1:00:00:77",
                                         .ip = "10.0.0.30",
                                         .subnet = "255.255.255.0",
                                         .gateway = "10.0.0.1",
                                         .drovik = true,
                                         .httpPort = 80});
        clone.conflict = 1;
        discovery.cameras = {clone, clone};
        std::strcpy(discovery.cameras[1].ipAddrText, "10.0.0.31");
        discovery.outcome.portErrno = EADDRINUSE;
        discovery.outcome.portFailed = 43283;
        discovery.outcome.notListed = 37;
        MakeForm();
        form->AssignDlg = new TAssignDlg(form.get());
        MessageBoxes boxes;
        form->RunScan();
        form->RunScan();
        QCOMPARE(boxes.Texts(), QStringList({"Cameras that answer the broadcast cannot be found: UDP port 43283 is "
                                             "not available (Address already in use); only cameras found by "
                                             "multicast DNS are listed"}));
        QCOMPARE(boxes.seen[0].title, QString("Error"));
        QCOMPARE(form->LabelScanNote->text(),
                 QString("Two devices answer as 02:e5:a1:00:00:77: both are listed, assignment refused; "
                         "5000 cameras listed; 37 more answered and are not listed"));
        QCOMPARE(form->LabelCamFound->text(), QString("2 cameras found"));

        QTimer apply;
        QObject::connect(&apply, &QTimer::timeout, [&] {
            if (QApplication::activeModalWidget() == form->AssignDlg) form->AssignDlg->OKBtn->click();
        });
        apply.start(10);
        SelectRow(1);
        form->ButtonEdit->click();
        QCOMPARE(boxes.Texts().size(), 2);
        QCOMPARE(boxes.seen[1].text, QString("Two devices answer with this hardware address: assignment refused"));
        QCOMPARE(boxes.seen[1].title, QString("Error"));

        // A scan without them clears the line and shows no box.
        discovery.outcome = {};
        discovery.cameras.pop_back();
        discovery.cameras[0].conflict = 0;
        form->RunScan();
        QCOMPARE(form->LabelScanNote->text(), QString());
        QCOMPARE(boxes.Texts().size(), 2);
    }

    void busyModeDuringAScanAndTheCaptionRestored() {
        MakeForm();
        discovery.Hold();
        bool waitShown = false, buttonsHidden = false;
        QString waitText, refreshCaption;
        QTimer::singleShot(0, [&] {
            waitShown = form->LabelPleaseWait->isVisible();
            waitText = form->LabelPleaseWait->text();
            refreshCaption = form->ButtonRescan->text();
            buttonsHidden = form->ButtonEdit->isHidden() && form->ButtonAdv->isHidden() &&
                            form->ButtonOpen->isHidden() && form->ButtonRescan->isHidden();
            discovery.Release();
        });
        form->RunScan();
        QVERIFY(waitShown);
        QVERIFY(buttonsHidden);
        QCOMPARE(waitText, QString("Scanning.  Please wait..."));
        QCOMPARE(refreshCaption, QString("Scanning..."));
        QCOMPARE(form->ButtonRescan->text(), QString("Refresh"));
        QVERIFY(form->LabelPleaseWait->isHidden());
        QVERIFY(form->ButtonEdit->isVisible() && form->ButtonAdv->isVisible() && form->ButtonOpen->isVisible() &&
                form->ButtonRescan->isVisible());
        QCOMPARE(form->LabelCamFound->text(), QString("3 cameras found"));
    }

    void countLabelAndTheEmptyList() {
        MakeForm();
        discovery.cameras.resize(1);
        form->RunScan();
        QCOMPARE(form->LabelCamFound->text(), QString("1 cameras found"));
        // Every pixel of the text is inside the label: a roomy copy draws no ink past its width.
        for (int n : {1, 500}) {
            discovery.cameras.assign(n, discovery.cameras[0]);
            form->RunScan();
            QLabel roomy(form->LabelCamFound->text());
            roomy.setFont(form->LabelCamFound->font());
            roomy.resize(400, form->LabelCamFound->height());
            const QImage ink = roomy.grab().toImage();
            int right = -1;
            for (int x = 0; x < ink.width(); ++x)
                for (int y = 0; y < ink.height(); ++y)
                    if (ink.pixel(x, y) != ink.pixel(ink.width() - 1, 0)) right = x;
            QVERIFY(right > 0);
            QVERIFY2(right < form->LabelCamFound->width(), qPrintable(form->LabelCamFound->text()));
        }

        discovery.cameras.clear();
        form->RunScan();
        QCOMPARE(form->LabelCamFound->text(), QString("0 cameras found"));
        QCOMPARE(form->StringGrid1->rowCount(), 0);  // only the heading row
        QCOMPARE(form->SelectedRow(), 0);
        QVERIFY(form->ButtonAdv->isEnabled());
        QVERIFY(form->ButtonOpen->isEnabled());
    }

    void fillGridInBothDirections() {
        MakeForm();
        form->RunScan();
        QCOMPARE(Column(0), QStringList({"New", "Gate", "Lobby"}));
        QCOMPARE(Column(1), QStringList({"ZC-100", "ZD-2", "ZC-100"}));
        QCOMPARE(Column(2), QStringList({"02:e5:a1:00:00:40", "02:e5:a1:00:00:85", "02:e5:a1:00:00:05"}));
        form->ascending = false;
        form->FillGrid();
        QCOMPARE(Column(0), QStringList({"Lobby", "Gate", "New"}));
        QCOMPARE(form->StringGrid1->horizontalHeaderItem(0)->text(), QString("Camera Name"));
    }

    void headingClicksSortAndNothingElseDoes() {
        MakeForm();
        form->RunScan();
        const QStringList byIp = {"0.0.0.0", "10.0.0.9", "10.0.0.10"};
        ClickHeading(3);  // the order shown at start: reversed
        QCOMPARE(Column(3), QStringList({"10.0.0.10", "10.0.0.9", "0.0.0.0"}));
        ClickHeading(3, Qt::RightButton);
        QCOMPARE(Column(3), byIp);

        ClickHeading(1);
        ClickHeading(1, Qt::MiddleButton);  // descending by type
        QCOMPARE(Column(1), QStringList({"ZD-2", "ZC-100", "ZC-100"}));
        ClickHeading(0);  // another heading: ascending whatever the direction was
        QCOMPARE(Column(0), QStringList({"Gate", "Lobby", "New"}));
        QVERIFY(form->ascending);

        // A camera row and the blank area below the last row change nothing.
        QWidget* cells = form->StringGrid1->viewport();
        QTest::mouseClick(cells, Qt::LeftButton, {},
                          form->StringGrid1->visualRect(form->StringGrid1->model()->index(1, 2)).center());
        QTest::mouseClick(cells, Qt::RightButton, {}, QPoint(20, cells->height() - 5));
        QCOMPARE(Column(0), QStringList({"Gate", "Lobby", "New"}));
        QCOMPARE(form->scanner->sortMode, 0);

        // A rescan keeps the chosen column and a descending order.
        ClickHeading(0);
        form->RunScan();
        QCOMPARE(Column(0), QStringList({"New", "Lobby", "Gate"}));
    }

    void updateButtonsFollowsTheAddressText() {
        discovery.cameras = {
            MakeCamera("A", "", "", "0.0.0.0"),
            MakeCamera("B", "", "", "10.0.0.1"),
        };
        CameraRecord lookAlike = MakeCamera("C", "", "", "10.0.0.2");
        std::strcpy(lookAlike.ipAddrText, "0.0.0.01");
        CameraRecord blanks = MakeCamera("D", "", "", "10.0.0.3");
        std::strcpy(blanks.ipAddrText, " 0.0.0.0");
        CameraRecord empty = MakeCamera("E", "", "", "10.0.0.4");
        empty.ipAddrText[0] = '\0';
        discovery.cameras.insert(discovery.cameras.end(), {lookAlike, blanks, empty});
        MakeForm();
        form->RunScan();
        QCOMPARE(Column(0), QStringList({"A", "B", "C", "D", "E"}));

        SelectRow(1);
        QVERIFY(!form->ButtonAdv->isEnabled());
        QVERIFY(!form->ButtonOpen->isEnabled());
        QVERIFY(form->ButtonEdit->isEnabled());
        QVERIFY(form->ButtonRescan->isEnabled());
        for (int row : {3, 4, 5, 2}) {
            SelectRow(1);
            SelectRow(row);
            QVERIFY2(form->ButtonAdv->isEnabled() && form->ButtonOpen->isEnabled(), qPrintable(Column(0)[row - 1]));
        }
    }

    void rowToRecordAfterAResort() {
        MakeForm();
        form->RunScan();
        SelectRow(1);  // "New", 0.0.0.0: Edit and Web Page off
        QVERIFY(!form->ButtonAdv->isEnabled());
        CameraRecord selected;
        QVERIFY(form->SelectedRecord(selected));
        QCOMPARE(QString(selected.name), QString("New"));

        ClickHeading(3);  // descending: row 1 now shows the last entry
        QCOMPARE(form->SelectedRow(), 1);
        QVERIFY(form->SelectedRecord(selected));
        QCOMPARE(QString(selected.name), QString("Lobby"));
        QVERIFY(!form->ButtonAdv->isEnabled());  // kept until the selection changes
        SelectRow(3);
        QVERIFY(form->SelectedRecord(selected));
        QCOMPARE(QString(selected.name), QString("New"));
        QVERIFY(!form->ButtonAdv->isEnabled());
        SelectRow(2);
        QVERIFY(form->ButtonAdv->isEnabled());
    }

    void windowPaintsButDiscardsInputDuringAScan() {
        MakeForm();
        form->RunScan();
        SelectRow(2);
        const QStringList before = Column(0);

        int paints = 0;
        struct PaintCounter : QObject {
            int* paints;
            bool eventFilter(QObject*, QEvent* e) override {
                if (e->type() == QEvent::Paint) ++*paints;
                return false;
            }
        } counter;
        counter.paints = &paints;
        form->installEventFilter(&counter);

        discovery.Hold();
        int paintsAtStart = -1, paintsLater = -1;
        bool closeAccepted = true;
        QTimer::singleShot(0, [&] {
            paintsAtStart = paints;
            form->update();
            // Input of every kind, sent at once and queued for later.
            ClickHeading(0);
            QTest::keyClick(form->StringGrid1, Qt::Key_Down);
            QHeaderView* heading = form->StringGrid1->horizontalHeader();
            const QPoint onHeading(heading->sectionViewportPosition(1) + 10, heading->height() / 2);
            QCoreApplication::postEvent(
                heading->viewport(),
                new QMouseEvent(QEvent::MouseButtonRelease, onHeading, heading->viewport()->mapToGlobal(onHeading),
                                Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
            QCoreApplication::postEvent(form->StringGrid1, new QKeyEvent(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier));
            closeAccepted = form->close();
            QCoreApplication::postEvent(form.get(), new QCloseEvent);
        });
        QTimer::singleShot(300, [&] {
            paintsLater = paints;
            discovery.Release();
        });
        form->RunScan();
        QVERIFY(paintsAtStart >= 0);
        QVERIFY2(paintsLater > paintsAtStart, "no paint event while the scan ran");
        QVERIFY(!closeAccepted);

        // Nothing is delivered afterwards either.
        QTest::qWait(200);
        QVERIFY(form->isVisible());
        QCOMPARE(Column(0), before);
        QCOMPARE(form->scanner->sortMode, 3);
        QCOMPARE(form->SelectedRow(), 2);
        form->removeEventFilter(&counter);
    }
};

QTEST_MAIN(TestForm1)
#include "form1_test.moc"
