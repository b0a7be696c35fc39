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
// What a screen-mode change keeps of the default font across the end and
// start of graphics.
struct DefaultFontSettings {
  char face[256];
  int size;
  int thickness;
};
void GetDefaultFontSettings(DefaultFontSettings* out);
void RestoreDefaultFontSettings(const DefaultFontSettings& settings);

}  // namespace qz
