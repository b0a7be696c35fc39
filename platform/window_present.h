// Showing finished frames in a window: the device's present and the software
// path's DIB copies end here. On the desktop the frame goes to the SDL window;
// headless it is kept, and on both it can be read back for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "platform/window.h"

namespace plat {

// A frame of 32-bit pixels (bytes B, G, R, unused), rows `pitchBytes` apart.
struct FrameView {
  const std::uint8_t* pixels;
  int width;
  int height;
  int pitchBytes;
};

// Runs body(first, last) over parts that together make rows [0, count), on
// several threads at once, and returns when every part is done.
using RowSplitter = std::function<void(int count, std::function<void(int first, int last)> body)>;

// Shows srcRect of the frame (null: all of it) scaled to dstRect of the
// window's client area (null: all of it). False for an unknown window or an
// empty rectangle. The copy's rows are split by `split` when given.
bool PresentFrameToWindow(HWND window, const FrameView& frame, const WinRect* srcRect, const WinRect* dstRect,
                          const RowSplitter& split = nullptr);

// A present of the whole frame onto the whole client area (the same size)
// whose copy waits: until SettleFramesWaitingIn(owner) or
// TakeOverWaitingFrame, the window shows the frame from the owner's pixels,
// which must not change meanwhile except by the draws `drawn` waits for
// (from any thread), which may still be making the frame. False, with
// nothing done, where the window cannot wait (the desktop shows each frame
// at once, a client of another size scales it); the caller then presents
// with a copy.
bool PresentWholeFrameLater(HWND window, const FrameView& frame, const void* owner, std::function<void()> drawn);
// Copies every frame still waiting in the owner's pixels into its window:
// before the pixels change or go.
void SettleFramesWaitingIn(const void* owner);
// Before all of the owner's pixels are overwritten: the one window showing
// them takes `pixels` (holding the waiting frame, rows without a gap) as its
// own and gives its old pixels of the same size in exchange, so no copy is
// made. False when it cannot; every frame waiting in the owner's pixels is
// then settled by copying.
bool TakeOverWaitingFrame(const void* owner, std::vector<std::uint8_t>* pixels);

// The client area as last presented, as 32-bit pixels; false when nothing has
// been presented to the window yet.
bool ReadPresentedFrame(HWND window, std::vector<std::uint32_t>* pixels, int* width, int* height);

}  // namespace plat
