// The default font and the font system's start, reset and end.
#pragma once

namespace qz {

int SetDefaultFontSizeThickness(int size, int thickness);
int SetDefaultFontSize(int size);
int SetDefaultFontFace(const char* face, int charset);
int SetDefaultFontType(int type);
// Re-creates the default font when a setting differs from the live one.
int RefreshDefaultFont();
int InitFontDefaults();
int InitializeFontSystem();
int TerminateFontSystem();
}  // namespace qz
