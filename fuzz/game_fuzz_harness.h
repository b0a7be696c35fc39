// The live game for the fuzz targets that feed it files: started once per
// process in LLVMFuzzerInitialize, headless on virtual time with the manual
// audio sink, in a data set generated into veltrin_fuzz_<pid> beside the
// target's executable (removed at exit; one left by a process that died, as
// libFuzzer's timeout and crash exits leave it, is removed by the next start).
// Not in /tmp: every file the game opens asks each folder on its path for an
// archive of that folder's name, and a miss in a folder that other processes
// keep changing means reading its listing again (a thousand names in a busy
// /tmp, on every open). Every frame wait moves the
// clock one frame on, fades and window zooms cut straight to their end (the
// pauses on a still picture are waits on the virtual clock like any other),
// and a blocking loop is ended (as by a quit) once an input has run
// kFrameLimit frames, so no input can hang the target.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/main_window.h"
#include "core/window_state.h"
#include "game/crossfade.h"
#include "game/game_assets.h"
#include "game/game_entry.h"
#include "game/game_paths.h"
#include "game/game_state.h"
#include "game/music.h"
#include "game/screen_frame.h"
#include "platform/backend.h"
#include "platform/clock.h"
#include "platform/dsound.h"
#include "platform/file.h"
#include "platform/process_leftovers.h"
#include "sound/sound_handle.h"
#include "sound/sound_play.h"
#include "tools/datagen/data_set.h"

// fontconfig loses a few blocks of its own now and then while the fonts are
// first matched; nothing of ours is hidden by naming only its library.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }

namespace veltrin::fuzz {

class LiveGame {
 public:
  // One 16-frame window zoom and a few frames of what follows it: each frame
  // drawn costs an input as much as the rest of it.
  static constexpr int kFrameLimit = 20;

  // The game, started on the first call; aborts when it cannot start.
  static LiveGame& Get() {
    static LiveGame game;
    return game;
  }

  // One input's run, from BeginInput to the end of the scope. An input frees
  // what it leaves behind (the music it started, the load failures it
  // listed), so that it frees as many blocks as it makes: libFuzzer runs
  // an input that does not a second time under the leak checker.
  class [[nodiscard]] InputScope {
   public:
    InputScope() = default;
    InputScope(const InputScope&) = delete;
    InputScope& operator=(const InputScope&) = delete;
    ~InputScope() {
      if (bgmHandle != -1) {
        qz::StopSoundHandle(bgmHandle);
        qz::DeleteSoundHandle(bgmHandle);
        bgmHandle = -1;
      }
      std::vector<std::string>().swap(missingGameFiles);
    }
  };

  // Starts an input: the quit flag cleared, the frame budget renewed.
  InputScope BeginInput() {
    gameState.quitRequested = 0;
    framesThisInput_ = 0;
    return {};
  }

  // Writes bytes to a game path ("\map\001.map"), replacing the file.
  static void WriteGameFile(const GameString& libraryPath, const std::uint8_t* data, std::size_t size) {
    const std::string posix = plat::ToPosixPath(libraryPath.c_str());
    std::ofstream file(posix, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }

 private:
  static inline const std::string kFolderPrefix = "veltrin_fuzz_";

  LiveGame() {
    const std::filesystem::path parent = DataSetParent();
    plat::RemoveLeftoversOfEndedProcesses(parent.string(), kFolderPrefix);
    root_ = (parent / plat::NameOfThisProcess(kFolderPrefix)).string();
    std::error_code failed;
    std::filesystem::remove_all(root_, failed);
    if (!std::filesystem::create_directory(root_, failed)) std::abort();
    std::string error;
    if (!datagen::WriteDataSet(root_, datagen::DataSetOptions{}, &error)) {
      std::fprintf(stderr, "data set not written: %s\n", error.c_str());
      std::abort();
    }
    // The game builds every path on the directory current at its start; the
    // one before is given back for libFuzzer's relative corpus and artifact paths.
    const std::filesystem::path previousDirectory = std::filesystem::current_path();
    std::filesystem::current_path(root_);
    plat::SetBackendKindForTest(plat::BackendKind::kHeadless);
    plat::UseVirtualTime(true);
    plat::SetVirtualSleepYieldsForTest(false);
    plat::SetAudioSinkForTest(plat::AudioSinkKind::kManual);
    qz::GetWindowSystemState().settings = qz::WindowSettings{};
    const std::string className = "QzFuzz" + std::to_string(getpid());
    className.copy(qz::GetWindowSystemState().settings.className, className.size());
    SetFrameWaitHookForTest(&NextFrame);
    SetAnimationsCutToTheirEndForTest(true);
    if (StartGame() != 0) std::abort();
    std::filesystem::current_path(previousDirectory);
  }
  ~LiveGame() {
    EndGame();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }

  // The executable's folder when it can be written to, else /tmp.
  static std::filesystem::path DataSetParent() {
    std::error_code failed;
    const std::filesystem::path folder = std::filesystem::read_symlink("/proc/self/exe", failed).parent_path();
    if (!failed && !folder.empty() && access(folder.c_str(), W_OK) == 0) return folder;
    return "/tmp";
  }

  static void NextFrame() {
    constexpr std::uint64_t kFrameNanoseconds = 16000000;
    plat::AdvanceVirtualTime(kFrameNanoseconds);
    if (++framesThisInput_ > kFrameLimit) gameState.quitRequested = 1;
  }

  // Static: the hook runs while the constructor starts the game.
  static inline int framesThisInput_ = 0;
  std::string root_;
};

}  // namespace veltrin::fuzz

// The game and its data set are made before the first input, so that no
// input's time or leak check includes them.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  veltrin::fuzz::LiveGame::Get();
  return 0;
}
