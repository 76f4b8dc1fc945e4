#include "dialog_parts.h"

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QStyle>

#include "fonts.h"

namespace dialog_parts {

void SetUpFrame(QDialog* dialog, int width, int height) {
    dialog->setWindowTitle("Vantrel");
    dialog->setFont(WindowFont());
    dialog->setFixedSize(width, height);
    dialog->setSizeGripEnabled(false);
}

QLabel* MakeLabel(QWidget* parent, const char* name, const char* text, QRect where) {
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setObjectName(name);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(where);
    FitLabel(label);
    return label;
}

void FitLabel(QLabel* label) { label->resize(label->sizeHint().width(), label->height()); }

QLineEdit* MakeEdit(QWidget* parent, const char* name, QRect where) {
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    edit->setGeometry(where);
    return edit;
}

QPushButton* MakeButton(QWidget* parent, const char* name, const char* text, QRect where) {
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    button->setObjectName(name);
    button->setGeometry(where);
    return button;
}

void SetTabOrder(std::initializer_list<QWidget*> order) {
    QWidget* previous = nullptr;
    for (QWidget* w : order) {
        if (previous) QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

void PlaceAndFocus(QDialog* dialog, std::initializer_list<QWidget*> order) {
    const QRect screen = dialog->screen()->availableGeometry();
    dialog->move(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, dialog->size(), screen).topLeft());
    for (QWidget* w : order) {
        if (w->isEnabled() && !w->isHidden()) {
            w->setFocus(Qt::TabFocusReason);
            return;
        }
    }
}

void ShowError(QWidget* parent, const char* message) {
    QMessageBox box(QMessageBox::Critical, "Error", QString::fromLatin1(message), QMessageBox::Ok, parent);
    box.exec();
}

}  // namespace dialog_parts
