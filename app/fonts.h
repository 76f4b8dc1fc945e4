#pragma once
// The window's fonts are Windows faces; map them to metric-compatible
// Liberation faces so that every text fits its control.
void InstallFontSubstitutes();
