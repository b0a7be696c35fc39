// The DirectMusic stand-in: off by default; how long MIDI data plays (tempo
// changes, running status, several tracks, SMPTE time, damaged files); and a
// performance whose segments play for that long by the stand-in clock.
#include <gtest/gtest.h>

#include <vector>

#include "platform/clock.h"
#include "platform/dmusic.h"
#include "platform/dmusic_midi.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Chunk(const char* id, const Bytes& body) {
  Bytes out(id, id + 4);
  const auto size = static_cast<std::uint32_t>(body.size());
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(size >> shift));
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

Bytes MidiFile(std::uint16_t format, std::uint16_t division, const std::vector<Bytes>& tracks) {
  Bytes out = Chunk("MThd", {0, static_cast<std::uint8_t>(format), 0, static_cast<std::uint8_t>(tracks.size()),
                             static_cast<std::uint8_t>(division >> 8), static_cast<std::uint8_t>(division)});
  for (const Bytes& track : tracks) {
    const Bytes chunk = Chunk("MTrk", track);
    out.insert(out.end(), chunk.begin(), chunk.end());
  }
  return out;
}

std::int64_t Duration(const Bytes& file) { return plat::MidiDurationMicroseconds(file.data(), file.size()); }

TEST(MidiDuration, TicksAtTheirTempoAcrossTracks) {
  // Format 1, 96 ticks a quarter. Track 0: tempo 0.5 s a quarter, then at
  // tick 192 (1 s in) 0.25 s a quarter. Track 1: a note from 0 to tick 384
  // (the 0x81 0x40 delta is 192), the off by running status, a sysex on the way.
  const Bytes tempo = {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20, 0x81, 0x40, 0xFF, 0x51, 0x03,
                       0x03, 0xD0, 0x90, 0x00, 0xFF, 0x2F, 0x00};
  const Bytes notes = {0x00, 0x90, 60, 100, 0x60, 0xF0, 0x02, 0x7E, 0xF7, 0x60, 60, 0,
                       0x81, 0x40, 0xC0, 5, 0x00, 0xFF, 0x2F, 0x00};
  // Track 1 ends at 96 + 96 + 192 = 384: 1 s, then 192 ticks at 0.25 s a quarter.
  EXPECT_EQ(Duration(MidiFile(1, 96, {tempo, notes})), 1500000);
  // Without a tempo event: 120 beats a minute.
  EXPECT_EQ(Duration(MidiFile(0, 96, {notes})), 2000000);
  // SMPTE: 25 frames of 40 ticks a second.
  EXPECT_EQ(Duration(MidiFile(0, static_cast<std::uint16_t>((0x100 - 25) << 8 | 40), {notes})), 384000);
}

TEST(MidiDuration, DamagedFilesAreRefused) {
  const Bytes good = MidiFile(0, 96, {{0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00}});
  ASSERT_EQ(Duration(good), 500000);
  for (std::size_t cut = 0; cut < good.size() - 4; ++cut) {
    EXPECT_EQ(Duration(Bytes(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(cut))), -1) << cut;
  }
  // A data byte with no status before it, and a quantity of five bytes.
  EXPECT_EQ(Duration(MidiFile(0, 96, {{0x00, 60, 100}})), -1);
  EXPECT_EQ(Duration(MidiFile(0, 96, {{0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 100}})), -1);
  EXPECT_EQ(Duration(MidiFile(3, 96, {{0x00, 0xFF, 0x2F, 0x00}})), -1);
}

TEST(DirectMusicStandIn, OffByDefaultAndSegmentsPlayForTheirLength) {
  plat::DirectMusic8* music = nullptr;
  EXPECT_EQ(plat::DirectMusicCreate8(&music), plat::REGDB_E_CLASSNOTREG);
  EXPECT_EQ(music, nullptr);

  plat::SetDirectMusicAvailableForTest(true);
  plat::UseVirtualTime(true);
  plat::DirectMusicPerformance8* performance = nullptr;
  plat::DirectMusicLoader8* loader = nullptr;
  ASSERT_EQ(plat::DirectMusicPerformanceCreate8(&performance), plat::DS_OK);
  ASSERT_EQ(plat::DirectMusicLoaderCreate8(&loader), plat::DS_OK);
  plat::DirectSound* sound = nullptr;
  ASSERT_EQ(performance->InitAudio(&music, &sound, nullptr, plat::DMUS_APATH_SHARED_STEREOPLUSREVERB, 64,
                                   plat::DMUS_AUDIOF_ALL, nullptr),
            plat::DS_OK);
  ASSERT_NE(music, nullptr);
  ASSERT_NE(sound, nullptr);
  EXPECT_EQ(performance->InitAudio(nullptr, nullptr, nullptr, 0, 0, 0, nullptr), plat::DSERR_GENERIC);

  const Bytes midi = MidiFile(0, 96, {{0x00, 0x90, 60, 100, 0x60, 0x80, 60, 0, 0x00, 0xFF, 0x2F, 0x00}});
  plat::DirectMusicSegment8* segment = nullptr;
  ASSERT_EQ(loader->LoadSegmentFromMemory(midi.data(), midi.size(), &segment), plat::DS_OK);
  EXPECT_EQ(performance->IsPlaying(segment, nullptr), plat::S_FALSE);
  ASSERT_EQ(performance->PlaySegmentEx(segment, 0, 0), plat::DS_OK);
  plat::AdvanceVirtualTime(499000000);
  EXPECT_EQ(performance->IsPlaying(segment, nullptr), plat::DS_OK);
  plat::AdvanceVirtualTime(1000000);
  EXPECT_EQ(performance->IsPlaying(segment, nullptr), plat::S_FALSE);
  ASSERT_EQ(performance->PlaySegmentEx(segment, 0, 0), plat::DS_OK);
  ASSERT_EQ(performance->StopEx(segment, 0, 0), plat::DS_OK);
  EXPECT_EQ(performance->IsPlaying(segment, nullptr), plat::S_FALSE);

  EXPECT_EQ(segment->Unload(performance), plat::DSERR_INVALIDCALL) << "nothing was downloaded";
  EXPECT_EQ(loader->ReleaseObjectByUnknown(segment), plat::DS_OK);
  EXPECT_EQ(segment->Release(), 0u);
  performance->CloseDown();
  performance->Release();
  loader->Release();
  music->Release();
  sound->Release();
  EXPECT_EQ(plat::GetLiveDirectMusicObjectCount(), 0);
  plat::UseVirtualTime(false);
  plat::SetDirectMusicAvailableForTest(false);
}

}  // namespace
