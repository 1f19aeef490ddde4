// One workstation of a data directory that several share: the loops that scripts/share-test.sh
// runs against one folder seen through different mounts, pid namespaces and computers. The data
// directory is the one the ConfigClient.xml named by WQREPOS_CONFIG gives. Each command prints
// its figures on one line and exits 1 when it saw a failure.
//
//   wqrepos_share_driver save NAME COUNT          COUNT saves of the method NAME (0: for ever)
//   wqrepos_share_driver initialize STOP          Initialize(), again and again until STOP exists
//   wqrepos_share_driver load NAME STOP           loads of NAME until STOP exists
//   wqrepos_share_driver hold NAME READY STOP     a save of NAME that creates READY once its
//                                                 temporary file is written, and waits for STOP
//                                                 before it commits
//   wqrepos_share_driver verify NAME              Initialize(), then one load of NAME
#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/WQRepos.h>
#include <log4cxx/logger.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>

namespace {

// The two methods the saves alternate between: of very different lengths, so that a load that
// reads one of them cut short at the other's length fails instead of passing unnoticed.
WQBL::Method MethodOf(int value) {
  WQBL::Method method;
  method.TimePeriods.resize(value == 0 ? 1 : 40);
  method.Tunes[1] = WQBL::TuneEntry(L"Tune 1", WQCommon::Probes::ESI, WQCommon::Positive);
  return method;
}

bool IsEitherValue(const WQBL::Method& method) {
  return method == MethodOf(0) || method == MethodOf(1);
}

std::wstring Wide(const std::string& text) { return WQCommon::WQNarrowToWideStr(text); }

bool Exists(const std::string& path) { return WQPlatform::PathExists(path); }

void Touch(const std::string& path) { std::ofstream(path) << "ready\n"; }

// Counts failures and shows the first few of them on the standard error.
struct Failures {
  long count = 0;
  void Add(const std::string& what, const std::string& message) {
    if (++count <= 5) std::cerr << what << " failed: " << message << '\n';
  }
};

int Save(const std::string& name, long count) {
  Failures failed;
  long done = 0;
  for (; count == 0 || done < count; ++done) {
    try {
      WQRepos::SaveAcqMethod(Wide(name), MethodOf(done % 2));
    } catch (const std::exception& error) {
      failed.Add("save", error.what());
    }
  }
  std::cout << "saves: " << done << ", failed: " << failed.count << std::endl;
  return failed.count == 0 ? 0 : 1;
}

int InitializeUntil(const std::string& stop) {
  Failures failed;
  long done = 0;
  do {
    try {
      WQRepos::Initialize();
    } catch (const std::exception& error) {
      failed.Add("Initialize()", error.what());
    }
    ++done;
  } while (!Exists(stop));
  std::cout << "initializes: " << done << ", failed: " << failed.count << std::endl;
  return failed.count == 0 ? 0 : 1;
}

int LoadUntil(const std::string& name, const std::string& stop) {
  Failures failed;
  long wrong = 0;
  long done = 0;
  for (; !Exists(stop); ++done) {
    try {
      wrong += !IsEitherValue(WQRepos::LoadAcqMethod(Wide(name)));
    } catch (const std::exception& error) {
      failed.Add("load", error.what());
    }
  }
  std::cout << "loads: " << done << ", failed: " << failed.count << ", wrong: " << wrong
            << std::endl;
  return failed.count == 0 && wrong == 0 ? 0 : 1;
}

int Hold(const std::string& name, const std::string& ready, const std::string& stop) {
  WQRepos::Config config;
  config.Read();
  const std::string path =
      WQCommon::WQWideToNarrowStr(config.QDirectory(WQRepos::Config::AcqMethodDir)) +
      WQPlatform::kSeparator + name + ".kem";
  WQRepos::SaveAcqMethod(Wide(name), MethodOf(1));
  const std::string bytes = WQPlatform::ReadFile(path).value_or("");
  try {
    WQPlatform::AtomicFile file(path);
    file.Stream() << bytes;
    file.Stream().flush();
    Touch(ready);
    while (!Exists(stop)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    file.Commit();
  } catch (const std::exception& error) {
    std::cout << "held save: failed (" << error.what() << ")" << std::endl;
    return 1;
  }
  std::cout << "held save: ok" << std::endl;
  return 0;
}

int Verify(const std::string& name) {
  try {
    WQRepos::Initialize();
    if (!IsEitherValue(WQRepos::LoadAcqMethod(Wide(name)))) {
      std::cout << "method: wrong" << std::endl;
      return 1;
    }
  } catch (const std::exception& error) {
    std::cout << "method: lost (" << error.what() << ")" << std::endl;
    return 1;
  }
  std::cout << "method: ok" << std::endl;
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  log4cxx::Logger::getLogger("app")->setLevel(log4cxx::Level::getOff());
  // The loops read the configuration without Initialize(), whose clean-up is what the other
  // workstation's loop measures.
  WQRepos::ReadConfiguration();
  if (command == "save" && argc == 4) return Save(argv[2], std::atol(argv[3]));
  if (command == "initialize" && argc == 3) return InitializeUntil(argv[2]);
  if (command == "load" && argc == 4) return LoadUntil(argv[2], argv[3]);
  if (command == "hold" && argc == 5) return Hold(argv[2], argv[3], argv[4]);
  if (command == "verify" && argc == 3) return Verify(argv[2]);
  std::cerr << "usage: wqrepos_share_driver save NAME COUNT | initialize STOP | load NAME STOP |"
               " hold NAME READY STOP | verify NAME\n";
  return 2;
}
