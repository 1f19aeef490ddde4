// Threads that save and load the same and different files at once: every load sees a whole
// record, the old or the new one, never a torn one. Built with ThreadSanitizer in CI.
#include <WQRepos/WQRepos.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <thread>

#include "support/DataDirectory.h"

namespace {

using namespace wqtest;

constexpr int kRounds = 150;

class ConcurrencyTest : public UnrecordedDataDirectoryTest {};

TEST_F(ConcurrencyTest, ConcurrentSavesAndLoadsSeeWholeRecords) {
  const WQBL::SmoothParams smooth[] = {WQBL::SmoothParams::DefaultIC(),
                                       WQBL::SmoothParams::DefaultMS()};
  WQRepos::Preferences().WMZSmooth(smooth[0]);
  WQRepos::SaveAcqMethod(L"Shared", MethodOf(0));
  const WQBL::Method loaded[] = {
      WQRepos::LoadAcqMethod(L"Shared"),
      (WQRepos::SaveAcqMethod(L"Shared", MethodOf(1)), WQRepos::LoadAcqMethod(L"Shared"))};

  std::atomic<int> torn{0};
  std::atomic<int> failures{0};
  std::vector<std::thread> threads;
  // Writers of the shared files, each also keeping a method of its own.
  for (int writer = 0; writer < 3; ++writer) {
    threads.emplace_back([&, writer] {
      const std::wstring own = L"Own" + std::to_wstring(writer);
      for (int round = 0; round < kRounds; ++round) {
        try {
          WQRepos::Preferences().WMZSmooth(smooth[round % 2]);
          WQRepos::SaveAcqMethod(L"Shared", MethodOf(round % 2));
          WQRepos::SaveAcqMethod(own, MethodOf(writer % 2));
          if (!(WQRepos::LoadAcqMethod(own) == loaded[writer % 2])) ++torn;
        } catch (const std::exception&) {
          ++failures;
        }
      }
    });
  }
  // Readers of the shared files.
  for (int reader = 0; reader < 3; ++reader) {
    threads.emplace_back([&] {
      for (int round = 0; round < kRounds; ++round) {
        try {
          const WQBL::SmoothParams read = WQRepos::Preferences().QMZSmooth();
          if (!(read == smooth[0] || read == smooth[1])) ++torn;
          const WQBL::Method method = WQRepos::LoadAcqMethod(L"Shared");
          if (!(method == loaded[0] || method == loaded[1])) ++torn;
        } catch (const std::exception&) {
          ++failures;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(failures, 0);
}

// Saving must never touch the process's umask: another thread's save, or any file the host
// application creates meanwhile, would get the wrong permissions.
TEST_F(ConcurrencyTest, ConcurrentSavesLeaveTheUmaskAndGiveEveryFileIt) {
  const mode_t previous = umask(027);
  std::atomic<int> wrongMode{0};
  std::vector<std::thread> threads;
  for (int writer = 0; writer < 4; ++writer) {
    threads.emplace_back([&, writer] {
      for (int round = 0; round < kRounds; ++round) {
        const std::wstring name = L"Mode" + std::to_wstring(writer) + L"-" + std::to_wstring(round);
        WQRepos::SaveTune(name, WQBL::Tune());
        const auto mode = fs::status(Dir("Tunes") / (name + L".ket")).permissions();
        if (mode != (fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read))
          ++wrongMode;
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(umask(previous), 027u);
  EXPECT_EQ(wrongMode, 0);
}

}  // namespace
