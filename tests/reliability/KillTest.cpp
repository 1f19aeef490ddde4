// A child process saves a preference, a method and an evaluation method over and over, each save
// recorded in the history, and is killed with SIGKILL at a random moment, again and again. After
// every kill each file must hold one of the two values the child alternates between, byte for
// byte; the temporary files that killed saves leave are never listed, and Initialize() removes
// them. After the kills, git fsck finds the history whole, each file's newest record holds one of
// its two values, and a save is recorded again.
//
//   wqrepos_kill_test [--kills N] [--run-number R] [--across-records]
//       1,000 kills by default, each within 4 ms of the child's start, in its first save; with
//       --across-records, anywhere in a whole round of the child's saves and their records
#include <WQCommon/Text.h>
#include <WQRepos/WQRepos.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <random>
#include <set>
#include <thread>

#include "SaveCases.h"
#include "support/DataDirectory.h"

namespace {

using namespace wqtest;

// The saves the child repeats, each with the bytes of the file that value 0 and value 1 give.
struct Saved {
  wqfuzz::SaveCase save;
  std::string bytes[2];
};

std::vector<Saved> Files(const fs::path& base) {
  const std::set<std::string> repeated = {"MZSmooth", "acquisition method",
                                          "spectrum evaluation method"};
  std::vector<Saved> files;
  for (const wqfuzz::SaveCase& save : wqfuzz::AllSaveCases(base))
    if (repeated.count(save.name) != 0)
      files.push_back({save, {wqfuzz::SavedBytes(save, 0), wqfuzz::SavedBytes(save, 1)}});
  return files;
}

[[noreturn]] void SaveForever(std::vector<Saved>& files) {
  try {
    for (int value = 0;; value = 1 - value)
      for (Saved& file : files) file.save.save(value);
  } catch (const std::exception& error) {
    std::cerr << "the saving child failed: " << error.what() << '\n';
  }
  _exit(2);
}

// The longest delay before a kill, in microseconds: with `acrossRecords`, the time of one round
// of the child's saves with their records, measured here.
int LongestDelay(std::vector<Saved>& files, bool acrossRecords) {
  if (!acrossRecords) return 4000;
  const auto start = std::chrono::steady_clock::now();
  for (Saved& file : files) file.save.save(0);
  return static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(
                              std::chrono::steady_clock::now() - start)
                              .count());
}

// What is wrong with the history after the kills: plain git finds it damaged, a file's newest
// record holds neither of its values, or a new save is not recorded (a lock left behind).
int HistoryFaults(const fs::path& base, std::vector<Saved>& files) {
  int faults = 0;
  const std::string history = (base / "History").string();
  if (std::system("git --version >/dev/null 2>&1") == 0 &&
      std::system(("git -C '" + history + "' fsck --strict --no-dangling").c_str()) != 0) {
    std::cerr << "git fsck finds the history damaged\n";
    ++faults;
  }
  try {
    for (const Saved& file : files) {
      const std::wstring item =
          WQCommon::WQNarrowToWideStr(fs::relative(file.save.file, base).generic_string());
      const std::vector<WQRepos::HistoryRecord> records = WQRepos::QHistoryRecords(item);
      if (records.empty()) continue;
      const std::optional<std::string> bytes = WQRepos::QHistoryContent(item, records.front().Id);
      if (bytes == file.bytes[0] || bytes == file.bytes[1]) continue;
      std::cerr << file.save.name << ": the newest record holds neither value\n";
      ++faults;
    }
  } catch (const WQRepos::HistoryError& error) {
    std::cerr << error.what() << '\n';
    ++faults;
  }
  files.front().save.save(0);
  const WQRepos::HistoryVerification verified = WQRepos::VerifyHistory();
  if (!verified.Whole()) {
    std::cerr << "a save after the kills is not recorded: " << verified.Damage << '\n';
    ++faults;
  }
  return faults;
}

int Run(int kills, unsigned runNumber, bool acrossRecords) {
  ScratchDirectory temp;
  const fs::path base = temp.Path() / "WQData";
  {
    ConfigClientFile config(ConfigClientXml("h", "4000", base.string()));
    WQRepos::Initialize();
  }
  std::vector<Saved> files = Files(base);

  std::mt19937 random(runNumber);
  const int longest = LongestDelay(files, acrossRecords);
  std::uniform_int_distribution<int> delay(0, longest);
  int unreadable = 0;
  int badListings = 0;
  for (int kill = 0; kill < kills; ++kill) {
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (child == 0) SaveForever(files);
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFSIGNALED(status)) throw std::runtime_error("the saving child ended by itself");

    badListings += WQRepos::GetAcqMethodNames() != std::vector<std::wstring>{L"Scan"} ||
                   WQRepos::GetSpectrumEvalMethodNames() != std::vector<std::wstring>{L"Peaks"};
    // A file that holds the bytes of either value loads as that value.
    for (const Saved& file : files) {
      const std::string bytes = ReadBytes(file.save.file);
      if (bytes == file.bytes[0] || bytes == file.bytes[1]) continue;
      std::cerr << file.save.name << " after kill " << kill << " holds neither value\n";
      ++unreadable;
    }
  }
  const std::size_t temporariesOfKills = TemporaryFiles(base);
  WQRepos::Initialize();
  const std::size_t temporariesLeft = TemporaryFiles(base);
  const int historyFaults = HistoryFaults(base, files);
  std::cout << "Kill test: " << kills << " kills within " << longest / 1000 << " ms, " << unreadable
            << " unreadable files, " << badListings << " listings showing temporary files, "
            << temporariesOfKills << " temporary files left by killed saves, " << temporariesLeft
            << " left after Initialize, " << historyFaults << " faults of the history.\n";
  return unreadable == 0 && badListings == 0 && temporariesLeft == 0 && historyFaults == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  int kills = 1000;
  unsigned runNumber = 1;
  bool acrossRecords = false;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--across-records") == 0)
      acrossRecords = true;
    else if (i + 1 < argc && std::strcmp(argv[i], "--kills") == 0)
      kills = std::atoi(argv[++i]);
    else if (i + 1 < argc && std::strcmp(argv[i], "--run-number") == 0)
      runNumber = static_cast<unsigned>(std::atoi(argv[++i]));
  }
  try {
    return Run(kills, runNumber, acrossRecords);
  } catch (const std::exception& error) {
    std::cerr << "wqrepos_kill_test: " << error.what() << '\n';
    return 1;
  }
}
