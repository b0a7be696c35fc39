// Plays a sound file (WAV, MP3, Ogg Vorbis) through the library's sound
// system on the desktop's audio device: once, looped for a number of
// seconds, or as a looped stream sound converted while it plays.
//   sound_player <file> [once|loop|stream] [seconds]
// With SDL_AUDIODRIVER=disk and SDL_DISKAUDIOFILE=out.raw the output goes to
// a file that sox can measure.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "core/file_access.h"
#include "platform/file.h"
#include "sound/sound_load.h"
#include "sound/sound_play.h"
#include "sound/sound_system.h"

namespace {

constexpr int kServicePeriodMilliseconds = 30;

int Usage() {
  std::fprintf(stderr, "usage: sound_player <file> [once|loop|stream] [seconds]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string how = argc >= 3 ? argv[2] : "once";
  if (how != "once" && how != "loop" && how != "stream") return Usage();
  const double seconds = argc >= 4 ? std::atof(argv[3]) : 10.0;

  qz::InitStreamInterfaces();
  if (qz::InitializeSound() != 0) {
    std::fprintf(stderr, "sound could not start\n");
    return 1;
  }
  qz::SetSoundCreateMode(how == "stream" ? qz::kSoundCreateStreamFromFile : qz::kSoundCreateWhole);
  const std::string path = plat::ToLibraryPath(argv[1]);
  const int handle = qz::LoadSoundFile(path.c_str(), 1, -1);
  if (handle == -1) {
    std::fprintf(stderr, "%s could not be loaded\n", argv[1]);
    qz::TerminateSound();
    return 1;
  }
  std::printf("%s: %d ms\n", argv[1], qz::GetSoundHandleTotalTime(handle));
  qz::PlaySoundHandle(handle, how == "once" ? 1 : 3, 1);

  // Without the sound-stream thread (one processor) this loop feeds the
  // streams, as the message pump would.
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < end && qz::IsSoundHandlePlaying(handle) == 1) {
    qz::ProcessAllStreamSounds();
    std::this_thread::sleep_for(std::chrono::milliseconds(kServicePeriodMilliseconds));
  }
  qz::TerminateSound();
  return 0;
}
