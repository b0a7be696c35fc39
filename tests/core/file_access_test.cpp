// The plain file set on its three paths (direct, read cache on a thread,
// asynchronous on a thread): clamped reads, the end, seeks, equal bytes on
// every path, thread lifetime and refused handles.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/file_access.h"
#include "support/scratch_folder.h"
#include "support/scratch_log.h"
#include "core/log_text.h"
#include "core/memory.h"
#include "platform/clock.h"
#include "platform/sync.h"

namespace {

using qz::testing::PatternBytes;
using qz::testing::ScratchLog;
using qz::testing::ScratchFolder;

struct OpenMode {
  const char* name;
  int useCache;
  int asynchronous;
};
constexpr OpenMode kModes[] = {{"plain", 0, 0}, {"cache", 1, 0}, {"async", 0, 1}, {"cache+async", 1, 1}};

void WaitIdle(qz::FileHandle file) {
  while (qz::Win32FileIdleCheck(file) == 0) plat::Sleep(0);
}

// A read that has finished by the time it returns, on every path.
std::size_t ReadNow(void* buffer, std::size_t size, std::size_t count, qz::FileHandle file) {
  const std::size_t got = qz::Win32FileRead(buffer, size, count, file);
  WaitIdle(file);
  return got;
}

TEST(FileAccessPlainSet, ReadsAndSeeksAtBothEndsOnEveryPath) {
  ScratchFolder scratch;
  scratch.Write("36.bin", PatternBytes(36));
  for (const OpenMode& mode : kModes) {
    SCOPED_TRACE(mode.name);
    const qz::FileHandle file = qz::Win32FileOpen(scratch.Library("36.bin").c_str(), mode.useCache, 1,
                                                  mode.asynchronous);
    ASSERT_NE(file, 0);
    ASSERT_EQ(qz::Win32FileSeek(file, 30, 0), 0);
    std::uint8_t buffer[40] = {};
    EXPECT_EQ(ReadNow(buffer, 4, 10, file), 1u);
    EXPECT_EQ(qz::Win32FileTell(file), 34);
    EXPECT_EQ(std::memcmp(buffer, PatternBytes(36).data() + 30, 4), 0);
    EXPECT_EQ(buffer[4], 0);  // nothing past the one whole element
    EXPECT_EQ(qz::Win32FileEof(file), 0);
    EXPECT_EQ(ReadNow(buffer, 4, 10, file), 0u);
    EXPECT_NE(qz::Win32FileEof(file), 0);
    EXPECT_EQ(qz::Win32FileTell(file), 34);
    // The two bytes left still come as bytes.
    EXPECT_EQ(ReadNow(buffer, 1, 10, file), 2u);
    EXPECT_EQ(ReadNow(buffer, 1, 10, file), 0u);
    EXPECT_NE(qz::Win32FileEof(file), 0);
    // A seek clears the end flag.
    EXPECT_EQ(qz::Win32FileSeek(file, -4, 2), 0);
    EXPECT_EQ(qz::Win32FileEof(file), 0);
    EXPECT_EQ(qz::Win32FileTell(file), 32);
    EXPECT_EQ(ReadNow(buffer, 0, 10, file), 0u);

    // Past the end: the position is kept and nothing is read.
    std::memset(buffer, 0xEE, sizeof buffer);
    EXPECT_EQ(qz::Win32FileSeek(file, 45, 0), 0);
    EXPECT_EQ(qz::Win32FileTell(file), 45);
    EXPECT_EQ(ReadNow(buffer, 1, sizeof buffer, file), 0u);
    EXPECT_NE(qz::Win32FileEof(file), 0);
    EXPECT_EQ(qz::Win32FileTell(file), 45);
    EXPECT_EQ(buffer[0], 0xEE);
    EXPECT_EQ(qz::Win32FileSeek(file, 1, 2), 0);
    EXPECT_EQ(ReadNow(buffer, 4, 1, file), 0u);

    // A target before the start is refused and the position kept.
    EXPECT_EQ(qz::Win32FileSeek(file, 3, 0), 0);
    EXPECT_EQ(qz::Win32FileSeek(file, -4, 1), -1);
    EXPECT_EQ(qz::Win32FileSeek(file, 0x100000000LL, 0), -1);
    EXPECT_EQ(qz::Win32FileSeek(file, 0, 3), -1);
    EXPECT_EQ(qz::Win32FileTell(file), 3);
    EXPECT_EQ(ReadNow(buffer, 1, 2, file), 2u);
    EXPECT_EQ(buffer[0], 3);
    EXPECT_EQ(buffer[1], 4);
    EXPECT_EQ(qz::Win32FileClose(file), 0);
  }
}

TEST(FileAccessPlainSet, ThreadedPathsDeliverTheSameBytesAsThePlainPath) {
  ScratchFolder scratch;
  // Larger than the read-ahead cache, so reads cross its refills.
  const std::string bytes = PatternBytes(300000);
  scratch.Write("big.bin", bytes);
  const std::string path = scratch.Library("big.bin");
  for (const OpenMode& mode : kModes) {
    SCOPED_TRACE(mode.name);
    const qz::FileHandle file = qz::Win32FileOpen(path.c_str(), mode.useCache, 1, mode.asynchronous);
    ASSERT_NE(file, 0);
    // Sequential reads of varied sizes, with pauses that let read-ahead run.
    std::string got;
    std::vector<char> chunk(70000);
    std::size_t size = 1;
    for (int round = 0; got.size() < bytes.size(); ++round) {
      const std::size_t n = ReadNow(chunk.data(), 1, size, file);
      ASSERT_GT(n, 0u);
      got.append(chunk.data(), n);
      size = size * 7 % 69997 + 1;
      if (round % 5 == 0) plat::Sleep(120);
    }
    EXPECT_TRUE(got == bytes);
    EXPECT_EQ(ReadNow(chunk.data(), 1, 1, file), 0u);

    // Random seeks, inside and outside whatever the cache holds.
    std::mt19937 random(17);
    for (int i = 0; i < 200; ++i) {
      const std::uint32_t at = random() % bytes.size();
      const std::size_t wanted = random() % 5000 + 1;
      ASSERT_EQ(qz::Win32FileSeek(file, at, 0), 0);
      const std::size_t n = ReadNow(chunk.data(), 1, wanted, file);
      ASSERT_EQ(n, std::min(wanted, bytes.size() - at));
      ASSERT_EQ(std::memcmp(chunk.data(), bytes.data() + at, n), 0) << "at " << at;
      ASSERT_EQ(qz::Win32FileTell(file), static_cast<std::int64_t>(at + n));
      if (i % 50 == 0) plat::Sleep(120);
    }
    EXPECT_EQ(qz::Win32FileClose(file), 0);
  }
}

TEST(FileAccessPlainSet, AsynchronousReadsCompleteAndReportIdle) {
  ScratchFolder scratch;
  const std::string bytes = PatternBytes(200000);
  scratch.Write("a.bin", bytes);
  const qz::FileHandle file = qz::Win32FileOpen(scratch.Library("a.bin").c_str(), 0, 1, 1);
  ASSERT_NE(file, 0);
  std::vector<char> buffer(bytes.size());
  EXPECT_EQ(qz::Win32FileRead(buffer.data(), 1000, 200, file), 200u);
  // The position moves at once; the bytes are there once the file is idle.
  EXPECT_EQ(qz::Win32FileTell(file), 200000);
  WaitIdle(file);
  EXPECT_EQ(qz::Win32FileIdleCheck(file), 1);
  EXPECT_EQ(std::memcmp(buffer.data(), bytes.data(), bytes.size()), 0);
  // A second request waits for the first; a close waits for both.
  qz::Win32FileSeek(file, 0, 0);
  EXPECT_EQ(qz::Win32FileRead(buffer.data(), 1, 100000, file), 100000u);
  EXPECT_EQ(qz::Win32FileRead(buffer.data() + 100000, 1, 100000, file), 100000u);
  EXPECT_EQ(qz::Win32FileClose(file), 0);
  EXPECT_EQ(std::memcmp(buffer.data(), bytes.data(), bytes.size()), 0);

  // A direct file is always idle.
  const qz::FileHandle plain = qz::Win32FileOpen(scratch.Library("a.bin").c_str(), 0, 1, 0);
  EXPECT_EQ(qz::Win32FileIdleCheck(plain), 1);
  qz::Win32FileClose(plain);
}

TEST(FileAccessPlainSet, OpenFailuresLogAndLeakNothing) {
  ScratchFolder scratch;
  scratch.Write("here.bin", "x");
  ScratchLog log;
  const int blocks = qz::GetTrackedBlockCount();

  EXPECT_EQ(qz::Win32FileOpen(scratch.Library("missing.bin").c_str(), 0, 1, 0), 0);
  EXPECT_FALSE(log.Contains(qz::text::kFileOpenFailed));
  EXPECT_EQ(qz::Win32FileOpen(scratch.Library("missing.bin").c_str(), 1, 1, 0), 0);
  EXPECT_TRUE(log.Contains(qz::text::kFileOpenFailed));
  EXPECT_EQ(qz::Win32FileOpen(scratch.Library("missing.bin").c_str(), 0, 1, 1), 0);
  EXPECT_EQ(qz::GetTrackedBlockCount(), blocks);

  qz::EndParkedFileThreads();  // so the open must start a thread
  plat::FailNextThreadCreation();
  EXPECT_EQ(qz::Win32FileOpen(scratch.Library("here.bin").c_str(), 1, 1, 0), 0);
  EXPECT_TRUE(log.Contains(qz::text::kFileThreadCreateFailed));
  EXPECT_EQ(qz::GetTrackedBlockCount(), blocks);

  EXPECT_EQ(qz::Win32FileOpen(nullptr, 0, 1, 0), 0);
  EXPECT_EQ(qz::Win32FileOpen("", 1, 1, 0), 0);
  EXPECT_TRUE(log.Contains(qz::text::kFileBadArgument));

  // Open and close on every path returns every tracked block.
  for (const OpenMode& mode : kModes) {
    const qz::FileHandle file = qz::Win32FileOpen(scratch.Library("here.bin").c_str(), mode.useCache, 1,
                                                  mode.asynchronous);
    ASSERT_NE(file, 0);
    EXPECT_GT(qz::GetTrackedBlockCount(), blocks);
    EXPECT_EQ(qz::Win32FileClose(file), 0);
    EXPECT_EQ(qz::GetTrackedBlockCount(), blocks);
  }
}

// A closed file's thread serves the next threaded open: no thread is started
// for it (a failing start would show), it reads the new file's bytes, not the
// old one's cache, and more files open at once than are kept parked all read.
TEST(FileAccessPlainSet, ThreadsOfClosedFilesServeTheNextFiles) {
  ScratchFolder scratch;
  scratch.Write("a.bin", std::string(300, 'a'));
  scratch.Write("b.bin", std::string(200, 'b'));
  const auto readAll = [&](const char* name, const OpenMode& mode) {
    const qz::FileHandle file = qz::Win32FileOpen(scratch.Library(name).c_str(), mode.useCache, 1, mode.asynchronous);
    std::string bytes(400, '\0');
    if (file == 0) return std::string("not opened");
    bytes.resize(qz::Win32FileRead(bytes.data(), 1, bytes.size(), file));
    WaitIdle(file);
    EXPECT_EQ(qz::Win32FileClose(file), 0);
    return bytes;
  };
  qz::EndParkedFileThreads();
  EXPECT_EQ(readAll("a.bin", kModes[1]), std::string(300, 'a'));
  plat::FailNextThreadCreation();
  EXPECT_EQ(readAll("b.bin", kModes[1]), std::string(200, 'b')) << "served by the parked thread";
  EXPECT_EQ(readAll("a.bin", kModes[2]), std::string(300, 'a'));
  qz::EndParkedFileThreads();
  EXPECT_EQ(readAll("b.bin", kModes[3]), "not opened") << "no thread parked: the start failed";

  // Eight at once: four are kept parked after, the others' threads end; all read.
  // A joined thread leaves the task list a moment after its join returns: the
  // count is read once it has held still for 20 ms (or after 2 s).
  const auto threads = [] {
    const auto count = [] {
      return std::distance(std::filesystem::directory_iterator("/proc/self/task"), std::filesystem::directory_iterator{});
    };
    auto last = count();
    for (int still = 0, tries = 0; still < 4 && tries < 400; ++tries) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      const auto now = count();
      still = now == last ? still + 1 : 0;
      last = now;
    }
    return last;
  };
  const auto threadsBefore = threads();
  std::vector<qz::FileHandle> files;
  for (int i = 0; i < 8; ++i) {
    files.push_back(qz::Win32FileOpen(scratch.Library(i % 2 ? "a.bin" : "b.bin").c_str(), 1, 1, 0));
  }
  for (std::size_t i = 0; i < files.size(); ++i) {
    ASSERT_NE(files[i], 0);
    char first = 0;
    EXPECT_EQ(qz::Win32FileRead(&first, 1, 1, files[i]), 1u);
    EXPECT_EQ(first, i % 2 ? 'a' : 'b');
  }
  for (const qz::FileHandle file : files) EXPECT_EQ(qz::Win32FileClose(file), 0);
  EXPECT_EQ(threads(), threadsBefore + 4);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(readAll("a.bin", kModes[1]), std::string(300, 'a'));
  qz::EndParkedFileThreads();
}

