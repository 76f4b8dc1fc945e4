#pragma once
// A camera's 8-bit (Latin-1) text as every window shows it: platform::VisibleText's form.
#include <QString>

QString CameraText(const char* text);
