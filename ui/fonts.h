#pragma once
// The window's fonts are Windows faces; map them to metric-compatible
// Liberation faces so that every text fits its control.
#include <QFont>

void InstallFontSubstitutes();

// A font `pixels` high (not points: the layouts are in pixels).
QFont PixelFont(const char* family, int pixels, bool bold = false);

// The font of the main window and of both dialogs.
QFont WindowFont();
