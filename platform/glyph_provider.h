// Where the GDI font stand-in gets its glyphs: a provider opens a face for a
// font request and renders code-page characters. FreeType with fontconfig is
// the system's provider; tests install a synthetic one whose boxes and
// metrics they choose, so cache and layout results are exact.
//
// The system's provider takes fontconfig's best match for the face, weight,
// slant and the code page's language (faces arrive as code-page bytes), sized
// so that the Windows ascent plus descent is the cell height.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace plat {

struct GlyphFaceRequest {
  int height;             // > 0 cell height, < 0 em height
  int weight;             // 100 .. 900
  bool italic;
  bool fixedPitch;
  std::uint32_t codePage;  // of the face name and of the characters
  std::string faceUtf8;
};

struct GlyphFaceMetrics {
  int height;
  int ascent;
  int descent;
  int internalLeading;
  int externalLeading;
  int averageWidth;
  int maxWidth;
};

// A rendered glyph: the black box, its top-left corner from the pen (y up)
// and the advance. `levels` holds width x height values, row by row: 0 or 1
// for a monochrome request, 0 .. 16 for a grey one.
struct GlyphImage {
  int width;
  int height;
  int originX;
  int originY;
  int advance;
  std::vector<std::uint8_t> levels;
};

class GlyphFace {
 public:
  virtual ~GlyphFace() = default;
  virtual GlyphFaceMetrics Metrics() const = 0;
  // False when the character cannot be rendered.
  virtual bool Render(std::uint32_t code, bool grey, GlyphImage* out) = 0;
  virtual std::string Family() const = 0;
};

class GlyphProvider {
 public:
  virtual ~GlyphProvider() = default;
  // Null when no face can be opened.
  virtual std::unique_ptr<GlyphFace> Open(const GlyphFaceRequest& request) = 0;
};

// The provider of every later CreateFontA; null gives back the system's.
// Fonts already made keep their faces.
void SetGlyphProviderForTest(GlyphProvider* provider);

// Fixed boxes and metrics for exact tests. Every character not listed gets
// `defaultGlyph`; a listed glyph with empty levels is a filled box of level 16
// (grey) or 1 (mono). Metrics follow the requested height: tmHeight = height,
// ascent = height - descent.
struct SyntheticGlyph {
  int width;
  int height;
  int originX;
  int originY;
  int advance;
  std::vector<std::uint8_t> greyLevels;  // 0 .. 16, width x height; empty: full
};

class SyntheticGlyphProvider : public GlyphProvider {
 public:
  int descent = 2;
  int internalLeading = 0;
  int externalLeading = 0;
  int maxWidth = 8;
  SyntheticGlyph defaultGlyph = {6, 10, 1, 10, 8, {}};
  std::map<std::uint32_t, SyntheticGlyph> glyphs;
  // Requests it refuses (a system without the face).
  std::function<bool(const GlyphFaceRequest&)> refuse;
  int opened = 0;
  int rendered = 0;

  std::unique_ptr<GlyphFace> Open(const GlyphFaceRequest& request) override;
};

// The FreeType provider over fontconfig's best match.
std::unique_ptr<GlyphProvider> MakeFreeTypeGlyphProvider();

}  // namespace plat
