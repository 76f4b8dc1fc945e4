#include "fonts.h"

#include <QFont>

void InstallFontSubstitutes() {
    // Without these, fontconfig falls back to the wider DejaVu Sans.
    QFont::insertSubstitution("MS Sans Serif", "Liberation Sans");
    QFont::insertSubstitution("Arial", "Liberation Sans");
    // Drawn bold by the window: Liberation Sans Bold fits the wait label.
    QFont::insertSubstitution("Arial Black", "Liberation Sans");
}
