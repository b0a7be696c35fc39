// qz_fuzz_seeds: writes a small seed corpus for every fuzz target into
// OUT/<target>/, made here in code (images, sounds, archives, text lines,
// paths, floor maps, save slots, framed messages and a Theora movie), so CI can replay
// each target over valid inputs of its format.
//   qz_fuzz_seeds OUT
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <png.h>
#include <unistd.h>

#include "core/archive_writer.h"
#include "game/game_text.h"
#include "game/map_format.h"
#include "game/save_file.h"
#include "tests/movie/theora_test_movie.h"
#include "tests/support/jpeg_writer.h"
#include "tools/datagen/data_set.h"
#include "tools/datagen/shop_files.h"
#include "tools/shaderasm/shader_assembler.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

void Put16(Bytes* out, std::uint32_t value) {
  out->push_back(static_cast<std::uint8_t>(value));
  out->push_back(static_cast<std::uint8_t>(value >> 8));
}
void Put32(Bytes* out, std::uint32_t value) {
  Put16(out, value & 0xFFFF);
  Put16(out, value >> 16);
}
void PutText(Bytes* out, const char* text) { out->insert(out->end(), text, text + std::strlen(text)); }

// The colour of pixel (x, y) of every seed image: a small gradient.
std::uint8_t Shade(int x, int y, int channel) { return static_cast<std::uint8_t>(x * 40 + y * 70 + channel * 50); }

// 24-bit bottom-up BMP.
Bytes Bmp(int width, int height) {
  const std::uint32_t row = (static_cast<std::uint32_t>(width) * 3 + 3) / 4 * 4;
  Bytes out;
  PutText(&out, "BM");
  Put32(&out, 54 + row * static_cast<std::uint32_t>(height));
  Put32(&out, 0);
  Put32(&out, 54);
  Put32(&out, 40);
  Put32(&out, static_cast<std::uint32_t>(width));
  Put32(&out, static_cast<std::uint32_t>(height));
  Put16(&out, 1);
  Put16(&out, 24);
  for (int i = 0; i < 6; ++i) Put32(&out, 0);
  for (int y = height - 1; y >= 0; --y) {
    for (int x = 0; x < width; ++x) {
      for (int channel = 0; channel < 3; ++channel) out.push_back(Shade(x, y, channel));
    }
    for (std::uint32_t pad = static_cast<std::uint32_t>(width) * 3; pad < row; ++pad) out.push_back(0);
  }
  return out;
}

// Uncompressed top-down TGA of 24 or 32 bits.
Bytes Tga(int width, int height, int bits) {
  Bytes out = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  Put16(&out, static_cast<std::uint32_t>(width));
  Put16(&out, static_cast<std::uint32_t>(height));
  out.push_back(static_cast<std::uint8_t>(bits));
  out.push_back(bits == 32 ? 0x28 : 0x20);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int channel = 0; channel < bits / 8; ++channel) out.push_back(Shade(x, y, channel));
    }
  }
  return out;
}

// The library's raw format, 8 bits a channel.
Bytes Bgra(int width, int height) {
  Bytes out;
  PutText(&out, "BGRA");
  Put32(&out, 0x08080808u);
  Put32(&out, static_cast<std::uint32_t>(width));
  Put32(&out, static_cast<std::uint32_t>(height));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int channel = 0; channel < 4; ++channel) out.push_back(Shade(x, y, channel));
    }
  }
  return out;
}

// DDS of DXT blocks (kind 1 or 5) over a width of 8 and a height of 4.
Bytes Dds(int kind) {
  Bytes out;
  PutText(&out, "DDS ");
  Put32(&out, 124);
  Put32(&out, 0x1007);
  Put32(&out, 4);
  Put32(&out, 8);
  for (int i = 0; i < 13; ++i) Put32(&out, 0);
  Put32(&out, 32);
  Put32(&out, 0x4);
  PutText(&out, kind == 1 ? "DXT1" : "DXT5");
  for (int i = 0; i < 5; ++i) Put32(&out, 0);
  Put32(&out, 0x1000);
  for (int i = 0; i < 4; ++i) Put32(&out, 0);
  for (int block = 0; block < 2; ++block) {
    if (kind == 5) out.insert(out.end(), {0xFF, 0x00, 0x24, 0x92, 0x49, 0x24, 0x92, 0x49});
    out.insert(out.end(), {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0xE4, 0x1B, 0x1B});
  }
  return out;
}

void AppendPngBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<Bytes*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

// RGBA or palette PNG.
Bytes Png(int width, int height, bool palette) {
  Bytes out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(png, &out, AppendPngBytes, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
               palette ? PNG_COLOR_TYPE_PALETTE : PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_color colours[4] = {{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
  if (palette) png_set_PLTE(png, info, colours, 4);
  png_write_info(png, info);
  std::vector<png_byte> row(static_cast<std::size_t>(width) * 4);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int channel = 0; channel < 4; ++channel) {
        row[static_cast<std::size_t>(x) * 4 + static_cast<std::size_t>(channel)] = Shade(x, y, channel);
      }
      if (palette) row[static_cast<std::size_t>(x)] = static_cast<png_byte>((x + y) % 4);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

// Baseline colour JPEG.
Bytes Jpeg(int width, int height) {
  std::vector<std::uint8_t> rgb(static_cast<std::size_t>(width) * height * 3);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int channel = 0; channel < 3; ++channel) {
        rgb[(static_cast<std::size_t>(y) * width + x) * 3 + static_cast<std::size_t>(channel)] = Shade(x, y, channel);
      }
    }
  }
  return qz::testing::EncodeJpeg(qz::testing::JpegSpec(width, height, 3, false, 80), rgb);
}

// A WAV file of one format: tag, channels, rate, block align, bits, the
// extra format bytes and the data.
Bytes Wave(std::uint16_t tag, std::uint16_t channels, std::uint32_t rate, std::uint16_t align, std::uint16_t bits,
           const Bytes& extra, const Bytes& data) {
  Bytes format;
  Put16(&format, tag);
  Put16(&format, channels);
  Put32(&format, rate);
  Put32(&format, rate * align);
  Put16(&format, align);
  Put16(&format, bits);
  Put16(&format, static_cast<std::uint32_t>(extra.size()));
  format.insert(format.end(), extra.begin(), extra.end());
  Bytes out;
  PutText(&out, "RIFF");
  Put32(&out, static_cast<std::uint32_t>(4 + 8 + format.size() + 8 + data.size()));
  PutText(&out, "WAVEfmt ");
  Put32(&out, static_cast<std::uint32_t>(format.size()));
  out.insert(out.end(), format.begin(), format.end());
  PutText(&out, "data");
  Put32(&out, static_cast<std::uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

std::vector<Bytes> Sounds() {
  Bytes pcm;
  for (int i = 0; i < 400; ++i) Put16(&pcm, static_cast<std::uint32_t>((i * 613) & 0xFFFF));
  Bytes law(200);
  for (std::size_t i = 0; i < law.size(); ++i) law[i] = static_cast<std::uint8_t>(i * 37);
  // One IMA ADPCM block of 256 bytes: a 4-byte header and 505 samples.
  Bytes ima(256);
  for (std::size_t i = 4; i < ima.size(); ++i) ima[i] = static_cast<std::uint8_t>(i * 29);
  Bytes imaExtra;
  Put16(&imaExtra, 505);
  // Three silent MPEG-1 layer III frames of 128 kbit/s at 44.1 kHz.
  Bytes mp3;
  for (int frame = 0; frame < 3; ++frame) {
    const std::size_t at = mp3.size();
    mp3.resize(at + 417, 0);
    mp3[at] = 0xFF;
    mp3[at + 1] = 0xFB;
    mp3[at + 2] = 0x90;
    mp3[at + 3] = 0xC0;
  }
  return {Wave(1, 2, 22050, 4, 16, {}, pcm), Wave(6, 1, 8000, 1, 8, {}, law), Wave(7, 2, 8000, 2, 8, {}, law),
          Wave(0x11, 1, 8000, 256, 4, imaExtra, ima), mp3};
}

std::vector<Bytes> Archives() {
  qz::ArchiveSourceNode root;
  root.isDirectory = true;
  qz::ArchiveSourceNode folder;
  folder.name = "data";
  folder.isDirectory = true;
  qz::ArchiveSourceNode text;
  text.name = "a.txt";
  const std::string words = "alpha beta alpha beta alpha beta gamma";
  text.bytes.assign(words.begin(), words.end());
  folder.children.push_back(text);
  qz::ArchiveSourceNode raw;
  raw.name = "b.bin";
  raw.bytes = Bgra(3, 2);
  root.children = {folder, raw};
  std::vector<Bytes> out;
  for (const int version : {1, 2, 4}) {
    qz::ArchiveWriteOptions options;
    options.version = version;
    options.pack = version >= 2;
    options.codePage = version == 4 ? 932 : 0;
    Bytes image;
    std::string error;
    if (qz::BuildArchiveImage(root, options, &image, nullptr, &error)) out.push_back(image);
  }
  return out;
}

// The archives from memory, and one as a file through the file table (the
// target's "FILE:" mark).
std::vector<Bytes> ArchiveSeeds() {
  std::vector<Bytes> seeds = Archives();
  if (seeds.size() < 2) return seeds;
  Bytes fileBacked;
  PutText(&fileBacked, "FILE:");
  fileBacked.insert(fileBacked.end(), seeds[1].begin(), seeds[1].end());
  seeds.push_back(std::move(fileBacked));
  return seeds;
}

std::vector<Bytes> Images() {
  return {Bmp(3, 2), Tga(3, 2, 24), Tga(2, 2, 32), Bgra(3, 2), Dds(1), Dds(5), Png(3, 2, false), Png(4, 3, true),
          Jpeg(8, 8)};
}

// Two MIDI tracks: a tempo map and notes with running status.
std::vector<Bytes> Midis() {
  const auto file = [](std::uint16_t division, const std::vector<Bytes>& tracks) {
    Bytes out;
    PutText(&out, "MThd");
    out.insert(out.end(), {0, 0, 0, 6, 0, 1, 0, static_cast<std::uint8_t>(tracks.size()),
                           static_cast<std::uint8_t>(division >> 8), static_cast<std::uint8_t>(division)});
    for (const Bytes& track : tracks) {
      PutText(&out, "MTrk");
      const auto size = static_cast<std::uint32_t>(track.size());
      out.insert(out.end(), {static_cast<std::uint8_t>(size >> 24), static_cast<std::uint8_t>(size >> 16),
                             static_cast<std::uint8_t>(size >> 8), static_cast<std::uint8_t>(size)});
      out.insert(out.end(), track.begin(), track.end());
    }
    return out;
  };
  const Bytes tempo = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x81, 0x40, 0xFF, 0x51, 0x03, 0x03, 0xD0, 0x90,
                       0x00, 0xFF, 0x2F, 0x00};
  const Bytes notes = {0x00, 0x90, 60, 100, 0x60, 0xF0, 0x02, 0x7E, 0xF7, 0x60, 60, 0, 0x81, 0x40, 0xC0, 5,
                       0x00, 0xFF, 0x2F, 0x00};
  return {file(96, {tempo, notes}), file(0xE728, {notes})};
}

Bytes Prefixed(std::uint8_t first, const Bytes& rest) {
  Bytes out = {first};
  out.insert(out.end(), rest.begin(), rest.end());
  return out;
}

bool WriteAll(const fs::path& folder, const std::vector<Bytes>& seeds) {
  fs::create_directories(folder);
  for (std::size_t i = 0; i < seeds.size(); ++i) {
    std::ofstream file(folder / ("seed" + std::to_string(i)), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(seeds[i].data()), static_cast<std::streamsize>(seeds[i].size()));
    if (!file) return false;
  }
  return true;
}

Bytes FromText(const std::string& text) { return Bytes(text.begin(), text.end()); }

// An empty floor and one with names and a record in every list.
std::vector<Bytes> Maps() {
  MapFileData floor;
  const Bytes empty = WriteMapFile(floor);
  floor.chipSetName = "chip_meadow.png";
  floor.backgroundName = "BG_Meadow.png";
  floor.musicName = "BGM_F001.mp3";
  floor.chipLayer[MapFileData::CellIndex(3, 4)] = 1;
  floor.attributeLayer[MapFileData::CellIndex(3, 4)] = 120;
  floor.enemyPlacements.push_back({5, 6, 1});
  floor.mapObjects.push_back({7, 8, 2});
  floor.movingObjects.push_back({9, 10, 0});
  floor.doors[0] = {2, 0};
  floor.timeLimit = 120;
  return {empty, WriteMapFile(floor)};
}

// Framed messages (a 4-byte little-endian length, then the body) behind the
// harness's piece sizes: whole, and split into small arrivals.
std::vector<Bytes> FramedStreams() {
  Bytes messages;
  for (const char* body : {"hello", "", "abc"}) {
    Put32(&messages, static_cast<std::uint32_t>(std::strlen(body)));
    PutText(&messages, body);
  }
  Bytes whole = {0};
  whole.insert(whole.end(), messages.begin(), messages.end());
  Bytes split = {3, 1, 2, 6};
  split.insert(split.end(), messages.begin(), messages.end());
  return {whole, split};
}

// A new game's slot on floor "001" and one further on, with links and flags.
std::vector<Bytes> Saves() {
  SaveRecord record{};
  record.maxMagic = kStartMaxMagic;
  record.shotLevel[0] = 1;
  record.mapName = "001";
  const Bytes fresh = EncodeSaveRecord(record);
  record.mapName = "042";
  record.doorLinks[41][2] = -1;
  record.visited[41] = 1;
  record.floorValue[7] = 29;
  record.coins = 34;
  record.entrance = 3;
  record.playTimeMs = 987654;
  return {fresh, EncodeSaveRecord(record)};
}

// The game targets' seeds: profile files, a shop file, message pages, floor
// files and save slots as a data set holds them.
Bytes Compiled(const std::string& floorName) {
  for (const datagen::FloorSource& floor : datagen::BuiltInFloors()) {
    MapFileData data;
    std::string error;
    if (floor.name == floorName && datagen::CompileFloorText(floor.text, &data, &error)) return WriteMapFile(data);
  }
  return {};
}

// A configuration, a zero byte, then a debug file starting floor `floor`.
Bytes ProfilePair(const std::string& config, const std::string& floor, const std::string& entrance) {
  using namespace qz::text;
  const std::string debug = std::string("[DebugUse]\r\n") + kDebugUseKey + "=1\r\n[MapData]\r\n" + kDebugMapFileKey +
                            "=" + floor + "\r\n" + kDebugEntranceKey + "=" + entrance + "\r\n[PlayerData]\r\n" +
                            kDebugLifeKey + "=6\r\n" + kDebugMagicKey + "=40\r\n" + kDebugAllItemsKey + "=1\r\n";
  Bytes out = FromText(config);
  out.push_back(0);
  PutText(&out, debug.c_str());
  return out;
}

std::vector<Bytes> ProfileSeeds() {
  const std::string config =
      "[Config]\r\nScreen mode=0\r\nVolume=55\r\nConfirm=0\r\nCancel=1\r\nJump=0\r\nShot=1\r\nShot Change=2\r\n"
      "Dash=3\r\nMenu=4\r\nDon't use 3D Acceleration=0\r\n";
  return {ProfilePair(config, "003", "1"), ProfilePair("[Config]\r\nVolume=\"80\"\r\n", "090", "4"),
          FromText("garbage\r\n=\r\n[Config\r\n")};
}

std::vector<Bytes> ShopSeeds() {
  const fs::path folder = fs::temp_directory_path() / ("qz_fuzz_shops_" + std::to_string(::getpid()));
  std::string error;
  std::vector<Bytes> seeds;
  fs::create_directories(folder);
  if (datagen::WriteShopFiles(folder, &error)) {
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
      std::ifstream file(entry.path(), std::ios::binary);
      seeds.emplace_back(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
  }
  fs::remove_all(folder);
  seeds.push_back(FromText("Shop\r\n-\r\n-\r\n\r\n99\r\n40\r\n\r\n-1\r\n-5\r\n"));
  return seeds;
}

// First byte: odd a boss file (its number the byte's upper bits), even a sign.
std::vector<Bytes> MessageSeeds() {
  return {Prefixed(7, FromText("\x82\xa8\x82\xe6\x82\xa4\x81\x42\r\nThe gate is shut.\r\n\r\nCome back later.\r\n")),
          Prefixed(0, FromText("One\r\nTwo\r\nThree\r\nFour\r\nFive\r\nSix\r\nSeven\r\n")),
          Prefixed(241, FromText("\x83\x81\x83\x62\x83\x5a\x81\x5b\x83\x57\r\n"))};
}

// First byte: the entrance (modulo 5); 128 or more lays the rest over the
// gallery floor.
std::vector<Bytes> FloorLoadSeeds() {
  Bytes overlay = {0x80};
  Bytes tail = {0x81, 0, 0, 0};
  return {Prefixed(0, Compiled("001")), Prefixed(2, Compiled("090")), overlay, tail};
}

bool WriteGameSeeds(const fs::path& out) {
  return WriteAll(out / "game_profile_fuzz", ProfileSeeds()) && WriteAll(out / "game_shop_fuzz", ShopSeeds()) &&
         WriteAll(out / "game_message_fuzz", MessageSeeds()) &&
         WriteAll(out / "game_floor_load_fuzz", FloorLoadSeeds()) && WriteAll(out / "game_save_apply_fuzz", Saves());
}

Bytes SmallTheoraMovie() {
  qz::testing::TestMovieOptions options;
  options.width = 32;
  options.height = 32;
  options.frames = 3;
  const std::string movie = qz::testing::EncodeTheoraMovie(options);
  return Bytes(movie.begin(), movie.end());
}

}  // namespace

// Shaders of both models, each after the byte that chooses its kind.
std::vector<Bytes> Shaders() {
  const char* sources[] = {
      "vs_2_0\ndcl_position v0\ndcl_normal v1\ndefi i0, 2, 0, 1, 0\nmova a0.x, v1.x\nrep i0\n"
      "if b4\nadd r0, v0, c[a0.x + 14]\nelse\nmov r0, v0\nendif\nendrep\nm4x4 oPos, r0, c2\nmov oFog.x, r0.z\n",
      "ps_2_0\ndcl v0\ndcl t0.xy\ndcl_2d s0\ndcl_volume s1\ntexld r0, t0, s0\ntexld r1, r0, s1\n"
      "texkill r0\nmul_sat r0, r1, v0\nmov oC0, r0\n"};
  std::vector<Bytes> seeds;
  for (const char* source : sources) {
    std::vector<std::uint32_t> tokens;
    std::string error;
    if (!shaderasm::AssembleShader(source, &tokens, &error)) {
      std::fprintf(stderr, "qz_fuzz_seeds: %s\n", error.c_str());
      continue;
    }
    Bytes seed = {static_cast<std::uint8_t>(source[0] == 'p' ? 1 : 0)};
    for (const std::uint32_t token : tokens) Put32(&seed, token);
    seeds.push_back(std::move(seed));
  }
  return seeds;
}

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: qz_fuzz_seeds OUT\n");
    return 2;
  }
  const fs::path out = argv[1];
  const std::vector<Bytes> images = Images();
  std::vector<Bytes> dispatched;
  for (std::size_t i = 0; i < images.size(); ++i) dispatched.push_back(Prefixed(static_cast<std::uint8_t>(i), images[i]));
  const std::string nul(1, '\0');
  const bool written =
      WriteAll(out / "bmp_fuzz", {images[0]}) && WriteAll(out / "tga_fuzz", {images[1], images[2]}) &&
      WriteAll(out / "bgra_fuzz", {images[3]}) && WriteAll(out / "dds_fuzz", {images[4], images[5]}) &&
      WriteAll(out / "png_fuzz", {images[6], images[7]}) && WriteAll(out / "jpeg_fuzz", {images[8]}) &&
      WriteAll(out / "image_decode_fuzz", dispatched) && WriteAll(out / "archive_fuzz", ArchiveSeeds()) &&
      WriteAll(out / "sound_converter_fuzz", Sounds()) && WriteAll(out / "sound_load_fuzz", Sounds()) &&
      WriteAll(out / "midi_duration_fuzz", Midis()) && WriteAll(out / "map_format_fuzz", Maps()) &&
      WriteAll(out / "save_file_fuzz", Saves()) && WriteAll(out / "shader_code_fuzz", Shaders()) &&
      WriteAll(out / "network_framing_fuzz", FramedStreams()) &&
      WriteAll(out / "movie_theora_fuzz", {SmallTheoraMovie()}) &&
      WriteAll(out / "file_line_fuzz", {FromText("\x10one\r\ntwo\r\n\r\na longer third line\r\nend"),
                                        FromText("\x03no line end at all")}) &&
      WriteAll(out / "full_path_fuzz", {FromText("a\\..\\b\\c.png" + nul + "C:\\game\\"),
                                        FromText("\\\\server\\share\\x" + nul + "D:"),
                                        FromText("..\\..\\\x83\x5C\\y" + nul + "C:\\a\\b\\")});
  if (!written || !WriteGameSeeds(out)) {
    std::fprintf(stderr, "qz_fuzz_seeds: cannot write under %s\n", out.c_str());
    return 1;
  }
  return 0;
}
