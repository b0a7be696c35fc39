// Music: the start's fall back to MCI, the music table, MCI notify and stop
// as recorded commands, play-state tracking over a fake performance, the
// current music, and the capture file's header.
#include "sound/music.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <iterator>

#include "core/log_text.h"
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
  void TearDown() override {
    UseDirectMusicForTest(nullptr);
    SoundTest::TearDown();
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
  EXPECT_EQ(IsMusicHandlePlaying(second), -1);
  EXPECT_EQ(StopMusicHandle(first | 0x07FF0000), -1);
  EXPECT_EQ(IsMusicHandlePlaying(first), 0);
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
  // A device never opened is refused.
  SetMciMusicStateForTest({9, 0, 1});
  OnMciMusicNotify();
  commands = plat::TakeMciCommandsForTest();
  ASSERT_EQ(commands.size(), 1u);
  EXPECT_EQ(commands[0].result, plat::MCIERR_INVALID_DEVICE_ID);
}

bool gSegmentPlaying = false;

TEST_F(Music, PlayStatesFollowTheFakePerformance) {
  UseDirectMusicForTest([](void*) { return gSegmentPlaying; });
  const int handle = AddMusicHandleForTest(nullptr, 0);
  MusicRecord* record = GetMusicRecordForTest(handle);
  record->playing = 1;
  gSegmentPlaying = false;
  UpdateMusicPlayStates();  // not started yet: a silent segment leaves it playing
  EXPECT_EQ(record->playing, 1);
  gSegmentPlaying = true;
  UpdateMusicPlayStates();
  EXPECT_EQ(record->started, 1);
  EXPECT_EQ(IsMusicHandlePlaying(handle), 1);
  gSegmentPlaying = false;
  UpdateMusicPlayStates();
  EXPECT_EQ(record->playing, 0);
  EXPECT_EQ(IsMusicHandlePlaying(handle), 0);
}

TEST_F(Music, DeleteCurrentMusicDeletesTheSoundInTheSlot) {
  const SoundHandle sound = MakeStatic(CounterPcm(100), 1);
  GetSoundSystem().currentMusic = sound;
  GetSoundSystem().currentMusicIsSound = 1;
  PlaySoundHandle(sound, 3, 1);
  EXPECT_EQ(DeleteCurrentMusic(), 0);
  EXPECT_EQ(GetSoundRecord(sound), nullptr);
  EXPECT_EQ(GetSoundSystem().currentMusic, -1);
  EXPECT_EQ(DeleteCurrentMusic(), 0);
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

}  // namespace
}  // namespace qz::testing
