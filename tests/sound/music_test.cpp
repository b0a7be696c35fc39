// Music: the start's fall back to MCI, the music table, MCI notify and stop
// as recorded commands, the current music and the capture file's header; and
// the DirectMusic road with the stand-in switched on: its start, play states
// that end with the MIDI data, stop, delete and end.
#include "sound/music.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/log_text.h"
#include "platform/clock.h"
#include "platform/dmusic.h"
#include "platform/dsound.h"
#include "platform/mci.h"
#include "sound/sound_fixture.h"
#include "sound/sound_play.h"
#include "tests/support/scratch_folder.h"

namespace qz::testing {
namespace {

class Music : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    plat::TakeMciCommandsForTest();
  }
};

TEST_F(Music, StartTakesTheMciRoadWithoutDirectMusic) {
  EXPECT_EQ(GetMusicMode(), kMusicModeMci);
  EXPECT_TRUE(log_.Contains(text::kDirectMusic8Failed));
  EXPECT_TRUE(log_.Contains(text::kSoundOlderStart));
  EXPECT_TRUE(log_.Contains(text::kDsoundStartDone));
}

TEST_F(Music, TableShrinksOnDeleteAndRefusesBadHandles) {
  const std::uint8_t midi[4] = {'M', 'T', 'h', 'd'};
  const int first = AddMusicHandleForTest(midi, 4);
  const int second = AddMusicHandleForTest(midi, 4);
  ASSERT_NE(first, -1);
  EXPECT_EQ(first & kHandleKindMask, kMusicHandle);
  EXPECT_EQ(GetMusicUsedRangeEndForTest(), 2);
  EXPECT_EQ(DeleteMusicHandle(second), 0);
  EXPECT_EQ(GetMusicUsedRangeEndForTest(), 1);
  EXPECT_EQ(DeleteMusicHandle(second), -1);
  const int reused = AddMusicHandleForTest(midi, 4);
  EXPECT_NE(reused, second) << "the freed slot comes back under a new check";
  EXPECT_EQ(IsMusicHandlePlaying(second), -1);
  EXPECT_EQ(StopMusicHandle(first | 0x07FF0000), -1);
  EXPECT_EQ(IsMusicHandlePlaying(first), 0);
  EXPECT_EQ(IsMusicHandlePlaying(MakeHandle(kMusicHandle, 0, kMusicTableSize)), -1) << "a slot past the table";
  EXPECT_EQ(DeleteAllMusicHandles(), 0);
  EXPECT_EQ(GetMusicUsedRangeEndForTest(), 0);
}

TEST_F(Music, NotifyReplaysWhileLoopingAndStopCloses) {
  plat::OpenMciDeviceForTest(7);
  SetMciMusicStateForTest({7, 1, 1});
  const int handle = AddMusicHandleForTest(nullptr, 0);
  EXPECT_EQ(OnMciMusicNotify(), 0);
  std::vector<plat::MciCommandRecord> commands = plat::TakeMciCommandsForTest();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].message, plat::MCI_PLAY);
  EXPECT_EQ(commands[0].flags, plat::MCI_NOTIFY | plat::MCI_FROM);
  EXPECT_EQ(commands[0].from, 0u);
  EXPECT_EQ(commands[0].result, 0u);
  EXPECT_EQ(IsMusicHandlePlaying(handle), 1);

  EXPECT_EQ(StopMusicHandle(handle), 0);
  commands = plat::TakeMciCommandsForTest();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].message, plat::MCI_CLOSE);
  EXPECT_EQ(GetMciMusicStateForTest().loop, 0);
  EXPECT_EQ(IsMusicHandlePlaying(handle), 0);
  // A late notify after the close has nothing left to close.
  EXPECT_EQ(OnMciMusicNotify(), 0);
  EXPECT_TRUE(plat::TakeMciCommandsForTest().empty());
  // A device never opened is refused.
  SetMciMusicStateForTest({9, 0, 1});
  OnMciMusicNotify();
  commands = plat::TakeMciCommandsForTest();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].result, plat::MCIERR_INVALID_DEVICE_ID);
}

// The MCI end forgets the device and deletes what is left.
TEST_F(Music, TheMciEndDeletesTheHandlesAndForgetsTheDevice) {
  plat::OpenMciDeviceForTest(5);
  SetMciMusicStateForTest({5, 0, 1});
  const int handle = AddMusicHandleForTest(nullptr, 0);
  ASSERT_NE(handle, -1);
  GetSoundSystem().currentMusic = handle;
  ASSERT_EQ(TerminateSound(), 0);
  EXPECT_EQ(GetSoundSystem().currentMusic, -1) << "no stale handle for the next start to delete";
  EXPECT_EQ(GetMusicUsedRangeEndForTest(), 0);
  EXPECT_EQ(GetMciMusicStateForTest().playing, 0);
  EXPECT_EQ(GetMciMusicStateForTest().device, 0u);
  ASSERT_EQ(InitializeSound(), 0);
}

