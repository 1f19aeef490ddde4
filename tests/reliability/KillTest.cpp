// A child process saves a preference, a method and an evaluation method over and over, and is
// killed with SIGKILL at a random moment, again and again. After every kill each file must hold
// one of the two values the child alternates between, byte for byte; the temporary files that
// killed saves leave are never listed, and Initialize() removes them.
//
//   wqrepos_kill_test [--kills N] [--run-number R]     (1,000 kills by default)
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

int Run(int kills, unsigned runNumber) {
  ScratchDirectory temp;
  const fs::path base = temp.Path() / "WQData";
  {
    ConfigClientFile config(ConfigClientXml("h", "4000", base.string()));
    WQRepos::Initialize();
  }
  std::vector<Saved> files = Files(base);

  std::mt19937 random(runNumber);
  std::uniform_int_distribution<int> delay(0, 4000);
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
  std::cout << "Kill test: " << kills << " kills, " << unreadable << " unreadable files, "
            << badListings << " listings showing temporary files, " << temporariesOfKills
            << " temporary files left by killed saves, " << temporariesLeft
            << " left after Initialize.\n";
  return unreadable == 0 && badListings == 0 && temporariesLeft == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  int kills = 1000;
  unsigned runNumber = 1;
  for (int i = 1; i + 1 < argc; i += 2) {
    if (std::strcmp(argv[i], "--kills") == 0)
      kills = std::atoi(argv[i + 1]);
    else if (std::strcmp(argv[i], "--run-number") == 0)
      runNumber = static_cast<unsigned>(std::atoi(argv[i + 1]));
  }
  try {
    return Run(kills, runNumber);
  } catch (const std::exception& error) {
    std::cerr << "wqrepos_kill_test: " << error.what() << '\n';
    return 1;
  }
}
