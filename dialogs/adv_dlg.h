#pragma once
// The Edit camera settings dialog: a camera's name, timezone and analog video
// output. Only the name is checked; the Edit command fills the dialog, shows
// or hides the timezone and analog rows per model and, after OK, reads the
// three texts as they stand.
#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TAdvDlg : public QDialog {
    Q_OBJECT

public:
    explicit TAdvDlg(QWidget* parent = nullptr);

    QLabel* Label3;
    QLabel* LabelSvrType;
    QLabel* Label4;
    QLabel* LabelHWAddr;
    QLabel* Label2;
    QLineEdit* EditName;
    QLabel* LabelTimezone;
    QComboBox* ComboBoxTimezone;
    QLabel* LabelAnalog;
    QComboBox* ComboBoxAnalog;
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

    void OKBtnClick();
    void CancelBtnClick();

protected:
    void showEvent(QShowEvent* event) override;
};