TEST_F(Music, DeleteCurrentMusicDeletesTheSoundInTheSlot) {
  const SoundHandle sound = MakeStatic(CounterPcm(100), 1);
  GetSoundSystem().currentMusic = sound;
  GetSoundSystem().currentMusicIsSound = 1;
  PlaySoundHandle(sound, 3, 1);
  EXPECT_EQ(DeleteCurrentMusic(), 0);
  EXPECT_EQ(GetSoundRecord(sound), nullptr);
  EXPECT_EQ(GetSoundSystem().currentMusic, -1);
  EXPECT_EQ(GetSoundSystem().currentMusicIsSound, 0);
  EXPECT_EQ(DeleteCurrentMusic(), 0);
  // A music handle in the slot goes the same way.
  const int music = AddMusicHandleForTest(nullptr, 0);
  GetSoundSystem().currentMusic = music;
  EXPECT_EQ(DeleteCurrentMusic(), 0);
  EXPECT_EQ(IsMusicHandlePlaying(music), -1);
  EXPECT_EQ(GetSoundSystem().currentMusic, -1);
}

TEST_F(Music, CaptureHeaderIsTheExactFortySixBytes) {
  EXPECT_EQ(FinishSoundCaptureFile(), -1);
  ScratchFolder folder;
  const std::string path = folder.Posix("capture.wav");
  ASSERT_EQ(StartSoundCaptureForTest(path.c_str()), 0);
  const std::vector<std::uint8_t> pcm = CounterPcm(1000);
  AppendSoundCaptureForTest(reinterpret_cast<const std::int16_t*>(pcm.data()), 1000);
  ASSERT_EQ(FinishSoundCaptureFile(), 0);
  std::ifstream file(path, std::ios::binary);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_EQ(bytes.size(), 46u + 4000u);
  const std::uint8_t header[46] = {'R', 'I', 'F', 'F', 0xC6, 0x0F, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                                   18,  0,   0,   0,   1,    0,    2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0,
                                   4,   0,   16,  0,   0,    0,    'd', 'a', 't', 'a', 0xA0, 0x0F, 0, 0};
  EXPECT_TRUE(std::equal(header, header + 46, bytes.begin()));
  EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), bytes.begin() + 46));
  EXPECT_EQ(FinishSoundCaptureFile(), -1);
}

// A MIDI file of one track: a note held for `ticks` at 480 ticks a quarter,
// with a tempo meta event first (microseconds a quarter) and running status.
std::vector<std::uint8_t> Midi(std::uint32_t ticks, std::uint32_t microsPerQuarter) {
  std::vector<std::uint8_t> track = {0x00, 0xFF, 0x51, 0x03, static_cast<std::uint8_t>(microsPerQuarter >> 16),
                                     static_cast<std::uint8_t>(microsPerQuarter >> 8),
                                     static_cast<std::uint8_t>(microsPerQuarter), 0x00, 0x90, 60, 100};
  // The delta as a variable-length quantity, then a note-off by running status.
  std::vector<std::uint8_t> delta;
  for (std::uint32_t rest = ticks;; rest >>= 7) {
    delta.insert(delta.begin(), static_cast<std::uint8_t>((rest & 0x7F) | (delta.empty() ? 0 : 0x80)));
    if (rest < 0x80) break;
  }
  track.insert(track.end(), delta.begin(), delta.end());
  track.insert(track.end(), {60, 0, 0x00, 0xFF, 0x2F, 0x00});
  std::vector<std::uint8_t> file = {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 0, 0, 1, 0x01, 0xE0, 'M', 'T', 'r', 'k'};
  const auto size = static_cast<std::uint32_t>(track.size());
  for (int shift = 24; shift >= 0; shift -= 8) file.push_back(static_cast<std::uint8_t>(size >> shift));
  file.insert(file.end(), track.begin(), track.end());
  return file;
}

