#include "busy_wait.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QTimer>
#include <thread>

BusyWait::BusyWait() { qApp->installEventFilter(this); }

BusyWait::~BusyWait() { qApp->removeEventFilter(this); }

bool BusyWait::eventFilter(QObject*, QEvent* event) {
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::ContextMenu:
    case QEvent::TabletPress:
    case QEvent::TabletRelease: return true;
    case QEvent::Close:
        event->ignore();  // the window stays; the request is not kept for later
        return true;
    default: return false;
    }
}

void BusyWait::Run(const std::function<void()>& work) {
    BusyWait filter;
    QEventLoop loop;
    std::thread worker([&] {
        work();
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
}

void BusyWait::Sleep(int ms) {
    BusyWait filter;
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}
