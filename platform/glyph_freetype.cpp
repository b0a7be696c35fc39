// The system's glyph provider: fontconfig picks the face that best matches
// the request (family, weight, slant, mono spacing, language of the code
// page) and FreeType renders it. The size is set so that the face's Windows
// ascent plus descent equals the requested cell height, which is how GDI
// sizes a font; the metrics follow from the same values.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H
#include <iconv.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/glyph_provider.h"

namespace plat {
namespace {

FT_Library FreeTypeLibrary() {
  static FT_Library library = [] {
    FT_Library made = nullptr;
    if (FT_Init_FreeType(&made) != 0) return static_cast<FT_Library>(nullptr);
    return made;
  }();
  return library;
}

const char* LanguageOfCodePage(std::uint32_t codePage) {
  switch (codePage) {
    case 932: return "ja";
    case 949: return "ko";
    case 950: return "zh-tw";
    case 936: return "zh-cn";
    default: return nullptr;
  }
}

struct FaceFile {
  std::string path;
  int index = 0;
  std::string family;
};

// fontconfig's configuration, loaded once and given back at exit.
bool FontconfigReady() {
  static const bool ready = [] {
    if (FcInit() == FcFalse) return false;
    std::atexit([] { FcFini(); });
    return true;
  }();
  return ready;
}

bool MatchFace(const GlyphFaceRequest& request, FaceFile* out) {
  if (!FontconfigReady()) return false;
  FcPattern* pattern = FcPatternCreate();
  if (!request.faceUtf8.empty()) {
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(request.faceUtf8.c_str()));
  }
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(request.weight));
  FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  if (request.fixedPitch) FcPatternAddInteger(pattern, FC_SPACING, FC_MONO);
  if (const char* language = LanguageOfCodePage(request.codePage)) {
    FcPatternAddString(pattern, FC_LANG, reinterpret_cast<const FcChar8*>(language));
  }
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (match == nullptr) return false;
  FcChar8* file = nullptr;
  FcChar8* family = nullptr;
  bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch;
  if (found) {
    out->path = reinterpret_cast<const char*>(file);
    if (FcPatternGetInteger(match, FC_INDEX, 0, &out->index) != FcResultMatch) out->index = 0;
    if (FcPatternGetString(match, FC_FAMILY, 0, &family) == FcResultMatch) {
      out->family = reinterpret_cast<const char*>(family);
    }
  }
  FcPatternDestroy(match);
  return found;
}

int Round26Dot6(FT_Pos value) { return static_cast<int>((value + 32) >> 6); }

class FreeTypeFace : public GlyphFace {
 public:
  FreeTypeFace(FT_Face face, const GlyphFaceRequest& request, std::string family)
      : face_(face), family_(std::move(family)) {
    char codePageName[16];
    std::snprintf(codePageName, sizeof(codePageName), "CP%u", request.codePage);
    toUnicode_ = iconv_open("UTF-32LE", codePageName);
    emboldened_ = request.weight >= 600 && (face->style_flags & FT_STYLE_FLAG_BOLD) == 0;
    slanted_ = request.italic && (face->style_flags & FT_STYLE_FLAG_ITALIC) == 0;
    SetSize(request.height);
  }
  ~FreeTypeFace() override {
    if (toUnicode_ != reinterpret_cast<iconv_t>(-1)) iconv_close(toUnicode_);
    FT_Done_Face(face_);
  }

  GlyphFaceMetrics Metrics() const override { return metrics_; }
  std::string Family() const override { return family_; }

  bool Render(std::uint32_t code, bool grey, GlyphImage* out) override {
    const FT_UInt index = FT_Get_Char_Index(face_, ToUnicode(code));
    const FT_Int32 load = grey ? FT_LOAD_DEFAULT : FT_LOAD_TARGET_MONO;
    if (FT_Load_Glyph(face_, index, load) != 0) return false;
    FT_GlyphSlot slot = face_->glyph;
    if (emboldened_) FT_GlyphSlot_Embolden(slot);
    if (slanted_) FT_GlyphSlot_Oblique(slot);
    if (FT_Render_Glyph(slot, grey ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0) return false;
    const FT_Bitmap& bitmap = slot->bitmap;
    out->width = static_cast<int>(bitmap.width);
    out->height = static_cast<int>(bitmap.rows);
    out->originX = slot->bitmap_left;
    out->originY = slot->bitmap_top;
    out->advance = Round26Dot6(slot->advance.x);
    out->levels.assign(static_cast<std::size_t>(out->width) * out->height, 0);
    for (int y = 0; y < out->height; ++y) {
      const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
      for (int x = 0; x < out->width; ++x) {
        int level;
        if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
          level = (row[x >> 3] >> (7 - (x & 7))) & 1;
          if (grey) level *= 16;
        } else {
          const int coverage = row[x];
          level = grey ? (coverage * 16 + 127) / 255 : (coverage >= 128 ? 1 : 0);
        }
        out->levels[static_cast<std::size_t>(y) * out->width + x] = static_cast<std::uint8_t>(level);
      }
    }
    return true;
  }

