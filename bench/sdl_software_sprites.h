// SDL2's software renderer drawing onto an ARGB8888 screen surface from one
// blended sheet texture: the baseline the sprite benchmarks compare against.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

class SdlSoftwareSprites {
 public:
  // `pixels` (ARGB8888 rows of sheetW) must outlive the object; on failure
  // texture() is null and SDL_GetError() says why.
  SdlSoftwareSprites(std::vector<std::uint32_t>& pixels, int sheetW, int sheetH, int screenW, int screenH)
      : sheet_(SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), sheetW, sheetH, 32, sheetW * 4,
                                                  SDL_PIXELFORMAT_ARGB8888)),
        screen_(SDL_CreateRGBSurfaceWithFormat(0, screenW, screenH, 32, SDL_PIXELFORMAT_ARGB8888)),
        renderer_(screen_ != nullptr ? SDL_CreateSoftwareRenderer(screen_) : nullptr),
        texture_(renderer_ != nullptr ? SDL_CreateTextureFromSurface(renderer_, sheet_) : nullptr) {
    if (texture_ != nullptr) SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_BLEND);
  }
  ~SdlSoftwareSprites() {
    if (texture_ != nullptr) SDL_DestroyTexture(texture_);
    if (renderer_ != nullptr) SDL_DestroyRenderer(renderer_);
    SDL_FreeSurface(screen_);
    SDL_FreeSurface(sheet_);
  }
  SdlSoftwareSprites(const SdlSoftwareSprites&) = delete;
  SdlSoftwareSprites& operator=(const SdlSoftwareSprites&) = delete;

  SDL_Renderer* renderer() const { return renderer_; }
  SDL_Texture* texture() const { return texture_; }

 private:
  SDL_Surface* sheet_;
  SDL_Surface* screen_;
  SDL_Renderer* renderer_;
  SDL_Texture* texture_;
};
