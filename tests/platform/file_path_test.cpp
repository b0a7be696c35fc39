// The file boundary of the stand-in: path conversion, case-insensitive names,
// open dispositions and the current directory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <utility>

#include "support/scratch_folder.h"
#include "platform/file.h"

namespace {

using qz::testing::ScratchFolder;

// Restores the working directory a test changes.
class ScopedCwd {
 public:
  ScopedCwd() : saved_(std::filesystem::current_path()) {}
  ~ScopedCwd() { std::filesystem::current_path(saved_); }

 private:
  std::filesystem::path saved_;
};

std::string ReadAll(plat::Handle file) {
  std::string bytes(64, '\0');
  std::uint32_t got = 0;
  EXPECT_TRUE(plat::ReadFile(file, bytes.data(), 64, &got));
  bytes.resize(got);
  return bytes;
}

TEST(PlatFilePath, ConvertsBetweenLibraryAndPosixForm) {
  EXPECT_EQ(plat::ToPosixPath("data\\x.png"), "data/x.png");
  EXPECT_EQ(plat::ToPosixPath("\\tmp\\x"), "/tmp/x");
  EXPECT_EQ(plat::ToPosixPath("C:\\game\\save"), "/game/save");
  EXPECT_EQ(plat::ToPosixPath("C:data"), "data");
  EXPECT_EQ(plat::ToPosixPath("C:"), ".");
  EXPECT_EQ(plat::ToLibraryPath("/tmp/x/y.txt"), "\\tmp\\x\\y.txt");
}

TEST(PlatFilePath, ResolvesNamesIgnoringCase) {
  ScratchFolder scratch;
  scratch.Write("Data/X.png", "png");
  scratch.Write("Data/Sub/deep.TXT", "deep");
  EXPECT_EQ(plat::ResolvePosixPath(scratch.Library("DATA\\x.PNG")), scratch.Posix("Data/X.png"));
  EXPECT_EQ(plat::ResolvePosixPath(scratch.Library("data\\sub\\DEEP.txt")), scratch.Posix("Data/Sub/deep.TXT"));
  EXPECT_EQ(plat::ResolvePosixPath(scratch.Library("data\\SUB\\")), scratch.Posix("Data/Sub/"));
  // A name that exists nowhere comes back converted but unchanged.
  EXPECT_EQ(plat::ResolvePosixPath(scratch.Library("DATA\\missing.png")), scratch.Posix("DATA/missing.png"));

  plat::Handle file = plat::CreateFileA(scratch.Library("DATA\\X.PNG").c_str(), plat::GENERIC_READ,
                                        plat::FILE_SHARE_READ, plat::OPEN_EXISTING, plat::FILE_ATTRIBUTE_NORMAL);
  ASSERT_NE(file, plat::INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadAll(file), "png");
  EXPECT_TRUE(plat::CloseHandle(file));

  // The exact spelling wins over a case-insensitive one.
  scratch.Write("both/name.txt", "lower");
  scratch.Write("both/NAME.TXT", "upper");
  EXPECT_EQ(plat::ResolvePosixPath(scratch.Library("both\\NAME.TXT")), scratch.Posix("both/NAME.TXT"));
  EXPECT_EQ(plat::ResolvePosixPath(scratch.Library("both\\name.txt")), scratch.Posix("both/name.txt"));
  // Of several inexact spellings the least in byte order is taken, in
  // whatever order the folder lists them.
  for (const char* name : {"many/name.TXT", "many/Name.txt", "many/nAME.txt", "many/NAme.txt", "many/naMe.txt"}) {
    scratch.Write(name, name);
  }
  EXPECT_EQ(plat::ResolvePosixPath(scratch.Library("many\\NAME.TXT")), scratch.Posix("many/NAme.txt"));
}

TEST(PlatFilePath, CachedListingsFollowChangesMadeBehindTheirBack) {
  ScratchFolder scratch;
  scratch.Write("dir/First.txt", "1");
  EXPECT_EQ(plat::ResolvePosixPath(scratch.Library("DIR\\first.txt")), scratch.Posix("dir/First.txt"));
  // Renamed and added with POSIX calls, which the cache does not hear about.
  ASSERT_EQ(std::rename(scratch.Posix("dir/First.txt").c_str(), scratch.Posix("dir/FIRST.txt").c_str()), 0);
  scratch.Write("dir/Second.txt", "2");
  EXPECT_EQ(plat::ResolvePosixPath(scratch.Library("DIR\\first.txt")), scratch.Posix("dir/FIRST.txt"));
  EXPECT_EQ(plat::ResolvePosixPath(scratch.Library("DIR\\second.TXT")), scratch.Posix("dir/Second.txt"));
  std::filesystem::remove(scratch.Posix("dir/Second.txt"));
  EXPECT_EQ(plat::ResolvePosixPath(scratch.Library("DIR\\second.TXT")), scratch.Posix("DIR/second.TXT"));
}

TEST(PlatFilePath, MissesInASettledFolderStillSeeLaterChanges) {
  ScratchFolder scratch;
  scratch.Write("old/Kept.txt", "1");
  // Dated an hour back, so the listing read next is trusted for later misses.
  const std::filesystem::path folder = scratch.Posix("old");
  std::filesystem::last_write_time(folder, std::filesystem::last_write_time(folder) - std::chrono::hours(1));
  EXPECT_EQ(plat::ResolvePosixPath(scratch.Library("OLD\\late.txt")), scratch.Posix("OLD/late.txt"));
  EXPECT_EQ(plat::ResolvePosixPath(scratch.Library("OLD\\late.txt")), scratch.Posix("OLD/late.txt"));
  scratch.Write("old/Late.txt", "2");
  EXPECT_EQ(plat::ResolvePosixPath(scratch.Library("OLD\\late.txt")), scratch.Posix("old/Late.txt"));
  std::filesystem::remove(scratch.Posix("old/Late.txt"));
  EXPECT_EQ(plat::ResolvePosixPath(scratch.Library("OLD\\late.txt")), scratch.Posix("OLD/late.txt"));

  // Through the folder's exact spelling the listing is checked against the
  // time of the stat that found the folder.
  std::filesystem::last_write_time(folder, std::filesystem::last_write_time(folder) - std::chrono::hours(1));
  EXPECT_EQ(plat::ResolvePosixPath(scratch.Library("old\\LATE.txt")), scratch.Posix("old/LATE.txt"));
  scratch.Write("old/late.TXT", "3");
  EXPECT_EQ(plat::ResolvePosixPath(scratch.Library("old\\LATE.txt")), scratch.Posix("old/late.TXT"));
}

// A folder changed within a tick of its clock may change again in the same
// tick: a miss there reads the folder anew even when its time looks the same.
// The folder is dated a little ahead, so its listing can never be settled
// however slow the run, and dated so again after each change behind the
// cache's back, as a change within the same tick would leave it.
TEST(PlatFilePath, AMissInAFolderNotYetSettledReadsItAgainWhateverItsTime) {
  ScratchFolder scratch;
  scratch.Write("new/Kept.txt", "1");
  const std::string folder = scratch.Posix("new");
  timespec now{};
  ASSERT_EQ(::clock_gettime(CLOCK_REALTIME, &now), 0);
  const timespec ahead[2] = {{now.tv_sec + 60, 123456789}, {now.tv_sec + 60, 123456789}};
  const auto dateAhead = [&] { ASSERT_EQ(::utimensat(AT_FDCWD, folder.c_str(), ahead, 0), 0); };
  // Through a case-insensitive folder name, and through its exact one, whose
  // listing is checked against the stat that found the folder.
  const std::pair<const char*, const char*> spellings[] = {{"NEW\\late.txt", "NEW/late.txt"},
                                                           {"new\\LATE.txt", "new/LATE.txt"}};
  for (const auto& [library, asSpelled] : spellings) {
    SCOPED_TRACE(library);
    dateAhead();
    EXPECT_EQ(plat::ResolvePosixPath(scratch.Library(library)), scratch.Posix(asSpelled));
    scratch.Write("new/Late.txt", "2");
    dateAhead();
    EXPECT_EQ(plat::ResolvePosixPath(scratch.Library(library)), scratch.Posix("new/Late.txt"));
    std::filesystem::remove(scratch.Posix("new/Late.txt"));
  }
}

TEST(PlatFilePath, OpenDispositionsCreateTruncateAndRefuse) {
  ScratchFolder scratch;
  scratch.Write("Saves/slot1.dat", "old contents");
  const std::string existing = scratch.Library("SAVES\\SLOT1.DAT");
  const auto open = [](const std::string& path, std::uint32_t access, std::uint32_t disposition) {
    return plat::CreateFileA(path.c_str(), access, 0, disposition, plat::FILE_ATTRIBUTE_NORMAL);
  };

  EXPECT_EQ(open(existing, plat::GENERIC_WRITE, plat::CREATE_NEW), plat::INVALID_HANDLE_VALUE);
  EXPECT_EQ(open(scratch.Library("nothing.dat"), plat::GENERIC_READ, plat::OPEN_EXISTING),
            plat::INVALID_HANDLE_VALUE);
  EXPECT_EQ(open(scratch.Library("Saves"), plat::GENERIC_READ, plat::OPEN_EXISTING), plat::INVALID_HANDLE_VALUE);
  EXPECT_EQ(plat::CreateFileA(nullptr, plat::GENERIC_READ, 0, plat::OPEN_EXISTING, 0), plat::INVALID_HANDLE_VALUE);

  // Overwrites the file found case-insensitively rather than adding a twin.
  plat::Handle file = open(existing, plat::GENERIC_WRITE, plat::CREATE_ALWAYS);
  ASSERT_NE(file, plat::INVALID_HANDLE_VALUE);
  std::uint32_t written = 0;
  EXPECT_TRUE(plat::WriteFile(file, "new", 3, &written));
  EXPECT_EQ(written, 3u);
  plat::CloseHandle(file);
  EXPECT_EQ(scratch.Read("Saves/slot1.dat"), "new");
  EXPECT_FALSE(scratch.Exists("SAVES"));

  // A new file goes into the folder the caller meant, whatever its case.
  file = open(scratch.Library("SAVES\\Slot2.dat"), plat::GENERIC_READ | plat::GENERIC_WRITE, plat::OPEN_ALWAYS);
  ASSERT_NE(file, plat::INVALID_HANDLE_VALUE);
  plat::CloseHandle(file);
  EXPECT_TRUE(scratch.Exists("Saves/Slot2.dat"));
  // ... and is found again right away, in any case.
  file = open(scratch.Library("saves\\SLOT2.DAT"), plat::GENERIC_READ, plat::OPEN_EXISTING);
  EXPECT_NE(file, plat::INVALID_HANDLE_VALUE);
  plat::CloseHandle(file);

  EXPECT_TRUE(plat::DeleteFileA(scratch.Library("SAVES\\SLOT2.DAT").c_str()));
  EXPECT_FALSE(scratch.Exists("Saves/Slot2.dat"));
  EXPECT_FALSE(plat::DeleteFileA(scratch.Library("SAVES\\SLOT2.DAT").c_str()));
}

TEST(PlatFilePath, CurrentDirectoryInLibraryFormAndLongPaths) {
  ScratchFolder scratch;
  ScopedCwd restore;
  scratch.MakeFolder("Work");
  ASSERT_TRUE(plat::SetCurrentDirectoryA(scratch.Library("WORK").c_str()));
  char buffer[4096];
  const std::uint32_t length = plat::GetCurrentDirectoryA(sizeof(buffer), buffer);
  const std::string expected = plat::ToLibraryPath(std::filesystem::current_path().string());
  EXPECT_EQ(std::string(buffer), expected);
  EXPECT_EQ(length, expected.size());
  EXPECT_EQ(buffer[0], '\\');
  EXPECT_FALSE(plat::SetCurrentDirectoryA(scratch.Library("absent").c_str()));

  // A folder deeper than 260 bytes works through the whole boundary.
  std::string deep = "Work";
  while (deep.size() < 400) deep += "/a_rather_long_folder_name";
  scratch.Write(deep + "/file.txt", "deep");
  plat::Handle file = plat::CreateFileA(scratch.Library(deep + "/FILE.TXT").c_str(), plat::GENERIC_READ, 0,
                                        plat::OPEN_EXISTING, 0);
  ASSERT_NE(file, plat::INVALID_HANDLE_VALUE);
  EXPECT_EQ(ReadAll(file), "deep");
  plat::CloseHandle(file);

  ASSERT_TRUE(plat::SetCurrentDirectoryA(scratch.Library(deep).c_str()));
  char small[260];
  std::memset(small, 'x', sizeof(small));
  const std::uint32_t needed = plat::GetCurrentDirectoryA(sizeof(small), small);
  EXPECT_GT(needed, sizeof(small));
  EXPECT_EQ(small[0], 'x');  // nothing written when it does not fit
  EXPECT_EQ(plat::GetCurrentDirectoryA(0, nullptr), needed);
  std::string big(needed, '\0');
  EXPECT_EQ(plat::GetCurrentDirectoryA(needed, big.data()), needed - 1);
}

}  // namespace
