// The synthetic glyph provider: boxes and metrics chosen by a test.
#include "platform/glyph_provider.h"

namespace plat {
namespace {

class SyntheticFace : public GlyphFace {
 public:
  SyntheticFace(SyntheticGlyphProvider* owner, int height) : owner_(owner), height_(height) {}

  GlyphFaceMetrics Metrics() const override {
    GlyphFaceMetrics metrics = {};
    metrics.height = height_;
    metrics.descent = owner_->descent;
    metrics.ascent = height_ - owner_->descent;
    metrics.internalLeading = owner_->internalLeading;
    metrics.externalLeading = owner_->externalLeading;
    metrics.averageWidth = owner_->defaultGlyph.advance;
    metrics.maxWidth = owner_->maxWidth;
    return metrics;
  }

  std::string Family() const override { return "synthetic"; }

  bool Render(std::uint32_t code, bool grey, GlyphImage* out) override {
    ++owner_->rendered;
    const auto found = owner_->glyphs.find(code);
    const SyntheticGlyph& glyph = found != owner_->glyphs.end() ? found->second : owner_->defaultGlyph;
    out->width = glyph.width;
    out->height = glyph.height;
    out->originX = glyph.originX;
    out->originY = glyph.originY;
    out->advance = glyph.advance;
    const std::size_t count = static_cast<std::size_t>(glyph.width) * glyph.height;
    if (glyph.greyLevels.size() == count) {
      out->levels = glyph.greyLevels;
      if (!grey) {
        for (std::uint8_t& level : out->levels) level = level >= 8 ? 1 : 0;
      }
    } else {
      out->levels.assign(count, grey ? 16 : 1);
    }
    return true;
  }

 private:
  SyntheticGlyphProvider* owner_;
  int height_;
};

}  // namespace

std::unique_ptr<GlyphFace> SyntheticGlyphProvider::Open(const GlyphFaceRequest& request) {
  if (refuse && refuse(request)) return nullptr;
  ++opened;
  const int height = request.height > 0 ? request.height : -request.height + internalLeading;
  return std::make_unique<SyntheticFace>(this, height);
}

}  // namespace plat
