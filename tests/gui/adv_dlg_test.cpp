// The Edit camera settings dialog, offscreen.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

#include "fonts.h"
#include "adv_dlg.h"
#include "message_boxes.h"

class TestAdvDlg : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TAdvDlg> dlg;

    // What the Edit command and the settings access do before showing it.
    void Open(const QString& name) {
        dlg->hide();
        dlg->LabelSvrType->setText("ZC-100");
        dlg->LabelHWAddr->setText("02:e5:a1:00:00:05");
        dlg->EditName->setText(name);
        dlg->ComboBoxTimezone->clear();
        dlg->ComboBoxTimezone->setEditText("CET");
        dlg->ComboBoxTimezone->addItems({"CET", "GMT", "EST5EDT"});
        dlg->ComboBoxAnalog->clear();
        dlg->ComboBoxAnalog->setEditText("ntsc");
        dlg->ComboBoxAnalog->addItems({"ntsc", "pal", "disabled"});
        dlg->show();
        QApplication::setActiveWindow(dlg.get());  // offscreen, a window shown again is not activated
        QVERIFY(QTest::qWaitForWindowActive(dlg.get()));
    }

private slots:
    void initTestCase() { InstallFontSubstitutes(); }
    void init() { dlg = std::make_unique<TAdvDlg>(); }
    void cleanup() { dlg.reset(); }

    void nameCheckGivesOneBoxPerPress() {
        const QString tooLong = "Name exceeds maximum of 16 characters";
        const QString badChar = "Invalid name.  Use alphanumeric, '-' or '_' only";
        const QList<QPair<QString, QString>> names = {
            {"Abcdefghij-_4567", ""},
            {"Abcdefghij-_45678", tooLong},
            {"a b c d e f g h i", tooLong},
            {"", ""},
            {"Lobby 2", badChar},
            {"cam.01", badChar},
            {"Caf\u00e9", badChar},
            {"\u03a9mega", badChar},
            {"a b.c\u00e9 d", badChar},
            {"cam-01", ""},
            {"LOBBY_2", ""},
        };
        for (const auto& [name, message] : names) {
            Open(name);
            MessageBoxes boxes;
            QTest::mouseClick(dlg->OKBtn, Qt::LeftButton);
            if (message.isEmpty()) {
                QVERIFY2(boxes.seen.isEmpty(), qPrintable(name));
                QCOMPARE(dlg->result(), int(QDialog::Accepted));
                continue;
            }
            QCOMPARE(boxes.Texts(), QStringList({message}));
            QCOMPARE(boxes.seen[0].title, QString("Error"));
            QCOMPARE(boxes.seen[0].icon, QMessageBox::Critical);
            QCOMPARE(boxes.seen[0].buttons, QMessageBox::Ok);
            QVERIFY(dlg->isVisible());
            QCOMPARE(dlg->EditName->text(), name);
        }
    }

    void anyComboTextPassesAsTyped() {
        Open("Lobby");
        dlg->ComboBoxTimezone->lineEdit()->selectAll();
        QTest::keyClicks(dlg->ComboBoxTimezone->lineEdit(), "Mars/Olympus Mons");
        dlg->ComboBoxAnalog->lineEdit()->selectAll();
        QTest::keyClicks(dlg->ComboBoxAnalog->lineEdit(), "secam");
        MessageBoxes boxes;
        QTest::keyClick(dlg->EditName, Qt::Key_Return);  // Enter: Apply
        QVERIFY(boxes.seen.isEmpty());
        QCOMPARE(dlg->result(), int(QDialog::Accepted));
        QCOMPARE(dlg->ComboBoxTimezone->currentText(), QString("Mars/Olympus Mons"));
        QCOMPARE(dlg->ComboBoxAnalog->currentText(), QString("secam"));
        QCOMPARE(dlg->ComboBoxAnalog->count(), 3);

        Open("Lobby");
        QTest::keyClick(dlg.get(), Qt::Key_Escape);
        QCOMPARE(dlg->result(), int(QDialog::Rejected));
        QVERIFY(!dlg->isVisible());
    }
};

QTEST_MAIN(TestAdvDlg)
#include "adv_dlg_test.moc"
