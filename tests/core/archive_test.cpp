// The archive coding, names and reader: hand-made coded streams pin the byte
// order, random trees pack and read back through every open, and damaged
// streams and tables are refused without leaving their buffers.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <random>
#include <set>
#include <thread>

#include "core/archive_codec.h"
#include "core/archive_reader.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "support/scratch_folder.h"
#include "support/scratch_log.h"
#include "core/archive_test_support.h"

namespace {

using namespace qz::testing;

// The head of a packed stream around hand-coded bytes.
std::vector<std::uint8_t> Packed(std::uint32_t unpacked, std::uint8_t escape, std::vector<std::uint8_t> coded) {
  std::vector<std::uint8_t> out(qz::kPackedHeadSize + coded.size());
  qz::StoreLe32(out.data(), unpacked);
  qz::StoreLe32(out.data() + 4, static_cast<std::uint32_t>(out.size()));
  out[8] = escape;
  std::copy(coded.begin(), coded.end(), out.begin() + qz::kPackedHeadSize);
  return out;
}

std::string Decode(const std::vector<std::uint8_t>& packed) {
  const std::int64_t size = qz::DecodeArchiveData(packed.data(), packed.size(), nullptr, 0);
  if (size < 0) return "<refused>";
  std::string out(static_cast<std::size_t>(size), '\0');
  return qz::DecodeArchiveData(packed.data(), packed.size(), out.data(), out.size()) == size ? out : "<refused>";
}

TEST(ArchiveCodecTest, HandCodedStreamsFollowTheSettledByteOrder) {
  // Escape 0xF0; C above the escape is stored one higher.
  EXPECT_EQ(Decode(Packed(3, 0xF0, {'a', 0xF0, 0xF0, 'b'})), "a\xF0" "b");
  // L 10 = (6 << 3) at distance 1 (form 0, field 0).
  EXPECT_EQ(Decode(Packed(11, 0xF0, {'x', 0xF0, 6 << 3, 0})), std::string(11, 'x'));
  // Two-byte distance 300 (field 299 little-endian), length 4.
  std::vector<std::uint8_t> coded(300);
  for (int i = 0; i < 300; ++i) coded[i] = static_cast<std::uint8_t>('A' + i % 20);
  std::string expected(coded.begin(), coded.end());
  expected += expected.substr(0, 4);
  auto two = coded;
  two.insert(two.end(), {0xF0, 0 << 3 | 1, 299 & 0xFF, 299 >> 8});
  EXPECT_EQ(Decode(Packed(304, 0xF0, two)), expected);
  // Three-byte distance, and a length of 40 = ((4 | 1 << 5) + 4): C carries the
  // low five bits and the extra byte, before the distance, the rest.
  std::vector<std::uint8_t> big(70000, 'q');
  big[0] = 'Z';
  std::string bigExpected(big.begin(), big.end());
  bigExpected += bigExpected.substr(0, 40);
  big.insert(big.end(), {0xF0, 4 << 3 | 4 | 2, 1, (69999) & 0xFF, (69999 >> 8) & 0xFF, 69999 >> 16});
  EXPECT_EQ(Decode(Packed(70040, 0xF0, big)), bigExpected);
  // C above the escape: escape 0x10, c = 0x30 (L 10, form 0) is stored as 0x31.
  EXPECT_EQ(Decode(Packed(11, 0x10, {'m', 0x10, 0x31, 0})), std::string(11, 'm'));
  // Form 3 reuses the last distance.
  EXPECT_EQ(Decode(Packed(10, 0xF0, {'a', 'b', 0xF0, 0 << 3, 1, 0xF0, 0 << 3 | 3})), "ababababab");
  // A null destination gives the unpacked size without decoding, but only
  // a size the coded bytes can reach.
  const auto sized = Packed(11, 0xF0, {'x', 0xF0, 6 << 3, 0});
  EXPECT_EQ(qz::DecodeArchiveData(sized.data(), sized.size(), nullptr, 0), 11);
  const auto empty = Packed(0, 0, {});
  EXPECT_EQ(qz::DecodeArchiveData(empty.data(), empty.size(), nullptr, 0), 0);
  const auto impossible = Packed(1234, 0, {});
  EXPECT_EQ(qz::DecodeArchiveData(impossible.data(), impossible.size(), nullptr, 0), -1);
  EXPECT_TRUE(qz::PackedSizesPossible(8195, 12));
  EXPECT_FALSE(qz::PackedSizesPossible(8196 * 2, 12));
}

TEST(ArchiveCodecTest, EncoderRoundTripsAndUsesEveryForm) {
  std::mt19937 random(7);
  for (int round = 0; round < 60; ++round) {
    const std::vector<std::uint8_t> data = RandomContents(random);
    std::vector<std::uint8_t> packed = {0xAA};  // appended after what is there
    const std::size_t size = qz::EncodeArchiveData(data.data(), data.size(), &packed);
    ASSERT_EQ(size + 1, packed.size());
    std::vector<std::uint8_t> out(data.size());
    ASSERT_EQ(qz::DecodeArchiveData(packed.data() + 1, size, out.data(), out.size()),
              static_cast<std::int64_t>(data.size()));
    EXPECT_EQ(out, data) << "round " << round;
  }
  // Long runs far apart need long lengths and three-byte distances.
  std::vector<std::uint8_t> data(300000);
  std::mt19937 noise(3);
  for (auto& b : data) b = static_cast<std::uint8_t>(noise());
  std::copy(data.begin(), data.begin() + 5000, data.begin() + 250000);
  std::vector<std::uint8_t> packed;
  qz::EncodeArchiveData(data.data(), data.size(), &packed);
  EXPECT_LT(packed.size(), data.size() + data.size() / 64 - 4000);
  std::vector<std::uint8_t> out(data.size());
  EXPECT_EQ(qz::DecodeArchiveData(packed.data(), packed.size(), out.data(), out.size()), 300000);
  EXPECT_EQ(out, data);
}

TEST(ArchiveCodecTest, MatchesAtTheBoundsOfTheirFieldsRoundTrip) {
  // A copy at the distances where the distance field grows a byte, of the
  // lengths around the one that first takes the length's extra byte.
  std::mt19937 noise(11);
  for (std::size_t distance : {256u, 257u, 65536u, 65537u}) {
    for (std::size_t length : {35u, 36u, 37u}) {
      std::vector<std::uint8_t> data(distance + length), unmatched;
      for (auto& b : data) b = static_cast<std::uint8_t>(noise());
      unmatched = data;
      std::copy(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(length), data.begin() + static_cast<std::ptrdiff_t>(distance));
      std::vector<std::uint8_t> packed, packedUnmatched;
      const std::size_t size = qz::EncodeArchiveData(data.data(), data.size(), &packed);
      // Coded as a match: some 30 bytes shorter than the same stream without the copy.
      EXPECT_LT(size + 20, qz::EncodeArchiveData(unmatched.data(), unmatched.size(), &packedUnmatched));
      std::vector<std::uint8_t> out(data.size());
      ASSERT_EQ(qz::DecodeArchiveData(packed.data(), size, out.data(), out.size()),
                static_cast<std::int64_t>(data.size()));
      EXPECT_EQ(out, data) << "distance " << distance << ", length " << length;
    }
  }
}

TEST(ArchiveCodecTest, DamagedStreamsAreRefusedWithinTheirBuffers) {
  ScratchLog log;
  const int blocks = qz::GetTrackedBlockCount();
  // Distance reaching before the output.
  EXPECT_EQ(Decode(Packed(10, 0xF0, {'a', 0xF0, 0 << 3, 1})), "<refused>");
  // Output past the unpacked size, by a literal and by a match.
  EXPECT_EQ(Decode(Packed(2, 0xF0, {'a', 'b', 'c'})), "<refused>");
  EXPECT_EQ(Decode(Packed(4, 0xF0, {'a', 0xF0, 0 << 3, 0})), "<refused>");
  // Coded bytes cut short: after the escape, before X, inside the distance.
  EXPECT_EQ(Decode(Packed(5, 0xF0, {'a', 0xF0})), "<refused>");
  EXPECT_EQ(Decode(Packed(5, 0xF0, {'a', 0xF0, 4})), "<refused>");
  EXPECT_EQ(Decode(Packed(5, 0xF0, {'a', 0xF0, 1, 0})), "<refused>");
  // Stream ends before the unpacked size; form 3 with no earlier match.
  EXPECT_EQ(Decode(Packed(5, 0xF0, {'a'})), "<refused>");
  EXPECT_EQ(Decode(Packed(5, 0xF0, {'a', 0xF0, 3})), "<refused>");
  // A packed size beyond the bytes given, or below the head.
  auto lying = Packed(1, 0xF0, {'a'});
  lying.pop_back();
  EXPECT_EQ(qz::DecodeArchiveData(lying.data(), lying.size(), nullptr, 0), -1);
  qz::StoreLe32(lying.data() + 4, 3);
  EXPECT_EQ(qz::DecodeArchiveData(lying.data(), lying.size(), nullptr, 0), -1);
  // A capacity below the unpacked size.
  const auto fine = Packed(4, 0xF0, {'a', 'b', 'c', 'd'});
  char small[3];
  EXPECT_EQ(qz::DecodeArchiveData(fine.data(), fine.size(), small, sizeof small), -1);
  EXPECT_TRUE(log.Contains(qz::text::kArchiveBadPacked));
  EXPECT_EQ(qz::GetTrackedBlockCount(), blocks);
}

TEST(ArchiveNameTest, SearchFormsAreUpperCasePaddedAndSummed) {
  qz::ArchiveSearchName name;
  ASSERT_TRUE(qz::MakeArchiveSearchName("data_en\\pat.png", 0, &name));
  EXPECT_EQ(name.units, 2);
  EXPECT_EQ(name.consumed, 7u);
  EXPECT_EQ(std::memcmp(name.form, "DATA_EN\0", 8), 0);
  int sum = 0;
  for (char c : std::string("DATA_EN")) sum += static_cast<unsigned char>(c);
  EXPECT_EQ(name.checkSum, sum);
  // A length of four gets a whole word of padding.
  ASSERT_TRUE(qz::MakeArchiveSearchName("abcd", 0, &name));
  EXPECT_EQ(name.units, 2);
  // A Shift-JIS pair whose trail byte is "a" stays; the following "a" does not.
  ASSERT_TRUE(qz::MakeArchiveSearchName("\x83" "a" "a", 1, &name));
  EXPECT_EQ(std::memcmp(name.form, "\x83" "aA\0", 4), 0);
  // Under code page 949 a high byte also leads a pair, and a trail "\" is no separator.
  ASSERT_TRUE(qz::MakeArchiveSearchName("\xB0\\x", 2, &name));
  EXPECT_EQ(name.consumed, 3u);
  EXPECT_FALSE(qz::MakeArchiveSearchName(std::string(2000, 'a').c_str(), 0, &name));
}

TEST(ArchiveNameTest, OnlyTheLettersAToZAreRaisedAndTheLongestFormKeepsItsZero) {
  qz::ArchiveSearchName name;
  ASSERT_TRUE(qz::MakeArchiveSearchName("`az{", 0, &name));
  EXPECT_EQ(std::memcmp(name.form, "`AZ{", 4), 0);
  // The longest component fills the form but its terminating zero.
  const std::size_t longest = qz::kArchiveSearchNameMax - 1;
  ASSERT_TRUE(qz::MakeArchiveSearchName(std::string(longest, 'z').c_str(), 0, &name));
  EXPECT_EQ(name.consumed, longest);
  EXPECT_EQ(name.units, qz::kArchiveSearchNameMax / 4);
  EXPECT_EQ(name.form[longest - 1], 'Z');
  EXPECT_EQ(name.form[longest], 0);
  EXPECT_FALSE(qz::MakeArchiveSearchName(std::string(longest + 1, 'z').c_str(), 0, &name));
}

// Archives written with a key string open only while its key bytes stay as
// they were made.
TEST(ArchiveKeyTest, AKeyStringGivesItsStoredBytesAndARepeatedLetterManyDifferentOnes) {
  std::uint8_t key[qz::kArchiveKeySize];
  qz::MakeArchiveKey("qz", key);
  const std::uint8_t stored[] = {0x58, 0xFB, 0xD6, 0x8A, 0x11, 0x96, 0x1B, 0x28, 0x93, 0x36, 0x29, 0x0E};
  EXPECT_TRUE(std::equal(key, key + qz::kArchiveKeySize, stored));
  qz::MakeArchiveKey("aaa", key);
  EXPECT_GE(std::set<std::uint8_t>(key, key + qz::kArchiveKeySize).size(), 10u);
}

// A member's bytes through a reader, from its image or its file.
std::vector<std::uint8_t> ReadMember(qz::ArchiveReader* reader, const std::string& path) {
  qz::ArchiveFileEntry entry;
  if (qz::FindArchiveFile(reader, path.c_str(), &entry) != 0) return {0xDE, 0xAD};
  const bool packed = reader->header.version >= 2 && entry.packedSize != qz::kEntryStored;
  const std::uint32_t stored = packed ? entry.packedSize : entry.dataSize;
  const std::uint64_t at = std::uint64_t{reader->header.dataStart} + entry.dataOffset;
  // A reader fault that points past the archive fails this case, not the run.
  if (at + stored > reader->imageSize) {
    ADD_FAILURE() << path << ": member bytes " << at << "+" << stored << " lie past the archive's "
                  << reader->imageSize;
    return {0xBA, 0xD2};
  }
  std::vector<std::uint8_t> raw(stored);
  if (reader->inMemory) {
    std::memcpy(raw.data(), reader->image + at, stored);
  } else if (qz::ReadArchiveScrambled(reader->file, raw.data(), stored, static_cast<std::int64_t>(at), reader->key) != 0) {
    return {0xBA, 0xD0};
  }
  if (!packed) return raw;
  std::vector<std::uint8_t> out(entry.dataSize);
  if (qz::DecodeArchiveData(raw.data(), raw.size(), out.data(), out.size()) != entry.dataSize) return {0xBA, 0xD1};
  return out;
}

void ExpectEveryMember(qz::ArchiveReader* reader, const std::map<std::string, std::vector<std::uint8_t>>& files) {
  for (const auto& [path, bytes] : files) EXPECT_EQ(ReadMember(reader, path), bytes) << path;
}

TEST(ArchiveReaderTest, RandomTreesReadBackThroughEveryOpen) {
  ScratchFolder scratch;
  const int blocks = qz::GetTrackedBlockCount();
  struct Case { int version; bool pack; std::uint32_t codePage; int charset; };
  const Case cases[] = {{1, false, 0, 0}, {2, true, 0, 0}, {2, false, 0, 0}, {3, true, 0, 0}, {4, true, 949, 2},
                        {4, true, 936, 4}, {0, false, 0, 0}};
  for (std::uint32_t seed = 1; seed <= 14; ++seed) {
    const Case& c = cases[seed % std::size(cases)];
    const qz::ArchiveSourceNode tree = RandomTree(seed);
    std::map<std::string, std::vector<std::uint8_t>> files;
    Flatten(tree, "", &files);
    qz::ArchiveWriteOptions options;
    options.version = c.version;
    options.pack = c.pack;
    options.codePage = c.codePage;
    std::vector<std::uint8_t> image = MakeImage(tree, options);
    const std::vector<std::uint8_t> given = image;
    scratch.Write("a.qza", AsString(image));
    SCOPED_TRACE("seed " + std::to_string(seed));

    qz::ArchiveReader reader;
    ASSERT_EQ(qz::OpenArchiveFromMemory(&reader, image.data(), image.size(), nullptr), 0);
    EXPECT_EQ(reader.charset, c.charset);
    ExpectEveryMember(&reader, files);
    qz::CloseArchive(&reader);
    EXPECT_EQ(image, given);

    ASSERT_EQ(qz::OpenArchiveFileToMemory(&reader, scratch.Library("a.qza").c_str(), nullptr, seed % 2), 0);
    ExpectEveryMember(&reader, files);
    qz::CloseArchive(&reader);

    ASSERT_EQ(qz::OpenArchiveFileStreamed(&reader, scratch.Library("A.QZA").c_str(), nullptr), 0);
    EXPECT_EQ(reader.header.version, c.version);
    ExpectEveryMember(&reader, files);
    qz::CloseArchive(&reader);
  }
  EXPECT_EQ(qz::GetTrackedBlockCount(), blocks);
}

TEST(ArchiveReaderTest, AnAsynchronousLoadIsReadyOnceItsReadHasFinished) {
  ScratchFolder scratch;
  scratch.Write("a.qza", AsString(MakeImage(FolderNode("", {FileNode("f", std::string(100000, 'f'))}))));
  qz::ArchiveReader reader;
  ASSERT_EQ(qz::OpenArchiveFileToMemory(&reader, scratch.Library("a.qza").c_str(), nullptr, 1), 0);
  // The read runs on a worker; the first poll comes long after it is done.
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  for (int polls = 0; polls < 500 && qz::PollArchiveFileLoad(&reader) == 0; ++polls) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_EQ(qz::PollArchiveFileLoad(&reader), 1);
  qz::ArchiveFileEntry entry;
  EXPECT_EQ(qz::FindArchiveFile(&reader, "F", &entry), 0);
  qz::CloseArchive(&reader);
}

TEST(ArchiveReaderTest, StoredNamesFillTheirBufferAndALeadingSeparatorIsTheRoot) {
  std::vector<std::uint8_t> image = MakeImage(FolderNode("", {FileNode("Readme.txt", "r")}));
  qz::ArchiveReader reader;
  ASSERT_EQ(qz::OpenArchiveFromMemory(&reader, image.data(), image.size(), nullptr), 0);
  qz::ArchiveFileEntry entry;
  ASSERT_EQ(qz::FindArchiveFile(&reader, "\\readme.txt", &entry), 0);
  char name[16];
  ASSERT_TRUE(qz::GetArchiveStoredName(&reader, entry, name, sizeof name));
  EXPECT_STREQ(name, "Readme.txt");
  // Cut to the buffer, with its zero; a buffer of one byte holds only that.
  ASSERT_TRUE(qz::GetArchiveStoredName(&reader, entry, name, 5));
  EXPECT_STREQ(name, "Read");
  ASSERT_TRUE(qz::GetArchiveStoredName(&reader, entry, name, 1));
  EXPECT_STREQ(name, "");
  EXPECT_FALSE(qz::GetArchiveStoredName(&reader, entry, name, 0));
  qz::CloseArchive(&reader);
}

TEST(ArchiveReaderTest, KeysAlternateKeyAndVersionRefusal) {
  ScratchLog log;
  const qz::ArchiveSourceNode tree = FolderNode("", {FileNode("a.txt", "alpha")});
  qz::ArchiveWriteOptions options;
  options.alternateKey = true;
  std::vector<std::uint8_t> image = MakeImage(tree, options);
  const std::vector<std::uint8_t> given = image;
  qz::ArchiveReader reader;
  ASSERT_EQ(qz::OpenArchiveFromMemory(&reader, image.data(), image.size(), nullptr), 0);
  EXPECT_EQ(AsString(ReadMember(&reader, "A.TXT")), "alpha");
  qz::CloseArchive(&reader);
  EXPECT_EQ(image, given);

  // A key string's archive opens with that string only.
  options.alternateKey = false;
  options.keyString = "veltrin";
  image = MakeImage(tree, options);
  EXPECT_EQ(qz::OpenArchiveFromMemory(&reader, image.data(), image.size(), nullptr), -1);
  EXPECT_TRUE(log.Contains(qz::text::kArchiveBadMagic));
  ASSERT_EQ(qz::OpenArchiveFromMemory(&reader, image.data(), image.size(), "veltrin"), 0);
  qz::CloseArchive(&reader);

  // Version 5 is refused and the image is left as given.
  options.keyString = nullptr;
  image = Damage(MakeImage(tree, options), [](auto& i) { i[qz::kHeaderVersion] = 5; });
  const std::vector<std::uint8_t> five = image;
  EXPECT_EQ(qz::OpenArchiveFromMemory(&reader, image.data(), image.size(), nullptr), -1);
  EXPECT_EQ(image, five);
  EXPECT_TRUE(log.Contains(qz::text::kArchiveBadVersion));
}

TEST(ArchiveReaderTest, PathWalkAndDirectoryRestore) {
  const qz::ArchiveSourceNode tree =
      FolderNode("", {FolderNode("a", {FolderNode("b", {}), FolderNode("c", {FileNode("f", "x")})}),
                      FileNode("top", "t")});
  std::vector<std::uint8_t> image = MakeImage(tree);
  qz::ArchiveReader reader;
  ASSERT_EQ(qz::OpenArchiveFromMemory(&reader, image.data(), image.size(), nullptr), 0);
  ASSERT_EQ(qz::FindArchiveEntry(&reader, "A\\B\\..\\C", 1, nullptr), 0);
  const std::uint32_t c = reader.currentDirectory;
  qz::ArchiveFileEntry entry;
  qz::ArchiveSearchName name;
  ASSERT_TRUE(qz::MakeArchiveSearchName("F", 0, &name));
  EXPECT_EQ(qz::SearchArchiveDirectory(&reader, name, 1, &entry), 0);
  EXPECT_EQ(qz::FindArchiveEntry(&reader, ".", 1, nullptr), 0);
  EXPECT_EQ(reader.currentDirectory, c);
  // A missing component puts the directory back and hands its name back.
  EXPECT_EQ(qz::FindArchiveEntry(&reader, "..\\NOPE\\X", 1, &name), -1);
  EXPECT_EQ(reader.currentDirectory, c);
  EXPECT_EQ(std::memcmp(name.form, "NOPE", 4), 0);
  EXPECT_EQ(qz::FindArchiveEntry(&reader, "\\", 1, nullptr), 0);
  EXPECT_EQ(reader.currentDirectory, 0u);
  EXPECT_EQ(qz::FindArchiveEntry(&reader, "..", 1, nullptr), -1);
  EXPECT_EQ(qz::FindArchiveEntry(&reader, "a/c/", 1, nullptr), 0);
  EXPECT_EQ(reader.currentDirectory, c);
  // Files are not entered as directories, nor directories found as files.
  EXPECT_EQ(qz::FindArchiveEntry(&reader, "\\TOP", 1, nullptr), -1);
  EXPECT_NE(qz::FindArchiveFile(&reader, "A", &entry), 0);
  EXPECT_EQ(qz::FindArchiveFile(&reader, "\\a\\c\\f", &entry), 0);
  qz::CloseArchive(&reader);
}

// Names other writers produce: a Shift-JIS name whose trail byte is 0x5C
// ("ソフト" is 83 5C 83 74 83 67) and a file and a folder of one name; a
// repeat of the same kind, or a real separator, is still refused.
TEST(ArchiveReaderTest, TrailByteSeparatorsAndAFileBesideAFolderOfItsName) {
  const std::string soft = "\x83\x5C\x83\x74\x83\x67";
  const qz::ArchiveSourceNode tree = FolderNode(
      "", {FolderNode(soft, {FileNode("in.txt", "inside")}), FileNode("same", "file"),
           FolderNode("Same", {FileNode("b", "folder")})});
  std::vector<std::uint8_t> image = MakeImage(tree);
  qz::ArchiveReader reader;
  ASSERT_EQ(qz::OpenArchiveFromMemory(&reader, image.data(), image.size(), nullptr), 0);
  EXPECT_EQ(AsString(ReadMember(&reader, "\\" + soft + "\\IN.TXT")), "inside");
  EXPECT_EQ(AsString(ReadMember(&reader, "SAME")), "file");
  EXPECT_EQ(AsString(ReadMember(&reader, "same\\b")), "folder");
  qz::CloseArchive(&reader);

  std::vector<std::uint8_t> refused;
  std::string error;
  const qz::ArchiveWriteOptions options;
  EXPECT_FALSE(qz::BuildArchiveImage(FolderNode("", {FileNode("a", "1"), FileNode("A", "2")}), options, &refused,
                                     nullptr, &error));
  EXPECT_EQ(error.rfind("repeated name", 0), 0u) << error;
  EXPECT_FALSE(qz::BuildArchiveImage(FolderNode("", {FileNode("a\\b", "1")}), options, &refused, nullptr, &error));
  EXPECT_FALSE(qz::BuildArchiveImage(FolderNode("", {FileNode("a/b", "1")}), options, &refused, nullptr, &error));
  EXPECT_EQ(error, "bad name \"a/b\"");
}

TEST(ArchiveReaderTest, DamagedHeadersAndTablesAreRefused) {
  ScratchLog log;
  ScratchFolder scratch;
  const int blocks = qz::GetTrackedBlockCount();
  const qz::ArchiveSourceNode tree =
      FolderNode("", {FolderNode("d", {FileNode("in", std::string(500, 'i'))}), FileNode("f", "plain bytes")});
  const std::vector<std::uint8_t> good = MakeImage(tree);
  auto block = [&](std::vector<std::uint8_t>& image) { return qz::LoadLe32(image.data() + qz::kHeaderBlockOffset); };
  auto field = [](std::vector<std::uint8_t>& image, std::size_t at, std::uint32_t value) {
    qz::StoreLe32(image.data() + at, value);
  };
  const std::vector<std::vector<std::uint8_t>> refusedAtOpen = {
      std::vector<std::uint8_t>(good.begin(), good.begin() + 20),
      Damage(good, [](auto& i) { i[qz::kHeaderMagic] ^= 1; }),
      Damage(good, [&](auto& i) { field(i, qz::kHeaderBlockSize, 0xFFFFFF00u); }),
      Damage(good, [&](auto& i) { field(i, qz::kHeaderBlockOffset, static_cast<std::uint32_t>(i.size())); }),
      Damage(good, [&](auto& i) { field(i, qz::kHeaderDataStart, 0xFFFFFFF0u); }),
      Damage(good, [&](auto& i) { field(i, qz::kHeaderDirectoryTable, 0xFFFFFFF8u); }),
      Damage(good, [&](auto& i) { field(i, qz::kHeaderFileTable, 0x7FFFFFFFu); }),
      // The root's entry count and first entry.
      Damage(good, [&](auto& i) {
        const std::uint32_t directories = qz::LoadLe32(i.data() + qz::kHeaderDirectoryTable);
        field(i, block(i) + directories + qz::kDirectoryCount, 0x40000000u);
      }),
      Damage(good, [&](auto& i) {
        const std::uint32_t directories = qz::LoadLe32(i.data() + qz::kHeaderDirectoryTable);
        field(i, block(i) + directories + qz::kDirectoryFirstEntry, 0xFFFFFFF0u);
      }),
  };
  // A refused open leaves the record cleared: no key, block or image a close would act on.
  qz::ArchiveReader cleared;
  qz::InitArchiveRecord(&cleared);
  const auto isCleared = [&](const qz::ArchiveReader& r) { return std::memcmp(&r, &cleared, sizeof r) == 0; };
  for (std::size_t n = 0; n < refusedAtOpen.size(); ++n) {
    std::vector<std::uint8_t> image = refusedAtOpen[n];
    qz::ArchiveReader reader;
    EXPECT_EQ(qz::OpenArchiveFromMemory(&reader, image.data(), image.size(), nullptr), -1) << n;
    EXPECT_TRUE(isCleared(reader)) << n;
    EXPECT_EQ(image, refusedAtOpen[n]) << n;
    scratch.Write("bad.qza", AsString(image));
    EXPECT_EQ(qz::OpenArchiveFileStreamed(&reader, scratch.Library("bad.qza").c_str(), nullptr), -1) << n;
    EXPECT_TRUE(isCleared(reader)) << n;
    EXPECT_EQ(qz::OpenArchiveFileToMemory(&reader, scratch.Library("bad.qza").c_str(), nullptr, 0), -1) << n;
    EXPECT_TRUE(isCleared(reader)) << n;
  }
  EXPECT_TRUE(log.Contains(qz::text::kArchiveBadHeader));
  EXPECT_TRUE(log.Contains(qz::text::kArchiveBadMagic));
  EXPECT_TRUE(log.Contains(qz::text::kArchiveBadTable));

  // Damage below the root opens but is never followed: a sub-directory
  // record out of the table and a name record out of the block.
  std::vector<std::uint8_t> image = Damage(good, [&](auto& i) {
    const std::uint32_t files = qz::LoadLe32(i.data() + qz::kHeaderFileTable);
    field(i, block(i) + files + qz::kEntryDataOffset, 0x7FFFFFF0u);  // "D" sorts first
    field(i, block(i) + files + 44 + qz::kEntryNameOffset, 0xFFFFFFFEu);
  });
  qz::ArchiveReader reader;
  ASSERT_EQ(qz::OpenArchiveFromMemory(&reader, image.data(), image.size(), nullptr), 0);
  qz::ArchiveFileEntry entry;
  EXPECT_NE(qz::FindArchiveFile(&reader, "D\\IN", &entry), 0);
  EXPECT_NE(qz::FindArchiveFile(&reader, "F", &entry), 0);
  char name[8];
  ASSERT_TRUE(qz::GetArchiveDirectoryEntry(&reader, 0, 1, &entry));
  EXPECT_FALSE(qz::GetArchiveStoredName(&reader, entry, name, sizeof name));
  EXPECT_FALSE(qz::GetArchiveDirectoryEntry(&reader, 0, 2, &entry));
  qz::CloseArchive(&reader);
  EXPECT_EQ(qz::GetTrackedBlockCount(), blocks);
}

}  // namespace
