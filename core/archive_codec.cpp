// Decoder and encoder of the escape-code LZ coding (layout in archive_codec.h).
// The decoder checks every read and write against the packed and unpacked
// sizes because packed members come from files we did not write.
#include "core/archive_codec.h"

#include <algorithm>
#include <cstring>

#include "core/archive_format.h"
#include "core/log.h"
#include "core/log_text.h"

namespace qz {
namespace {

std::int64_t Damaged() {
  AppendLogText(text::kArchiveBadPacked);
  return -1;
}

// Distance bytes a match needs: 1 up to 256, 2 up to 65536, else 3.
int DistanceBytes(std::size_t distance) { return distance <= 0x100 ? 1 : distance <= 0x10000 ? 2 : 3; }
std::size_t MatchCost(std::size_t length, std::size_t distance) {
  return 2 + (length - 4 > 31 ? 1 : 0) + static_cast<std::size_t>(DistanceBytes(distance));
}

constexpr int kHashBits = 20;
constexpr std::size_t kWindow = 1u << 20;
constexpr int kMaxChain = 16;
// A match this long is taken without looking further, or for a better one
// at the next byte.
constexpr std::size_t kGoodEnough = 64;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

std::uint32_t Hash4(const std::uint8_t* p, int bits) {
  std::uint32_t v;
  std::memcpy(&v, p, 4);
  return (v * 2654435761u) >> (32 - bits);
}

// Equal bytes at a and b, up to limit, compared eight at a time.
std::size_t CommonLength(const std::uint8_t* a, const std::uint8_t* b, std::size_t limit) {
  std::size_t length = 0;
  while (length + 8 <= limit) {
    std::uint64_t x, y;
    std::memcpy(&x, a + length, 8);
    std::memcpy(&y, b + length, 8);
    if (x != y) return length + static_cast<std::size_t>(__builtin_ctzll(x ^ y) / 8);
    length += 8;
  }
  while (length < limit && a[length] == b[length]) ++length;
  return length;
}

// Hash chains over a window; members are below 4 GiB, so positions fit 32 bits.
class Matcher {
 public:
  Matcher(const std::uint8_t* data, std::size_t size)
      : data_(data), size_(size) {
    // A small member needs no more chain slots or hash heads than it has bytes.
    while (mask_ + 1 < kWindow && mask_ + 1 <= size) mask_ = mask_ << 1 | 1;
    prev_.assign(mask_ + 1, kNone);
    while (hashBits_ < kHashBits && (std::size_t{1} << hashBits_) <= size) ++hashBits_;
    head_.assign(std::size_t{1} << hashBits_, kNone);
  }

  void Insert(std::size_t at) {
    if (at + 4 > size_) return;
    const std::uint32_t h = Hash4(data_ + at, hashBits_);
    prev_[at & mask_] = head_[h];
    head_[h] = static_cast<std::uint32_t>(at);
  }