class DirectMusicRoad : public SoundTest {
 protected:
  void SetUp() override {
    SoundTest::SetUp();
    TerminateSound();
    plat::SetDirectMusicAvailableForTest(true);
    ASSERT_EQ(InitializeSound(), 0);
    plat::UseVirtualTime(true);
  }
  void TearDown() override {
    SoundTest::TearDown();
    plat::UseVirtualTime(false);
    plat::SetDirectMusicAvailableForTest(false);
    EXPECT_EQ(plat::GetLiveDirectMusicObjectCount(), 0);
  }
  static void Advance(int milliseconds) { plat::AdvanceVirtualTime(std::uint64_t(milliseconds) * 1000000u); }
};

TEST_F(DirectMusicRoad, StartMakesDirectSoundThroughThePerformanceAndListsThePorts) {
  EXPECT_EQ(GetMusicMode(), kMusicModeDirectMusic);
  char line[256];
  std::snprintf(line, sizeof line, text::kMidiPortLine, text::kMidiOutputPort, 0, "Silent Software Synth");
  EXPECT_TRUE(log_.Contains(line)) << line;
  std::snprintf(line, sizeof line, text::kMidiPortLine, text::kMidiInputPort, 1, "Silent MIDI Input");
  EXPECT_TRUE(log_.Contains(line)) << line;
  // The DirectSound object the performance made carries the sounds.
  const SoundHandle sound = MakeStatic(CounterPcm(100), 1);
  ASSERT_EQ(PlaySoundHandle(sound, 1, 1), 0);
  EXPECT_EQ(LeftAt(plat::RenderAudioForTest(1), 0), 0);
  EXPECT_EQ(LeftAt(plat::RenderAudioForTest(1), 0), 1);
  EXPECT_EQ(AddMusicHandleForTest("not midi", 8), -1) << "the loader refuses other bytes";
}

TEST_F(DirectMusicRoad, PlayStatesEndWhenTheMidiDataDoes) {
  // 960 ticks at 480 a quarter and 0.6 s a quarter: 1.2 s.
  const std::vector<std::uint8_t> midi = Midi(960, 600000);
  const int handle = AddMusicHandleForTest(midi.data(), static_cast<std::int32_t>(midi.size()));
  ASSERT_NE(handle, -1);
  MusicRecord* record = GetMusicRecordForTest(handle);
  EXPECT_EQ(IsMusicHandlePlaying(handle), 0);
  ASSERT_EQ(PlayMusicHandleForTest(handle), 0);
  UpdateMusicPlayStates();
  EXPECT_EQ(record->started, 1);
  Advance(1100);
  UpdateMusicPlayStates();
  EXPECT_EQ(IsMusicHandlePlaying(handle), 1);
  Advance(200);
  UpdateMusicPlayStates();
  EXPECT_EQ(IsMusicHandlePlaying(handle), 0);
}

TEST_F(DirectMusicRoad, StopDeleteAndEndLetEverythingGo) {
  const std::vector<std::uint8_t> midi = Midi(4800, 500000);  // 5 s
  const int first = AddMusicHandleForTest(midi.data(), static_cast<std::int32_t>(midi.size()));
  const int second = AddMusicHandleForTest(midi.data(), static_cast<std::int32_t>(midi.size()));
  ASSERT_EQ(PlayMusicHandleForTest(first), 0);
  ASSERT_EQ(PlayMusicHandleForTest(second), 0);
  UpdateMusicPlayStates();

  // A stopped segment stays stopped.
  ASSERT_EQ(StopMusicHandle(first), 0);
  EXPECT_EQ(IsMusicHandlePlaying(first), 0);
  UpdateMusicPlayStates();
  EXPECT_EQ(GetMusicRecordForTest(first)->started, 0);
  EXPECT_EQ(IsMusicHandlePlaying(second), 1);

  // Deleting a playing handle stops it and lets its segment go.
  const int objects = plat::GetLiveDirectMusicObjectCount();
  ASSERT_EQ(DeleteMusicHandle(second), 0);
  EXPECT_EQ(plat::GetLiveDirectMusicObjectCount(), objects - 1);
  EXPECT_EQ(IsMusicHandlePlaying(second), -1);

  // The end releases the rest, the performance before the sound device.
  SetMciMusicStateForTest({5, 1, 1});
  ASSERT_EQ(TerminateSound(), 0);
  EXPECT_EQ(plat::GetLiveDirectMusicObjectCount(), 0);
  EXPECT_EQ(GetMusicMode(), kMusicModeMci);
  ASSERT_EQ(InitializeSound(), 0);
  EXPECT_EQ(GetMusicMode(), kMusicModeDirectMusic);
  EXPECT_EQ(GetMciMusicStateForTest().playing, 0) << "a new start forgets the old MCI state";
}

}  // namespace
}  // namespace qz::testing
