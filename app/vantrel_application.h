#pragma once
// The application object: keeps an exception thrown by an event handler from
// unwinding through the event loop, and ends the loop so the entry can show it.
#include <QApplication>
#include <QString>

class VantrelApplication : public QApplication {
    Q_OBJECT

public:
    VantrelApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;

    // The message of the exception that ended the event loop; empty if none.
    QString escaped;
};