  // The match at `at` that saves the most bytes over literals; length 0 when
  // none saves any.
  void Find(std::size_t at, std::size_t* bestLength, std::size_t* bestDistance) const {
    *bestLength = 0;
    *bestDistance = 0;
    if (at + 4 > size_) return;
    const std::size_t limit = std::min(kPackedMaxLength, size_ - at);
    std::int64_t bestGain = 0;
    std::uint32_t candidate = head_[Hash4(data_ + at, hashBits_)];
    for (int chain = 0; chain < kMaxChain && candidate != kNone; ++chain) {
      const std::size_t from = candidate;
      const std::size_t distance = at - from;
      if (from >= at || distance > mask_) break;
      const std::size_t probe = *bestLength < limit ? *bestLength : limit - 1;
      if (data_[from + probe] == data_[at + probe]) {
        const std::size_t length = CommonLength(data_ + from, data_ + at, limit);
        if (length >= 4) {
          const std::int64_t gain =
              static_cast<std::int64_t>(length) - static_cast<std::int64_t>(MatchCost(length, distance));
          if (gain > bestGain) {
            bestGain = gain;
            *bestLength = length;
            *bestDistance = distance;
            if (length >= kGoodEnough * 4 || length == limit) break;
          }
        }
      }
      candidate = prev_[from & mask_];
    }
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
  std::vector<std::uint32_t> head_;
  std::vector<std::uint32_t> prev_;
  std::size_t mask_ = 0xFF;
  int hashBits_ = 10;
};

std::int64_t Gain(std::size_t length, std::size_t distance) {
  return length == 0 ? 0 : static_cast<std::int64_t>(length) - static_cast<std::int64_t>(MatchCost(length, distance));
}

}  // namespace

bool PackedSizesPossible(std::uint64_t unpackedSize, std::uint64_t packedSize) {
  return packedSize >= kPackedHeadSize && unpackedSize <= (packedSize - kPackedHeadSize) * kPackedMaxExpansion;
}

bool ReadPackedHead(const void* packed, std::size_t available, PackedHead* head) {
  if (packed == nullptr || available < kPackedHeadSize) return false;
  const auto* bytes = static_cast<const std::uint8_t*>(packed);
  head->unpackedSize = LoadLe32(bytes);
  head->packedSize = LoadLe32(bytes + 4);
  head->escape = bytes[8];
  return head->packedSize <= available && PackedSizesPossible(head->unpackedSize, head->packedSize);
}

std::int64_t DecodeArchiveData(const void* packed, std::size_t available, void* destination,
                               std::size_t destinationSize) {
  PackedHead head;
  if (!ReadPackedHead(packed, available, &head)) return Damaged();
  if (destination == nullptr) return head.unpackedSize;
  if (head.unpackedSize > destinationSize) return Damaged();

  const auto* in = static_cast<const std::uint8_t*>(packed) + kPackedHeadSize;
  const std::uint8_t* const inEnd = static_cast<const std::uint8_t*>(packed) + head.packedSize;
  auto* const outStart = static_cast<std::uint8_t*>(destination);
  std::uint8_t* out = outStart;
  std::uint8_t* const outEnd = outStart + head.unpackedSize;
  const std::uint8_t escape = head.escape;
  std::size_t previousDistance = 0;

  while (in < inEnd) {
    const auto* found = static_cast<const std::uint8_t*>(std::memchr(in, escape, static_cast<std::size_t>(inEnd - in)));
    const std::uint8_t* runEnd = found != nullptr ? found : inEnd;
    const auto run = static_cast<std::size_t>(runEnd - in);
    if (run > static_cast<std::size_t>(outEnd - out)) return Damaged();
    std::memcpy(out, in, run);
    out += run;
    in = runEnd;
    if (found == nullptr) break;

    if (inEnd - in < 2) return Damaged();
    const std::uint8_t code = in[1];
    in += 2;
    if (code == escape) {
      if (out == outEnd) return Damaged();
      *out++ = escape;
      continue;
    }
    const unsigned c = code > escape ? code - 1u : code;
    std::size_t length = c >> 3;
    if (c & 4) {
      if (in == inEnd) return Damaged();
      length |= static_cast<std::size_t>(*in++) << 5;
    }
    length += 4;
    std::size_t distance;
    const unsigned form = c & 3;
    if (form == 3) {
      if (previousDistance == 0) return Damaged();
      distance = previousDistance;
    } else {
      const unsigned fieldBytes = form + 1;
      if (static_cast<std::size_t>(inEnd - in) < fieldBytes) return Damaged();
      std::size_t field = 0;
      for (unsigned i = 0; i < fieldBytes; ++i) field |= static_cast<std::size_t>(in[i]) << (8 * i);
      in += fieldBytes;
      distance = field + 1;
    }
    if (distance > static_cast<std::size_t>(out - outStart) || length > static_cast<std::size_t>(outEnd - out)) {
      return Damaged();
    }
    previousDistance = distance;
    // Each chunk copies from bytes already written; chunks double (D, 2D,
    // 4D...), which gives the same bytes as a byte-by-byte copy.
    const std::uint8_t* source = out - distance;
    while (length > 0) {
      const std::size_t chunk = std::min(length, static_cast<std::size_t>(out - source));
      std::memcpy(out, source, chunk);
      out += chunk;
      length -= chunk;
    }
  }
  if (out != outEnd) return Damaged();
  return head.unpackedSize;
}

std::size_t EncodeArchiveData(const void* data, std::size_t size, std::vector<std::uint8_t>* out) {
  if (size > 0xFFFFFFFFu - kPackedHeadSize) return 0;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  // The rarest byte is the escape: each of its literals costs two bytes.
  std::size_t counts[256] = {};
  for (std::size_t i = 0; i < size; ++i) ++counts[bytes[i]];
  const auto escape = static_cast<std::uint8_t>(std::min_element(counts, counts + 256) - counts);

  const std::size_t start = out->size();
  out->resize(start + kPackedHeadSize);
  out->reserve(start + kPackedHeadSize + size + size / 8 + 16);
  auto literal = [&](std::uint8_t b) {
    out->push_back(b);
    if (b == escape) out->push_back(escape);
  };
  auto match = [&](std::size_t length, std::size_t distance) {
    const std::size_t lengthField = length - 4;
    const bool extra = lengthField > 31;
    const int distanceBytes = DistanceBytes(distance);
    const unsigned c = static_cast<unsigned>((lengthField & 31) << 3 | (extra ? 4 : 0) | (distanceBytes - 1));
    out->push_back(escape);
    out->push_back(static_cast<std::uint8_t>(c >= escape ? c + 1 : c));
    if (extra) out->push_back(static_cast<std::uint8_t>(lengthField >> 5));
    const std::size_t field = distance - 1;
    for (int i = 0; i < distanceBytes; ++i) out->push_back(static_cast<std::uint8_t>(field >> (8 * i)));
  };

  Matcher matcher(bytes, size);
  std::size_t at = 0;
  while (at < size) {
    std::size_t length, distance;
    matcher.Find(at, &length, &distance);
    if (length > 0 && length < kGoodEnough && at + 1 < size) {
      // One step of lazy matching: a better match at the next byte wins over
      // this one plus a literal.
      matcher.Insert(at);
      std::size_t nextLength, nextDistance;
      matcher.Find(at + 1, &nextLength, &nextDistance);
      if (Gain(nextLength, nextDistance) > Gain(length, distance) + 1) {
        literal(bytes[at]);
        ++at;
        continue;
      }
      for (std::size_t i = 1; i < length; ++i) matcher.Insert(at + i);
      match(length, distance);
      at += length;
      continue;
    }
    if (length == 0) {
      matcher.Insert(at);
      literal(bytes[at]);
      ++at;
      continue;
    }
    for (std::size_t i = 0; i < length; ++i) matcher.Insert(at + i);
    match(length, distance);
    at += length;
  }

  const std::size_t packedSize = out->size() - start;
  if (packedSize > 0xFFFFFFFFu) {
    out->resize(start);
    return 0;
  }
  StoreLe32(out->data() + start, static_cast<std::uint32_t>(size));
  StoreLe32(out->data() + start + 4, static_cast<std::uint32_t>(packedSize));
  (*out)[start + 8] = escape;
  return packedSize;
}

}  // namespace qz
