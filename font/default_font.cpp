// The default font and the font system's start and end.
#include "font/default_font.h"

namespace qz {

int SetDefaultFontSizeThickness(int, int) { return 0; }
int SetDefaultFontSize(int) { return 0; }
int SetDefaultFontFace(const char*, int) { return 0; }
int SetDefaultFontType(int) { return 0; }
int RefreshDefaultFont() { return 0; }
int InitFontDefaults() { return 0; }
int InitializeFontSystem() { return 0; }
int TerminateFontSystem() { return 0; }
void GetDefaultFontSettings(DefaultFontSettings* out) { *out = DefaultFontSettings{}; }
void RestoreDefaultFontSettings(const DefaultFontSettings&) {}

}  // namespace qz
