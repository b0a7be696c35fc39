// Mesh objects: parts grouped into node chains with their limits, buffers of
// the right sizes, the same contents after a device rebuild, materials made
// again after a rebuild, and references from instances deciding when an
// object and its graphs go.
#include "graphics/mesh_objects.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/graph_from_image.h"
#include "graphics/graph_handles.h"
#include "graphics/graph_test_fixture.h"
#include "graphics/screen_mode_change.h"
#include "image/png_jpeg_writer.h"

namespace {

class MeshObjects : public qz::testing::GraphTest {
 protected:
  void TearDown() override {
    qz::DeleteAllMeshObjects();
    GraphTest::TearDown();
  }
  static std::vector<std::uint8_t> Bytes(plat::IDirect3DVertexBuffer9* buffer) {
    plat::D3DBUFFER_DESC desc{};
    EXPECT_EQ(buffer->GetDesc(&desc), plat::D3D_OK);
    void* data = nullptr;
    std::vector<std::uint8_t> bytes(desc.Size);
    EXPECT_EQ(buffer->Lock(0, 0, &data, 0), plat::D3D_OK);
    if (data != nullptr) std::memcpy(bytes.data(), data, bytes.size());
    buffer->Unlock();
    return bytes;
  }
  static plat::IDirect3DVertexBuffer9* NodeVertices(int object, int group, int node, int* vertices = nullptr) {
    int vertexCount = 0, indexCount = 0;
    void* vertexBuffer = nullptr;
    void* indexBuffer = nullptr;
    EXPECT_EQ(qz::GetMeshGroupNode(object, group, node, &vertexCount, &indexCount, &vertexBuffer, &indexBuffer), 0);
    if (vertices != nullptr) *vertices = vertexCount;
    return static_cast<plat::IDirect3DVertexBuffer9*>(vertexBuffer);
  }
};

TEST_F(MeshObjects, PartsFillNodesUpToTheLimitAndSurviveARebuild) {
  Start();
  const int object = qz::CreateMeshObject();
  ASSERT_NE(object, -1);
  constexpr int kLarge = 0x40000;
  std::vector<std::uint8_t> vertices(static_cast<std::size_t>(kLarge) * 4);
  for (std::size_t i = 0; i < vertices.size(); ++i) vertices[i] = static_cast<std::uint8_t>(i * 13);
  const std::uint16_t indexes[3] = {0, 1, 2};
  // Two large parts of one group: the second would pass 0x60000 vertices.
  ASSERT_EQ(qz::AddMeshObjectPart(object, 0, 0, 0, vertices.data(), kLarge, 4, indexes, 3), 0);
  ASSERT_EQ(qz::AddMeshObjectPart(object, 0, 0, 0, vertices.data(), kLarge, 4, indexes, 3), 0);
  // A small part of kind 2, flag 1, layout 3: group (2 x 2 + 1) x 9 + 3 = 48.
  ASSERT_EQ(qz::AddMeshObjectPart(object, 5, 1, 3, vertices.data(), 10, 20, indexes, 3), 0);
  ASSERT_EQ(qz::CreateMeshBuffers(object, 0), 0);
  EXPECT_EQ(qz::GetMeshGroupNodeCount(object, 0), 2);
  EXPECT_EQ(qz::GetMeshGroupNodeCount(object, 48), 1);
  int count = 0;
  plat::IDirect3DVertexBuffer9* small = NodeVertices(object, 48, 0, &count);
  EXPECT_EQ(count, 10);
  EXPECT_EQ(Bytes(small).size(), 200u) << "count x stride";
  const std::vector<std::uint8_t> before = Bytes(NodeVertices(object, 0, 1));

  // One vertex short of the limit, then one more: the limit itself is not reached in a node.
  const int atLimit = qz::CreateMeshObject();
  std::vector<std::uint8_t> most(static_cast<std::size_t>(qz::kMeshNodeVertexLimit - 1) * 4);
  ASSERT_EQ(qz::AddMeshObjectPart(atLimit, 0, 0, 0, most.data(), qz::kMeshNodeVertexLimit - 1, 4, indexes, 3), 0);
  ASSERT_EQ(qz::AddMeshObjectPart(atLimit, 0, 0, 0, most.data(), 1, 4, indexes, 3), 0);
  ASSERT_EQ(qz::CreateMeshBuffers(atLimit, 0), 0);
  ASSERT_EQ(qz::GetMeshGroupNodeCount(atLimit, 0), 2);
  NodeVertices(atLimit, 0, 1, &count);
  EXPECT_EQ(count, 1);

  ASSERT_EQ(qz::RebuildGraphicsDeviceDefault(), 0);
  EXPECT_EQ(qz::GetMeshGroupNodeCount(object, 0), 2);
  EXPECT_EQ(Bytes(NodeVertices(object, 0, 1)), before);
  EXPECT_TRUE(plat::ListD3D9OrphanedObjects().empty());
  EXPECT_EQ(plat::GetD3D9ForeignObjectUseCount(), 0);
}

TEST_F(MeshObjects, MaterialsGrowToPowersOfTwoAndComeBackAfterARebuild) {
  Start();
  const int object = qz::CreateMeshObject();
  std::vector<std::uint8_t> rows(100 * 60);
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = static_cast<std::uint8_t>(i % 100 * 2);
  const std::vector<std::uint8_t> png =
      qz::testing::EncodePng(qz::testing::PngSpec(100, 60, PNG_COLOR_TYPE_GRAY, 8), rows);
  const int graph = qz::AddMeshObjectMaterial(object, png.data(), png.size(), nullptr, 0, 0, 0.0f);
  ASSERT_NE(graph, -1);
  int width = 0, height = 0;
  qz::QueryGraphSize(graph, &width, &height);
  EXPECT_EQ(width, 128);
  EXPECT_EQ(height, 64);
  const std::vector<std::uint8_t> before = qz::testing::TextureBytes(graph);
  EXPECT_EQ(qz::AddMeshObjectMaterial(object, nullptr, 0, nullptr, 0, 0, 0.0f), -1);

  ASSERT_EQ(qz::RebuildGraphicsDeviceDefault(), 0);
  EXPECT_EQ(qz::testing::TextureBytes(graph), before);
  EXPECT_EQ(qz::DeleteMeshObject(object), 0);
  EXPECT_FALSE(qz::IsValidGraphHandle(graph));
}

TEST_F(MeshObjects, InstanceDataIsFreedPieceByPieceAndWithTheInstance) {
  Start();
  const int object = qz::CreateMeshObject(3);
  const int instance = qz::CreateMeshInstance(object);
  ASSERT_NE(instance, -1);
  EXPECT_EQ(qz::AddMeshInstanceItem(instance, 100), 0);
  EXPECT_EQ(qz::AddMeshInstanceItem(instance, 200), 1);
  EXPECT_EQ(qz::AddMeshInstanceFrameBlock(instance, 2, 10), 0);
  EXPECT_EQ(qz::AddMeshInstanceFrameBlock(instance, 2, 20), 0);
  EXPECT_EQ(qz::AddMeshInstanceFrameBlock(instance, -1, 30), 0);
  EXPECT_EQ(qz::SetMeshInstanceFrameBuffer(instance, 0, 1, 40), 0);
  EXPECT_EQ(qz::SetMeshInstanceFrameBuffer(instance, -1, 0, 50), 0);
  EXPECT_EQ(qz::GetMeshInstanceDataBytes(instance), 450u);

  EXPECT_EQ(qz::FreeMeshInstanceItem(instance, 1), 0);
  EXPECT_EQ(qz::FreeMeshInstanceFrameChain(instance, 2), 0);
  EXPECT_EQ(qz::FreeMeshInstanceFrameBuffer(instance, -1, 0), 0);
  EXPECT_EQ(qz::GetMeshInstanceDataBytes(instance), 170u) << "item 0, the instance's block, frame 0's buffer";
  // Indexes past the object's frames, the two buffers or the items are refused.
  EXPECT_EQ(qz::FreeMeshInstanceItem(instance, 2), -1);
  EXPECT_EQ(qz::FreeMeshInstanceFrameChain(instance, 3), -1);
  EXPECT_EQ(qz::FreeMeshInstanceFrameBuffer(instance, 0, 2), -1);
  EXPECT_EQ(qz::FreeMeshInstanceFrameChain(instance, -2), -1);
  EXPECT_EQ(qz::DeleteMeshInstance(instance), 0);
  EXPECT_EQ(qz::FreeMeshInstanceItem(instance, 0), -1) << "the handle is gone";
}

TEST_F(MeshObjects, InstancesHoldTheObjectAndItsGraphsUntilTheLastReferenceGoes) {
  Start();
  const int liveBefore = plat::GetD3D9LiveObjectCount();
  const int object = qz::CreateMeshObject();
  const std::uint8_t vertices[8 * 4] = {};
  const std::uint16_t indexes[3] = {0, 1, 2};
  ASSERT_EQ(qz::AddMeshObjectPart(object, 1, 0, 1, vertices, 8, 4, indexes, 3), 0);
  qz::testing::PatternImage pattern(8, 8);
  const int graph = qz::BuildGraphFromBaseImages(&pattern.image, nullptr, 0);
  ASSERT_EQ(qz::AddMeshObjectTextureGraph(object, graph), 0);
  ASSERT_EQ(qz::CreateMeshBuffers(object, 0), 0);
  const int instance = qz::CreateMeshInstance(object);
  ASSERT_NE(instance, -1);
  EXPECT_EQ(qz::GetMeshObjectReferenceCount(object), 2);
  EXPECT_GT(plat::GetD3D9CallCount("CreateVertexBuffer"), 1) << "the skinned part's own dynamic buffer";

  EXPECT_EQ(qz::DeleteMeshObject(object), 0);
  EXPECT_TRUE(qz::IsValidGraphHandle(graph)) << "the instance still holds the object";
  EXPECT_EQ(qz::DeleteMeshInstance(instance), 0);
  EXPECT_EQ(qz::DeleteMeshInstance(instance), -1);
  EXPECT_FALSE(qz::IsValidGraphHandle(graph));
  EXPECT_EQ(qz::GetMeshObjectReferenceCount(object), -1);
  EXPECT_EQ(plat::GetD3D9LiveObjectCount(), liveBefore);
}

}  // namespace
