#pragma once
// Answers the modal message boxes a call opens and keeps what each showed.
#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

struct SeenBox {
    QString text, title;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
};

class MessageBoxes {
public:
    // `answers` in turn, each pressed with the space bar; after them, Enter (the default button).
    explicit MessageBoxes(QList<QMessageBox::StandardButton> answers = {}) : answers(std::move(answers)) {
        QObject::connect(&poll, &QTimer::timeout, [this] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !box->isVisible()) return;
            seen.append({box->text(), box->windowTitle(), box->icon(), box->standardButtons()});
            if (this->answers.isEmpty())
                QTest::keyClick(box, Qt::Key_Return);
            else
                QTest::keyClick(box->button(this->answers.takeFirst()), Qt::Key_Space);
        });
        poll.start(10);
    }
    QStringList Texts() const {
        QStringList texts;
        for (const SeenBox& box : seen) texts << box.text;
        return texts;
    }
    QList<SeenBox> seen;

private:
    QList<QMessageBox::StandardButton> answers;
    QTimer poll;
};
