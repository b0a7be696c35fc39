// Rectangle clipping shared by every drawing path. Each edge is clamped on
// its own after reversed edges are raised, so the result is never inverted.
#include "core/rect.h"

namespace qz {
namespace {

std::int32_t ClampEdge(std::int32_t value, std::int32_t nearEdge, std::int32_t farEdge) {
  if (value > farEdge) return farEdge;
  if (value < nearEdge) return nearEdge;
  return value;
}

}  // namespace

void ClipRect(Rect* rect, const Rect* clip) {
  if (rect == nullptr || clip == nullptr) return;
  if (rect->right < rect->left) rect->right = rect->left;
  if (rect->bottom < rect->top) rect->bottom = rect->top;
  rect->bottom = ClampEdge(rect->bottom, clip->top, clip->bottom);
  rect->top = ClampEdge(rect->top, clip->top, clip->bottom);
  rect->right = ClampEdge(rect->right, clip->left, clip->right);
  rect->left = ClampEdge(rect->left, clip->left, clip->right);
  // Only a reversed clip can leave an edge inverted here; callers must still
  // see an empty rectangle rather than a negative size.
  if (rect->right < rect->left) rect->right = rect->left;
  if (rect->bottom < rect->top) rect->bottom = rect->top;
}

}  // namespace qz
