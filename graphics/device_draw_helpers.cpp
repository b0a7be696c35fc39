// Helpers shared by the graph and drawing code and the device layer.
#include "graphics/device_draw_helpers.h"

#include "graphics/draw_settings_block.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_record.h"
#include "graphics/graphics_state.h"
#include "softrender/shapes.h"

namespace qz {

std::uint32_t GetDrawDiffuseColor() {
  const DrawSettingsBlock& settings = GetDrawSettings();
  const std::uint32_t alpha = settings.blendMode != 0 ? static_cast<std::uint32_t>(settings.blendParam) & 0xFF : 0xFF;
  return alpha << 24 | static_cast<std::uint32_t>(settings.brightness.red) << 16 |
         static_cast<std::uint32_t>(settings.brightness.green) << 8 | settings.brightness.blue;
}

int CheckDrawScreenFits(const GraphRecord* graph) {
  if (graph == nullptr) return -1;
  const GraphRecord* target = GetGraphRecord(GetDrawSettings().drawTarget);
  if (target == nullptr) return -1;
  return target->width >= graph->width && target->height >= graph->height ? 0 : -1;
}

Vector3* TransformVectorByMatrix(Vector3* out, const Vector3* v, const Matrix4x4* m) {
  const double x = v->x;
  const double y = v->y;
  const double z = v->z;
  const auto row = [&](int column) {
    return static_cast<float>(x * m->m[0][column] + y * m->m[1][column] + z * m->m[2][column] + m->m[3][column]);
  };
  *out = {row(0), row(1), row(2)};
  return out;
}

Vector3* TransformNormalByMatrix(Vector3* out, const Vector3* v, const Matrix4x4* m) {
  const double x = v->x;
  const double y = v->y;
  const double z = v->z;
  const auto row = [&](int column) {
    return static_cast<float>(x * m->m[0][column] + y * m->m[1][column] + z * m->m[2][column]);
  };
  *out = {row(0), row(1), row(2)};
  return out;
}

int SoftDrawRectFrame(int x1, int y1, int x2, int y2, std::uint32_t color) {
  MEMIMG* target = GetGraphicsState().softwareDrawTarget;
  if (target == nullptr) return 0;
  const auto param = static_cast<std::uint32_t>(GetDrawSettings().blendParam);
  const MemImgLineRecord lines[4] = {
      {x1, y1, x2 - 1, y1, color, param},
      {x2 - 1, y1, x2 - 1, y2 - 1, color, param},
      {x2 - 1, y2 - 1, x1, y2 - 1, color, param},
      {x1, y2 - 1, x1, y1, color, param},
  };
  DrawMemImgLines(target, lines, 4);
  return 0;
}

}  // namespace qz
