#include "fonts.h"

void InstallFontSubstitutes() {
    // Without these, fontconfig falls back to the wider DejaVu Sans.
    QFont::insertSubstitution("MS Sans Serif", "Liberation Sans");
    QFont::insertSubstitution("Arial", "Liberation Sans");
    // Drawn bold by the window: Liberation Sans Bold fits the wait label.
    QFont::insertSubstitution("Arial Black", "Liberation Sans");
}

QFont PixelFont(const char* family, int pixels, bool bold) {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QFont WindowFont() { return PixelFont("MS Sans Serif", 11); }
