#include "vantrel_application.h"

#include <exception>

VantrelApplication::VantrelApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool VantrelApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        if (escaped.isEmpty()) escaped = QString::fromLocal8Bit(e.what());
    } catch (...) {
        if (escaped.isEmpty()) escaped = "Unknown exception";
    }
    exit(0);
    return false;
}