TEST(FileAccessPlainSet, BadHandlesAndRequestsAreRefused) {
  ScratchFolder scratch;
  scratch.Write("f.bin", PatternBytes(16));
  ScratchLog log;
  char buffer[16];
  EXPECT_EQ(qz::Win32FileRead(buffer, 1, 4, 0), 0u);
  EXPECT_EQ(qz::Win32FileClose(0), -1);
  EXPECT_EQ(qz::Win32FileTell(0), -1);
  EXPECT_EQ(qz::Win32FileSeek(0, 0, 0), -1);
  EXPECT_NE(qz::Win32FileEof(0), 0);
  EXPECT_EQ(qz::Win32FileIdleCheck(0), -1);
  EXPECT_TRUE(log.Contains(qz::text::kFileBadHandle));

  const qz::FileHandle file = qz::Win32FileOpen(scratch.Library("f.bin").c_str(), 0, 1, 0);
  ASSERT_NE(file, 0);
  EXPECT_EQ(qz::Win32FileRead(nullptr, 1, 4, file), 0u);
  EXPECT_EQ(qz::Win32FileRead(buffer, SIZE_MAX / 2, 3, file), 0u);
  EXPECT_TRUE(log.Contains(qz::text::kFileReadTooLarge));
  EXPECT_EQ(qz::Win32FileTell(file), 0);
  EXPECT_EQ(qz::Win32FileClose(file), 0);
  // Closed handles are stale: refused, not followed.
  EXPECT_EQ(qz::Win32FileClose(file), -1);
  EXPECT_EQ(qz::Win32FileRead(buffer, 1, 4, file), 0u);

  const qz::FileHandle threaded = qz::Win32FileOpen(scratch.Library("f.bin").c_str(), 1, 1, 0);
  ASSERT_NE(threaded, 0);
  EXPECT_EQ(qz::Win32FileClose(threaded), 0);
  EXPECT_EQ(qz::Win32FileClose(threaded), -1);
}

}  // namespace
