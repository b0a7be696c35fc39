// Modules loaded by name: the registry answers only with functions the
// stand-in really has, counts loads and frees, and honours the absent switch;
// the library start loads its optional modules and the end frees them.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "core/library.h"
#include "core/main_window.h"
#include "core/window_services.h"
#include "core/window_state.h"
#include "platform/clock.h"
#include "platform/module.h"
#include "support/scratch_log.h"

namespace {

TEST(ModuleRegistry, AnswersWithTheStandInsOwnFunctions) {
  const int loads = plat::GetModuleLoadCount("winmm.dll");
  plat::ModuleHandle winmm = plat::LoadLibraryA("WINMM.DLL");
  ASSERT_NE(winmm, nullptr);
  EXPECT_EQ(plat::GetModuleLoadCount("winmm.dll") - loads, 1);
  using TimeGetTime = std::uint32_t (*)();
  const auto timeGetTime = reinterpret_cast<TimeGetTime>(plat::GetProcAddress(winmm, "timeGetTime"));
  ASSERT_NE(timeGetTime, nullptr);
  EXPECT_LE(timeGetTime(), plat::timeGetTime());
  // A function the stand-in lacks is absent, never a fake.
  EXPECT_EQ(plat::GetProcAddress(winmm, "joyGetThreshold"), nullptr);
  EXPECT_EQ(plat::GetProcAddress(winmm, "timegettime"), nullptr);

  plat::ModuleHandle ole = plat::LoadLibraryA("ole32.dll");
  using CoInit = long (*)(void*);
  const auto coInitialize = reinterpret_cast<CoInit>(plat::GetProcAddress(ole, "CoInitialize"));
  ASSERT_NE(coInitialize, nullptr);
  EXPECT_EQ(coInitialize(nullptr), plat::S_OK);

  plat::ModuleHandle dwm = plat::LoadLibraryA("dwmapi.dll");
  ASSERT_NE(dwm, nullptr);
  EXPECT_EQ(plat::GetProcAddress(dwm, "DwmEnableComposition"), nullptr);
  EXPECT_EQ(plat::LoadLibraryA("opengl32.dll"), nullptr);

  const int frees = plat::GetModuleFreeCount("winmm.dll");
  EXPECT_EQ(plat::FreeLibrary(winmm), plat::TRUE);
  EXPECT_EQ(plat::GetModuleFreeCount("winmm.dll") - frees, 1);
  // Freed once too often, or never ours: refused.
  EXPECT_EQ(plat::FreeLibrary(winmm), plat::FALSE);
  int notAModule = 0;
  EXPECT_EQ(plat::FreeLibrary(&notAModule), plat::FALSE);
  EXPECT_EQ(plat::GetProcAddress(&notAModule, "timeGetTime"), nullptr);
  plat::FreeLibrary(ole);
  plat::FreeLibrary(dwm);
}

TEST(ModuleRegistry, AbsentModuleDoesNotLoad) {
  plat::SetModuleAbsentForTest("Imm32.dll", true);
  const int loads = plat::GetModuleLoadCount("Imm32.dll");
  EXPECT_EQ(plat::LoadLibraryA("imm32.dll"), nullptr);
  EXPECT_EQ(plat::GetModuleLoadCount("Imm32.dll"), loads);
  plat::SetModuleAbsentForTest("Imm32.dll", false);
  plat::ModuleHandle imm = plat::LoadLibraryA("imm32.dll");
  EXPECT_NE(imm, nullptr);
  plat::FreeLibrary(imm);
}

TEST(LibraryModules, StartLoadsTheOptionalModulesAndTheEndFreesThem) {
  qz::testing::ScratchLog log;
  plat::UseVirtualTime(true);
  qz::GetWindowSystemState().settings = qz::WindowSettings{};
  qz::ChangeWindowMode(1);
  const std::string title = "QzModules" + std::to_string(getpid());
  qz::SetMainWindowTitle(title.c_str());
  plat::SetModuleAbsentForTest("ws2_32.dll", true);

  ASSERT_EQ(qz::InitLibraryEntry(), 0);
  EXPECT_NE(qz::GetOptionalModuleEntry("WINMM.dll", "timeGetTime"), nullptr);
  EXPECT_NE(qz::GetOptionalModuleEntry("User32.dll", "WINNLSEnableIME"), nullptr);
  // A missing module leaves its entries null and the start goes on.
  EXPECT_EQ(qz::GetOptionalModuleEntry("ws2_32.dll", "socket"), nullptr);
  ASSERT_EQ(qz::EndLibraryEntry(), 0);
  EXPECT_EQ(qz::GetOptionalModuleEntry("winmm.dll", "timeGetTime"), nullptr);

  plat::SetModuleAbsentForTest("ws2_32.dll", false);
  plat::UseVirtualTime(false);
}

}  // namespace
