#pragma once
// Waits that keep the window painted and answering the desktop while the user
// sees it busy: mouse and key input and close requests are discarded (not
// deferred) until the wait ends, so nothing can start another command.
#include <QObject>
#include <functional>

class BusyWait : public QObject {
    Q_OBJECT

public:
    // Runs `work` on a worker thread; returns when it has ended.
    static void Run(const std::function<void()>& work);
    // Waits `ms` milliseconds.
    static void Sleep(int ms);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    BusyWait();
    ~BusyWait() override;
};
