// Loading the shader pack: the packed archive built into the program is
// unpacked, opened from memory, and its member "QzShaderPack.bin" unpacked
// in turn; the member's size table gives every code slot its pointer. The
// pack comes from our own build, but every size is still checked against the
// member, so a damaged pack leaves shaders off instead of pointing a device
// at memory outside it.
#include <cstring>

#include "core/archive_codec.h"
#include "core/archive_reader.h"
#include "core/file_access_archive.h"
#include "core/memory.h"
#include "graphics/shader_objects.h"
#include "graphics/shader_pack_data.h"
#include "platform/d3d9_shader_ops.h"

namespace qz {
namespace {

struct ShaderPack {
  std::uint8_t* archiveBuffer;  // the unpacked archive image
  std::uint8_t* memberBuffer;   // the unpacked "QzShaderPack.bin"
  ArchiveReader* archive;
  const std::uint32_t* vertexCode[kVertexShaderCodeSlots];
  const std::uint32_t* pixelCode[kPixelShaderCodeSlots];
};

ShaderPack gPack{};
const void* gPackedArchive = nullptr;  // null: the built-in one
std::size_t gPackedArchiveSize = 0;

// A packed block unpacked into a new tracked buffer; null when the block is
// bad or memory runs out.
std::uint8_t* Unpack(const void* packed, std::size_t size, std::size_t* unpackedSize) {
  const std::int64_t length = DecodeArchiveData(packed, size, nullptr, 0);
  if (length <= 0) return nullptr;
  auto* buffer = static_cast<std::uint8_t*>(QZ_ALLOC(static_cast<std::size_t>(length)));
  if (buffer == nullptr) return nullptr;
  if (DecodeArchiveData(packed, size, buffer, static_cast<std::size_t>(length)) != length) {
    QZ_FREE(buffer);
    return nullptr;
  }
  *unpackedSize = static_cast<std::size_t>(length);
  return buffer;
}

// Step 5 of the load: code pointers from the size table. Every block must lie
// inside the member, hold whole tokens and end with the end token, so that a
// device reading up to that token stays inside the block.
bool WalkSizeTable(const std::uint8_t* member, std::size_t memberSize) {
  if (memberSize < kShaderPackTableBytes) return false;
  std::size_t position = kShaderPackTableBytes;
  const int slots = kVertexShaderCodeSlots + kPixelShaderCodeSlots;
  for (int index = 0; index < slots; ++index) {
    const std::size_t size = member[index * 2] | (member[index * 2 + 1] << 8);
    if (size == 0) continue;
    if (size % 4 != 0 || size > memberSize - position) return false;
    const auto* code = reinterpret_cast<const std::uint32_t*>(member + position);
    if (code[size / 4 - 1] != plat::shader::kEndToken) return false;
    if (index < kVertexShaderCodeSlots) {
      gPack.vertexCode[index] = code;
    } else {
      gPack.pixelCode[index - kVertexShaderCodeSlots] = code;
    }
    position += size;
  }
  return true;
}

bool UnpackMember() {
  std::uint32_t offset = 0;
  std::uint32_t stored = 0;
  ArchiveFileEntry entry;
  if (GetArchiveFileLocation(gPack.archive, kShaderPackMemberName, &offset, &stored) != 0 ||
      FindArchiveFile(gPack.archive, kShaderPackMemberName, &entry) != 0) {
    return false;
  }
  WaitArchiveReady(gPack.archive);
  const std::uint8_t* bytes = gPack.archive->image + offset;
  std::size_t memberSize = stored;
  if (entry.packedSize != kEntryStored) {
    gPack.memberBuffer = Unpack(bytes, stored, &memberSize);
  } else if ((gPack.memberBuffer = static_cast<std::uint8_t*>(QZ_ALLOC(stored > 0 ? stored : 1))) != nullptr) {
    std::memcpy(gPack.memberBuffer, bytes, stored);
  }
  return gPack.memberBuffer != nullptr && WalkSizeTable(gPack.memberBuffer, memberSize);
}

}  // namespace

int LoadShaderPack() {
  if (gPack.memberBuffer != nullptr) return 1;
  const void* packed = gPackedArchive != nullptr ? gPackedArchive : kEmbeddedShaderArchive;
  const std::size_t packedSize = gPackedArchive != nullptr ? gPackedArchiveSize : kEmbeddedShaderArchiveSize;
  std::size_t imageSize = 0;
  gPack.archiveBuffer = Unpack(packed, packedSize, &imageSize);
  gPack.archive = static_cast<ArchiveReader*>(QZ_ALLOC_ZEROED(sizeof(ArchiveReader)));
  if (gPack.archive != nullptr) InitArchiveRecord(gPack.archive);
  if (gPack.archiveBuffer == nullptr || gPack.archive == nullptr ||
      OpenArchiveFromMemory(gPack.archive, gPack.archiveBuffer, imageSize, nullptr) != 0 || !UnpackMember()) {
    FreeShaderPack();
    return 0;
  }
  return 1;
}

void FreeShaderPack() {
  if (gPack.archive != nullptr) CloseArchiveObject(gPack.archive);
  if (gPack.memberBuffer != nullptr) QZ_FREE(gPack.memberBuffer);
  if (gPack.archiveBuffer != nullptr) QZ_FREE(gPack.archiveBuffer);
  gPack = ShaderPack{};
}

const std::uint32_t* GetVertexShaderCode(int slot) {
  return slot >= 0 && slot < kVertexShaderCodeSlots ? gPack.vertexCode[slot] : nullptr;
}

const std::uint32_t* GetPixelShaderCode(int slot) {
  return slot >= 0 && slot < kPixelShaderCodeSlots ? gPack.pixelCode[slot] : nullptr;
}

void SetShaderArchiveForTest(const void* packedArchive, std::size_t size) {
  gPackedArchive = packedArchive;
  gPackedArchiveSize = packedArchive != nullptr ? size : 0;
}

}  // namespace qz
