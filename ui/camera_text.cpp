#include "camera_text.h"

#include "visible_text.h"

QString CameraText(const char* text) {
    return QString::fromStdString(platform::VisibleText(platform::Latin1ToUtf8(text)));
}
