// GDI font objects and memory contexts over a glyph provider. A font keeps
// its face shared, so a context that still has a deleted font selected can
// go on using it, as GDI allows.
#include "platform/gdi_font.h"

#include <iconv.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "platform/glyph_provider.h"
#include "platform/window.h"

namespace plat {

struct GdiFont {
  std::shared_ptr<GlyphFace> face;
  std::string family;
};

// GDI callers ask for a glyph twice, first for its size and then for its
// bits, so the context keeps the last glyph the face rendered.
struct MemoryDeviceContext {
  HFONT selected = nullptr;
  std::shared_ptr<GlyphFace> face;
  bool lastValid = false;
  std::uint32_t lastCode = 0;
  bool lastGrey = false;
  GlyphImage last;
};

namespace {

std::atomic<int> gLiveFonts{0};
std::atomic<int> gLiveContexts{0};
GlyphProvider* gTestProvider = nullptr;

GlyphProvider& CurrentProvider() {
  static std::unique_ptr<GlyphProvider> system = MakeFreeTypeGlyphProvider();
  return gTestProvider != nullptr ? *gTestProvider : *system;
}

// 0 for DEFAULT_CHARSET and charsets without a code page of their own.
std::uint32_t CodePageOfCharset(std::uint32_t charset) {
  switch (charset) {
    case SHIFTJIS_CHARSET: return 932;
    case HANGUL_CHARSET: return 949;
    case CHINESEBIG5_CHARSET: return 950;
    case GB2312_CHARSET: return 936;
    default: return 0;
  }
}

std::string ToUtf8(const char* text, std::uint32_t codePage) {
  if (text == nullptr) return std::string();
  char name[16];
  std::snprintf(name, sizeof(name), "CP%u", codePage);
  iconv_t converter = iconv_open("UTF-8", name);
  if (converter == reinterpret_cast<iconv_t>(-1)) return text;
  std::size_t inLeft = std::strlen(text);
  std::string result(inLeft * 4 + 1, '\0');
  char* in = const_cast<char*>(text);
  char* out = result.data();
  std::size_t outLeft = result.size();
  const std::size_t done = iconv(converter, &in, &inLeft, &out, &outLeft);
  iconv_close(converter);
  if (done == static_cast<std::size_t>(-1)) return text;
  result.resize(result.size() - outLeft);
  return result;
}

// The library's code page, as the window start chooses it from the OEM code
// page: the Chinese and Korean pages stand, anything else is Shift-JIS.
std::uint32_t LibraryCodePage() {
  const std::uint32_t oem = GetOEMCP();
  return oem == 936 || oem == 949 || oem == 950 ? oem : 932;
}

}  // namespace

void SetGlyphProviderForTest(GlyphProvider* provider) { gTestProvider = provider; }

HFONT CreateFontA(int height, int, int, int, int weight, std::uint32_t italic, std::uint32_t, std::uint32_t,
                  std::uint32_t charset, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t pitchAndFamily,
                  const char* face) {
  const std::uint32_t own = CodePageOfCharset(charset);
  const std::uint32_t codePage = own != 0 ? own : LibraryCodePage();
  GlyphFaceRequest request;
  request.height = height;
  request.weight = weight <= 0 ? 400 : weight;
  request.italic = italic != 0;
  request.fixedPitch = (pitchAndFamily & 3) == FIXED_PITCH;
  request.codePage = codePage;
  request.faceUtf8 = ToUtf8(face, codePage);
  std::unique_ptr<GlyphFace> opened = CurrentProvider().Open(request);
  if (opened == nullptr) return nullptr;
  auto* font = new GdiFont{std::shared_ptr<GlyphFace>(std::move(opened)), std::string()};
  font->family = font->face->Family();
  ++gLiveFonts;
  return font;
}

int DeleteObject(HFONT font) {
  if (font == nullptr) return 0;
  delete font;
  --gLiveFonts;
  return 1;
}

HMEMDC CreateCompatibleDC(void*) {
  ++gLiveContexts;
  return new MemoryDeviceContext;
}

HFONT SelectObject(HMEMDC context, HFONT font) {
  if (context == nullptr || font == nullptr) return nullptr;
  HFONT previous = context->selected;
  context->selected = font;
  context->face = font->face;
  context->lastValid = false;
  return previous;
}

int DeleteDC(HMEMDC context) {
  if (context == nullptr) return 0;
  delete context;
  --gLiveContexts;
  return 1;
}

int GetTextMetricsA(HMEMDC context, TEXTMETRICA* metrics) {
  if (context == nullptr || context->face == nullptr || metrics == nullptr) return 0;
  const GlyphFaceMetrics face = context->face->Metrics();
  metrics->tmHeight = face.height;
  metrics->tmAscent = face.ascent;
  metrics->tmDescent = face.descent;
  metrics->tmInternalLeading = face.internalLeading;
  metrics->tmExternalLeading = face.externalLeading;
  metrics->tmAveCharWidth = face.averageWidth;
  metrics->tmMaxCharWidth = face.maxWidth;
  return 1;
}

std::uint32_t GetGlyphOutlineA(HMEMDC context, std::uint32_t code, std::uint32_t format, GLYPHMETRICS* metrics,
                               std::uint32_t bufferSize, void* buffer, const MAT2*) {
  if (context == nullptr || context->face == nullptr || metrics == nullptr) return GDI_ERROR;
  if (format != GGO_BITMAP && format != GGO_GRAY4_BITMAP) return GDI_ERROR;
  const bool grey = format == GGO_GRAY4_BITMAP;
  if (!context->lastValid || context->lastCode != code || context->lastGrey != grey) {
    context->lastValid = false;
    if (!context->face->Render(code, grey, &context->last)) return GDI_ERROR;
    context->lastValid = true;
    context->lastCode = code;
    context->lastGrey = grey;
  }
  const GlyphImage& image = context->last;
  metrics->gmBlackBoxX = static_cast<std::uint32_t>(image.width);
  metrics->gmBlackBoxY = static_cast<std::uint32_t>(image.height);
  metrics->gmptGlyphOrigin = {image.originX, image.originY};
  metrics->gmCellIncX = static_cast<std::int16_t>(image.advance);
  metrics->gmCellIncY = 0;
  const std::uint32_t pitch = grey ? (static_cast<std::uint32_t>(image.width) + 3) & ~3u
                                   : (static_cast<std::uint32_t>(image.width) + 31) / 32 * 4;
  const std::uint32_t size = pitch * static_cast<std::uint32_t>(image.height);
  if (buffer == nullptr || bufferSize == 0) return size;
  if (bufferSize < size) return GDI_ERROR;
  auto* bytes = static_cast<std::uint8_t*>(buffer);
  std::memset(bytes, 0, size);
  for (int y = 0; y < image.height; ++y) {
    std::uint8_t* row = bytes + pitch * static_cast<std::uint32_t>(y);
    const std::uint8_t* levels = image.levels.data() + static_cast<std::size_t>(y) * image.width;
    for (int x = 0; x < image.width; ++x) {
      if (grey) {
        row[x] = levels[x];
      } else if (levels[x] != 0) {
        row[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
      }
    }
  }
  return size;
}

int GetLiveGdiFontCount() { return gLiveFonts.load(); }
int GetLiveMemoryDcCount() { return gLiveContexts.load(); }
const char* GetGdiFontFamily(HFONT font) { return font != nullptr ? font->family.c_str() : ""; }

}  // namespace plat
