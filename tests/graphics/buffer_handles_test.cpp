// Vertex-buffer, index-buffer and pixel-shader handles: bounds of the writes,
// slot ranges, the refused lock, and their contents across a device rebuild
// (made again from the kept copies, nothing of the old device left in use).
#include "graphics/buffer_handles.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "core/log_text.h"
#include "graphics/graph_test_fixture.h"
#include "graphics/screen_mode_change.h"
#include "support/scratch_log.h"

namespace {

// ps_1_1: mov r0, v0; end.
constexpr std::uint32_t kPixelShaderCode[] = {0xFFFF0101u, 0x00000001u, 0x800F0000u, 0x90E40000u, 0x0000FFFFu};

class BufferHandles : public qz::testing::GraphTest {
 protected:
  // The device buffer's bytes, read back through a lock.
  static std::vector<std::uint8_t> DeviceBytes(const qz::BufferHandleRecord* record, bool vertex) {
    const std::size_t size = static_cast<std::size_t>(record->elementCount * record->elementSize);
    void* data = nullptr;
    std::vector<std::uint8_t> bytes(size);
    auto* buffer = record->deviceBuffer;
    if (vertex) {
      EXPECT_EQ(static_cast<plat::IDirect3DVertexBuffer9*>(buffer)->Lock(0, 0, &data, 0), plat::D3D_OK);
    } else {
      EXPECT_EQ(static_cast<plat::IDirect3DIndexBuffer9*>(buffer)->Lock(0, 0, &data, 0), plat::D3D_OK);
    }
    if (data != nullptr) std::memcpy(bytes.data(), data, size);
    if (vertex) {
      static_cast<plat::IDirect3DVertexBuffer9*>(buffer)->Unlock();
    } else {
      static_cast<plat::IDirect3DIndexBuffer9*>(buffer)->Unlock();
    }
    return bytes;
  }
};

TEST_F(BufferHandles, WritesStayInsideTheBufferAndReachBothCopies) {
  Start();
  const int buffer = qz::MakeIndexBufferHandle(10, 16);
  ASSERT_NE(buffer, -1);
  const std::uint16_t indexes[4] = {1, 2, 3, 4};
  EXPECT_EQ(qz::WriteIndexBufferData(6, indexes, 4, buffer), 0);
  EXPECT_EQ(qz::WriteIndexBufferData(7, indexes, 4, buffer), -1);
  EXPECT_EQ(qz::WriteIndexBufferData(-1, indexes, 1, buffer), -1);
  EXPECT_EQ(qz::WriteIndexBufferData(0, indexes, -1, buffer), -1) << "a negative count copies nothing";
  const qz::BufferHandleRecord* record = qz::GetIndexBufferRecord(buffer);
  const std::vector<std::uint8_t> device = DeviceBytes(record, false);
  EXPECT_EQ(std::memcmp(device.data() + 12, indexes, 8), 0);
  EXPECT_EQ(std::memcmp(record->systemCopy + 12, indexes, 8), 0);

  qz::testing::ScratchLog log;
  plat::FailD3D9CallForTest("IndexBuffer.Lock", 1, 1, plat::E_FAIL);
  EXPECT_EQ(qz::WriteIndexBufferData(0, indexes, 1, buffer), -1);
  EXPECT_TRUE(log.Contains(qz::text::kIndexBufferLockFailed));
  EXPECT_EQ(qz::QueryShaderModel(), 0) << "shaders are off on this device";
}

TEST_F(BufferHandles, ReleasingTheTopSlotLowersTheRangeToTheNextLiveOne) {
  Start();
  const int first = qz::MakeVertexBufferHandle(4, 0);
  const int second = qz::MakeVertexBufferHandle(4, 0);
  const int third = qz::MakeVertexBufferHandle(4, 0);
  ASSERT_EQ(qz::GetVertexBufferRecord(first)->elementSize, 48) << "the fixed format 0x2D2";
  EXPECT_EQ(qz::GetVertexBufferSlotEnd(), 3);
  EXPECT_EQ(qz::ReleaseVertexBufferHandle(second), 0);
  EXPECT_EQ(qz::ReleaseVertexBufferHandle(second), -1);
  EXPECT_EQ(qz::ReleaseVertexBufferHandle(third), 0);
  EXPECT_EQ(qz::GetVertexBufferSlotEnd(), 1);
  EXPECT_EQ(qz::ReleaseVertexBufferHandle(first), 0);
  EXPECT_EQ(qz::GetVertexBufferSlotEnd(), 0);
}

TEST_F(BufferHandles, ARebuildMakesEveryDeviceObjectAgainWithTheKeptContents) {
  Start();
  const int vertices = qz::MakeVertexBufferHandle(3, 0x42);  // position and diffuse
  const int indexes = qz::MakeIndexBufferHandle(6, 32);
  const int shader = qz::MakePixelShaderHandle(kPixelShaderCode);
  ASSERT_NE(vertices, -1);
  ASSERT_NE(indexes, -1);
  ASSERT_NE(shader, -1);
  std::vector<std::uint8_t> vertexBytes(3 * 16);
  for (std::size_t i = 0; i < vertexBytes.size(); ++i) vertexBytes[i] = static_cast<std::uint8_t>(i * 7);
  const std::uint32_t indexValues[6] = {0, 1, 2, 2, 1, 0};
  ASSERT_EQ(qz::WriteVertexBufferData(0, vertexBytes.data(), 3, vertices), 0);
  ASSERT_EQ(qz::WriteIndexBufferData(0, indexValues, 6, indexes), 0);
  const int objects = plat::GetD3D9LiveObjectCount();

  ASSERT_EQ(qz::RebuildGraphicsDeviceDefault(), 0);
  EXPECT_EQ(plat::GetD3D9LiveObjectCount(), objects);
  EXPECT_TRUE(plat::ListD3D9OrphanedObjects().empty());
  EXPECT_EQ(DeviceBytes(qz::GetVertexBufferRecord(vertices), true), vertexBytes);
  const std::vector<std::uint8_t> indexBytes = DeviceBytes(qz::GetIndexBufferRecord(indexes), false);
  EXPECT_EQ(std::memcmp(indexBytes.data(), indexValues, sizeof(indexValues)), 0);
  ASSERT_NE(qz::GetPixelShaderRecord(shader)->shader, nullptr);
  EXPECT_EQ(qz::GetGraphicsState().device->SetPixelShader(qz::GetPixelShaderRecord(shader)->shader), plat::D3D_OK);
  qz::GetGraphicsState().device->SetPixelShader(nullptr);
  EXPECT_EQ(plat::GetD3D9ForeignObjectUseCount(), 0);
  // The end releases every handle: the fixture checks that no object is left.
}

TEST_F(BufferHandles, WithoutADeviceTheSystemCopyKeepsTheData) {
  StartSoftware();
  const int buffer = qz::MakeIndexBufferHandle(4, 16);
  ASSERT_NE(buffer, -1);
  const std::uint16_t values[2] = {7, 9};
  EXPECT_EQ(qz::WriteIndexBufferData(2, values, 2, buffer), 0);
  const qz::BufferHandleRecord* record = qz::GetIndexBufferRecord(buffer);
  EXPECT_EQ(record->deviceBuffer, nullptr);
  EXPECT_EQ(std::memcmp(record->systemCopy + 4, values, 4), 0);
  EXPECT_EQ(qz::QueryShaderModel(), 200);
}

}  // namespace
