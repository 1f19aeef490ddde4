// A child process saves a preference, a method and an evaluation method over and over, and is
// killed with SIGKILL at a random moment, again and again. After every kill each file must load
// and hold one of the two values the child alternates between; the temporary files that killed
// saves leave are never listed, and Initialize() removes them.
//
//   wqrepos_kill_test [--kills N] [--run-number R]     (1,000 kills by default)
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
#include <thread>

#include "support/DataDirectory.h"

namespace {

using namespace wqtest;

struct Saved {
  Saved(const char* name, fs::path file, std::function<void(int)> save, std::function<void()> load)
      : name(name), file(std::move(file)), save(std::move(save)), load(std::move(load)) {}

  const char* name;
  fs::path file;
  std::function<void(int)> save;
  std::function<void()> load;  // throws when the file cannot be read
  std::string bytes[2];        // the file holding value 0 and value 1
};

std::vector<WQBL::CurveEval> EvalMethodOf(int value) {
  auto steps = WQRepos::DefaultSpectrumEvalMethod();
  steps.resize(steps.size() - value);
  return steps;
}

std::vector<Saved> Files(const fs::path& base) {
  return {
      {"preference", base / "Prefs" / "MZSmooth.pref",
       [](int value) {
         WQRepos::Preferences().WMZSmooth(value ? WQBL::SmoothParams::DefaultIC()
                                                : WQBL::SmoothParams::DefaultMS());
       },
       [] {
         const WQBL::SmoothParams read = WQRepos::Preferences().QMZSmooth();
         if (!(read == WQBL::SmoothParams::DefaultIC() || read == WQBL::SmoothParams::DefaultMS()))
           throw std::runtime_error("the preference holds neither value");
       }},
      {"method", base / "AcqMethod" / "Kill.kem",
       [](int value) { WQRepos::SaveAcqMethod(L"Kill", MethodOf(value)); },
       [] { WQRepos::LoadAcqMethod(L"Kill"); }},
      {"evaluation method", base / "EvalMethod" / "Kill.sem",
       [](int value) { WQRepos::SaveSpectrumEvalMethod(L"Kill", EvalMethodOf(value)); },
       [] { WQRepos::LoadSpectrumEvalMethod(L"Kill"); }},
  };
}

[[noreturn]] void SaveForever(std::vector<Saved>& files) {
  try {
    for (int value = 0;; value = 1 - value)
      for (Saved& file : files) file.save(value);
  } catch (const std::exception& error) {
    std::cerr << "the saving child failed: " << error.what() << '\n';
  }
  _exit(2);
}

bool ListingsShowOnlyStoredNames() {
  return WQRepos::GetAcqMethodNames() == std::vector<std::wstring>{L"Kill"} &&
         WQRepos::GetSpectrumEvalMethodNames() == std::vector<std::wstring>{L"Kill"};
}

int Run(int kills, unsigned runNumber) {
  TempDirectory temp;
  const fs::path base = temp.Path() / "WQData";
  {
    ConfigClientFile config(ConfigClientXml("h", "4000", base.string()));
    WQRepos::Initialize();
  }
  std::vector<Saved> files = Files(base);
  for (Saved& file : files)
    for (int value : {0, 1}) {
      file.save(value);
      file.bytes[value] = ReadBytes(file.file);
    }

  std::mt19937 random(runNumber);
  std::uniform_int_distribution<int> delay(0, 4000);
  int unreadable = 0;
  int badListings = 0;
  std::size_t temporariesSeen = 0;
  for (int kill = 0; kill < kills; ++kill) {
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    if (child == 0) SaveForever(files);
    std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
    ::kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFSIGNALED(status)) throw std::runtime_error("the saving child ended by itself");

    temporariesSeen += TemporaryFiles(base);
    badListings += !ListingsShowOnlyStoredNames();
    for (Saved& file : files) {
      const std::string bytes = ReadBytes(file.file);
      bool loads = true;
      try {
        file.load();
      } catch (const std::exception& error) {
        loads = false;
        std::cerr << file.name << " after kill " << kill << ": " << error.what() << '\n';
      }
      if (!loads || (bytes != file.bytes[0] && bytes != file.bytes[1])) ++unreadable;
    }
  }
  WQRepos::Initialize();
  const std::size_t temporariesLeft = TemporaryFiles(base);
  std::cout << "Kill test: " << kills << " kills, " << unreadable << " unreadable files, "
            << badListings << " listings showing temporary files, " << temporariesSeen
            << " temporary files of killed saves seen, " << temporariesLeft
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
