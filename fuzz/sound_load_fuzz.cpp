// Feeds arbitrary bytes to the sound loader from memory, as a game's packed
// sound would arrive: the converter chain tries WAV (plain and compressed),
// Ogg Vorbis and MP3 in turn, decodes whole, and the handle is deleted.
// Nothing may be read or written outside a buffer or left allocated.
#include <cstddef>
#include <cstdint>

#include "platform/dsound.h"
#include "sound/sound_handle.h"
#include "sound/sound_load.h"
#include "sound/sound_stream.h"
#include "sound/sound_system.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool started = [] {
    plat::SetAudioSinkForTest(plat::AudioSinkKind::kManual);
    qz::SetSoundStreamThreadForTest(0);
    return qz::InitializeSound() == 0;
  }();
  if (!started) return 0;
  qz::SetSoundCreateMode(0);
  const int handle = qz::LoadSoundFromMemoryToHandle(data, size, 1, -1);
  if (handle != -1) qz::DeleteSoundHandle(handle);
  return 0;
}