 private:
  FT_ULong ToUnicode(std::uint32_t code) {
    if (toUnicode_ == reinterpret_cast<iconv_t>(-1)) return code;
    char bytes[2];
    std::size_t length = 0;
    if (code > 0xFF) bytes[length++] = static_cast<char>(code >> 8);
    bytes[length++] = static_cast<char>(code & 0xFF);
    std::uint32_t unicode = 0;
    char* in = bytes;
    char* outBytes = reinterpret_cast<char*>(&unicode);
    std::size_t outLeft = sizeof(unicode);
    iconv(toUnicode_, nullptr, nullptr, nullptr, nullptr);
    if (iconv(toUnicode_, &in, &length, &outBytes, &outLeft) == static_cast<std::size_t>(-1)) return 0;
    return unicode;
  }

  void SetSize(int requested) {
    const TT_OS2* os2 = static_cast<const TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
    const TT_HoriHeader* hhea = static_cast<const TT_HoriHeader*>(FT_Get_Sfnt_Table(face_, FT_SFNT_HHEA));
    const double unitsPerEm = face_->units_per_EM > 0 ? face_->units_per_EM : 1000;
    double winAscent = face_->ascender;
    double winDescent = -face_->descender;
    if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
      winAscent = os2->usWinAscent;
      winDescent = os2->usWinDescent;
    }
    const double cellUnits = std::max(1.0, winAscent + winDescent);
    const int height = requested > 0 ? requested
                                     : std::max(1, static_cast<int>(std::lround(-requested * cellUnits / unitsPerEm)));
    const double scale = height / cellUnits;
    const double emPixels = unitsPerEm * scale;
    FT_Size_RequestRec size = {FT_SIZE_REQUEST_TYPE_NOMINAL, 0, static_cast<FT_Long>(std::lround(emPixels * 64)),
                               0, 0};
    FT_Request_Size(face_, &size);
    metrics_.height = height;
    metrics_.ascent = static_cast<int>(std::lround(winAscent * scale));
    metrics_.descent = height - metrics_.ascent;
    metrics_.internalLeading = std::max(0, height - static_cast<int>(std::lround(emPixels)));
    int lineGap = 0;
    if (hhea != nullptr) {
      lineGap = std::max(0, hhea->Line_Gap - static_cast<int>(cellUnits - (hhea->Ascender - hhea->Descender)));
    }
    metrics_.externalLeading = static_cast<int>(std::lround(lineGap * scale));
    const double averageUnits = os2 != nullptr && os2->version != 0xFFFF ? os2->xAvgCharWidth : 0;
    metrics_.averageWidth = static_cast<int>(std::lround(averageUnits * scale));
    const double widest =
        face_->max_advance_width > 0 ? face_->max_advance_width : face_->bbox.xMax - face_->bbox.xMin;
    metrics_.maxWidth = std::max(1, static_cast<int>(std::ceil(widest * scale)));
  }

  FT_Face face_;
  std::string family_;
  iconv_t toUnicode_;
  bool emboldened_ = false;
  bool slanted_ = false;
  GlyphFaceMetrics metrics_ = {};
};

class FreeTypeGlyphProvider : public GlyphProvider {
 public:
  std::unique_ptr<GlyphFace> Open(const GlyphFaceRequest& request) override {
    FT_Library library = FreeTypeLibrary();
    FaceFile file;
    if (library == nullptr || !MatchFace(request, &file)) return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(library, file.path.c_str(), file.index, &face) != 0) return nullptr;
    return std::make_unique<FreeTypeFace>(face, request, file.family);
  }
};

}  // namespace

std::unique_ptr<GlyphProvider> MakeFreeTypeGlyphProvider() { return std::make_unique<FreeTypeGlyphProvider>(); }

}  // namespace plat
