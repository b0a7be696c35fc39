// Transformed drawing on a 640x480 32-bit software image: a 64x64 sprite with
// per-pixel alpha rotated and scaled, beside SDL2's software renderer doing
// the same work (SDL_RenderCopyEx with alpha blending onto an SDL_Surface);
// and a full-screen textured quad (a warp of a 640x480 source). Rates are
// destination pixels of the drawn sprite (its scaled area) per second.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <random>

#include "softrender/draw_state.h"
#include "softrender/mem_img.h"
#include "softrender/rotated.h"
#include "softrender/triangle.h"

namespace {

constexpr int kScreenW = 640;
constexpr int kScreenH = 480;
constexpr int kSprite = 64;

void FillRandom(std::uint8_t* pixels, std::size_t bytes, std::uint32_t seed) {
  std::mt19937 rng(seed);
  for (std::size_t i = 0; i < bytes; ++i) pixels[i] = static_cast<std::uint8_t>(rng());
}

// A sprite whose alpha runs over the whole range: opaque middle, a
// translucent ring and transparent corners, as game sprites have.
std::uint8_t SpriteAlpha(int x, int y) {
  const int dx = 2 * x - (kSprite - 1), dy = 2 * y - (kSprite - 1);
  const int r2 = dx * dx + dy * dy;
  if (r2 < 40 * 40) return 255;
  if (r2 > 64 * 64) return 0;
  return static_cast<std::uint8_t>(255 - (r2 - 1600) * 255 / (4096 - 1600));
}

struct Scene {
  qz::MEMIMG screen{};
  qz::MEMIMG sprite{};
  qz::MEMIMG warpSource{};
  Scene() {
    qz::BuildMemImgBlendTables();
    qz::InitMemImgEx(&screen, kScreenW, kScreenH, -1, 0, qz::kMemImgFormatXrgb32, 0, 0, 0, nullptr);
    qz::InitMemImgEx(&sprite, kSprite, kSprite, -1, 0, qz::kMemImgFormatXrgb32, 0, 1, 0, nullptr);
    qz::InitMemImgEx(&warpSource, kScreenW, kScreenH, -1, 0, qz::kMemImgFormatXrgb32, 0, 0, 0, nullptr);
    for (qz::MEMIMG* img : {&screen, &sprite, &warpSource}) {
      FillRandom(img->block->pixels, static_cast<std::size_t>(img->block->pitch) * static_cast<std::size_t>(img->height),
                 static_cast<std::uint32_t>(img->width));
    }
    for (int y = 0; y < kSprite; ++y) {
      for (int x = 0; x < kSprite; ++x) sprite.pixels[y * sprite.block->pitch + x * 4 + 3] = SpriteAlpha(x, y);
    }
    qz::gMemImgDrawState.blendMode = qz::kMemImgBlendNone;
    qz::gMemImgDrawState.blendParam = 255;
    qz::gMemImgDrawState.colorMod = 0xFFFFFF;
    qz::gMemImgDrawState.drawArea = qz::Rect{0, 0, kScreenW, kScreenH};
  }
  ~Scene() {
    qz::ReleaseMemImg(&warpSource);
    qz::ReleaseMemImg(&sprite);
    qz::ReleaseMemImg(&screen);
  }
};

// Centres visited in turn, all with the whole sprite on the screen.
struct Centres {
  int i = 0;
  void Next(int* x, int* y) {
    *x = 80 + (i * 37) % (kScreenW - 160);
    *y = 80 + (i * 23) % (kScreenH - 160);
    ++i;
  }
};

double Angle(const benchmark::State& state) { return static_cast<double>(state.range(0)) / 10.0; }
double Scale(const benchmark::State& state) { return static_cast<double>(state.range(1)) / 10.0; }

void SetRates(benchmark::State& state, double scale) {
  const double pixels = kSprite * scale * kSprite * scale;
  state.counters["pixels/s"] =
      benchmark::Counter(pixels * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.SetItemsProcessed(state.iterations());
}

// args: angle x 10 (radians), scale x 10
void BM_RotatedSprite(benchmark::State& state) {
  Scene scene;
  const auto angle = static_cast<float>(Angle(state)), scale = static_cast<float>(Scale(state));
  Centres centres;
  for (auto _ : state) {
    int x = 0, y = 0;
    centres.Next(&x, &y);
    qz::DrawMemImgRotated(&scene.screen, &scene.sprite, x, y, angle, scale, 0, 0, nullptr);
  }
  benchmark::DoNotOptimize(scene.screen.pixels[0]);
  SetRates(state, Scale(state));
}
BENCHMARK(BM_RotatedSprite)->ArgNames({"angle10", "scale10"})->Args({3, 10})->Args({10, 10})->Args({3, 15})->Args({10, 15});

// The same work through SDL2's software renderer over a surface.
void BM_SdlRenderCopyEx(benchmark::State& state) {
  SDL_Surface* screen = SDL_CreateRGBSurfaceWithFormat(0, kScreenW, kScreenH, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_Surface* sprite = SDL_CreateRGBSurfaceWithFormat(0, kSprite, kSprite, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_Renderer* renderer = screen != nullptr ? SDL_CreateSoftwareRenderer(screen) : nullptr;
  if (sprite == nullptr || renderer == nullptr) {
    state.SkipWithError(SDL_GetError());
    SDL_FreeSurface(sprite);
    SDL_FreeSurface(screen);
    return;
  }
  FillRandom(static_cast<std::uint8_t*>(screen->pixels), static_cast<std::size_t>(screen->pitch) * kScreenH, kScreenW);
  FillRandom(static_cast<std::uint8_t*>(sprite->pixels), static_cast<std::size_t>(sprite->pitch) * kSprite, kSprite);
  for (int y = 0; y < kSprite; ++y) {
    for (int x = 0; x < kSprite; ++x) static_cast<std::uint8_t*>(sprite->pixels)[y * sprite->pitch + x * 4 + 3] = SpriteAlpha(x, y);
  }
  SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, sprite);
  if (texture == nullptr) {
    state.SkipWithError(SDL_GetError());
  } else {
    SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
    const double degrees = Angle(state) * 180.0 / 3.14159265358979323846;
    const double side = kSprite * Scale(state);
    Centres centres;
    for (auto _ : state) {
      int x = 0, y = 0;
      centres.Next(&x, &y);
      const SDL_FRect rect{static_cast<float>(x - side / 2), static_cast<float>(y - side / 2), static_cast<float>(side),
                           static_cast<float>(side)};
      SDL_RenderCopyExF(renderer, texture, nullptr, &rect, degrees, nullptr, SDL_FLIP_NONE);
      SDL_RenderFlush(renderer);
    }
    benchmark::DoNotOptimize(static_cast<std::uint8_t*>(screen->pixels)[0]);
    SetRates(state, Scale(state));
    SDL_DestroyTexture(texture);
  }
  SDL_DestroyRenderer(renderer);
  SDL_FreeSurface(sprite);
  SDL_FreeSurface(screen);
}
BENCHMARK(BM_SdlRenderCopyEx)->ArgNames({"angle10", "scale10"})->Args({3, 10})->Args({10, 10})->Args({3, 15})->Args({10, 15});

// A 640x480 source warped onto the whole screen (each corner pulled in a
// little). arg: blend mode (0 copy, 1 alpha at 128)
void BM_FullScreenQuad(benchmark::State& state) {
  Scene scene;
  const int mode = static_cast<int>(state.range(0));
  qz::gMemImgDrawState.blendMode = mode;
  qz::gMemImgDrawState.blendParam = mode == qz::kMemImgBlendAlpha ? 128 : 255;
  const std::int32_t corners[8] = {6, 3, kScreenW - 2, 9, 0, kScreenH - 5, kScreenW - 8, kScreenH};
  for (auto _ : state) qz::DrawMemImgQuad(&scene.screen, &scene.warpSource, corners, 0, nullptr);
  benchmark::DoNotOptimize(scene.screen.pixels[0]);
  state.counters["pixels/s"] = benchmark::Counter(static_cast<double>(kScreenW) * kScreenH *
                                                       static_cast<double>(state.iterations()),
                                                   benchmark::Counter::kIsRate);
}
BENCHMARK(BM_FullScreenQuad)->ArgNames({"mode"})->Arg(0)->Arg(1);

}  // namespace
