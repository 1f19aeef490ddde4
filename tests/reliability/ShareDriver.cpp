// One workstation of a data directory that several share: the loops that scripts/share-test.sh
// runs against one folder seen through different mounts, pid namespaces and computers. The data
// directory is the one the ConfigClient.xml named by WQREPOS_CONFIG gives. Each command prints
// its figures on one line and exits 1 when it saw a failure.
//
// Each save stores a stamp in the method; saves of one run write strictly increasing stamps.
//
//   wqrepos_share_driver save NAME COUNT [FIRST ACKS]
//       COUNT saves of the method NAME (0: for ever), stamped FIRST (default 0) and on; each
//       stamp whose save returned is appended to the file ACKS
//   wqrepos_share_driver initialize STOP      Initialize(), again and again until STOP exists
//   wqrepos_share_driver load NAME STOP       loads of NAME until STOP exists
//   wqrepos_share_driver hold NAME READY STOP [complete]
//       a save of NAME that creates READY once its temporary file is written (with complete:
//       once it is complete, just before it replaces NAME) and waits for STOP before it goes on
//   wqrepos_share_driver verify NAME [LEAST]  Initialize(), then one load of NAME, whose stamp
//                                             must be LEAST (default 0) or more
//   wqrepos_share_driver delete NAME          deletes NAME
//   wqrepos_share_driver absent NAME          Initialize(), then a load of NAME, which must fail
//   wqrepos_share_driver exchange NAME COUNT FIRST
//       COUNT rounds of a save of NAME, stamped FIRST and on, and a load of it, while another
//       workstation does the same
#include <WQCommon/Text.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/WQRepos.h>
#include <log4cxx/consoleappender.h>
#include <log4cxx/logger.h>
#include <log4cxx/patternlayout.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <thread>

namespace {

// The method stamped `stamp`: of very different lengths for even and odd stamps, so that a load
// that reads one of them cut short at the other's length fails instead of passing unnoticed.
WQBL::Method MethodOf(long stamp) {
  WQBL::Method method;
  method.TimePeriods.resize(stamp % 2 == 0 ? 1 : 40);
  method.Tunes[1] =
      WQBL::TuneEntry(L"Tune " + std::to_wstring(stamp), WQCommon::Probes::ESI, WQCommon::Positive);
  return method;
}

// The stamp of a method as one of the saves wrote it; nothing for any other.
std::optional<long> StampOf(const WQBL::Method& method) {
  const auto tune = method.Tunes.find(1);
  if (tune == method.Tunes.end()) return std::nullopt;
  const std::wstring name = tune->second.Name;
  if (name.rfind(L"Tune ", 0) != 0) return std::nullopt;
  try {
    const long stamp = std::stol(name.substr(5));
    if (method == MethodOf(stamp)) return stamp;
  } catch (const std::exception&) {
  }
  return std::nullopt;
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

// Shows the module's warnings (a save made but not recorded) on the standard error.
void WarningsToStandardError() {
  const log4cxx::LoggerPtr logger = log4cxx::Logger::getLogger("app");
  logger->setLevel(log4cxx::Level::getWarn());
  logger->addAppender(std::make_shared<log4cxx::ConsoleAppender>(
      std::make_shared<log4cxx::PatternLayout>(LOG4CXX_STR("%m%n")), LOG4CXX_STR("System.err")));
}

int Save(const std::string& name, long count, long first, const std::string& acks) {
  Failures failed;
  std::ofstream acknowledged;
  if (!acks.empty()) {
    acknowledged.open(acks, std::ios::app);
    WarningsToStandardError();
  }
  long done = 0;
  for (; count == 0 || done < count; ++done) {
    try {
      WQRepos::SaveAcqMethod(Wide(name), MethodOf(first + done));
      if (acknowledged.is_open()) acknowledged << first + done << std::endl;
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
      wrong += !StampOf(WQRepos::LoadAcqMethod(Wide(name)));
    } catch (const std::exception& error) {
      failed.Add("load", error.what());
    }
  }
  std::cout << "loads: " << done << ", failed: " << failed.count << ", wrong: " << wrong
            << std::endl;
  return failed.count == 0 && wrong == 0 ? 0 : 1;
}

void AwaitFile(const std::string& path) {
  while (!Exists(path)) std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// File operations that stop a save once it is complete, before it replaces its target.
class StopBeforeReplace : public WQPlatform::FileOps {
 public:
  StopBeforeReplace(std::string ready, std::string stop)
      : ready_(std::move(ready)), stop_(std::move(stop)) {}
  int Rename(const std::string& from, const std::string& to) override {
    if (from.find(".wqnew-") != std::string::npos) {
      Touch(ready_);
      AwaitFile(stop_);
    }
    return FileOps::Rename(from, to);
  }

 private:
  std::string ready_, stop_;
};

int Hold(const std::string& name, const std::string& ready, const std::string& stop,
         bool complete) {
  WQRepos::Config config;
  config.Read();
  const std::string path =
      WQCommon::WQWideToNarrowStr(config.QDirectory(WQRepos::Config::AcqMethodDir)) +
      WQPlatform::kSeparator + name + ".kem";
  WQRepos::SaveAcqMethod(Wide(name), MethodOf(1));
  const std::string bytes = WQPlatform::ReadFile(path).value_or("");
  StopBeforeReplace stopping(ready, stop);
  std::optional<WQPlatform::ScopedFileOps> seam;
  if (complete) seam.emplace(stopping);
  try {
    WQPlatform::AtomicFile file(path);
    file.Stream() << bytes;
    file.Stream().flush();
    if (!complete) {
      Touch(ready);
      AwaitFile(stop);
    }
    file.Commit();
  } catch (const std::exception& error) {
    std::cout << "held save: failed (" << error.what() << ")" << std::endl;
    return 1;
  }
  std::cout << "held save: ok" << std::endl;
  return 0;
}

int Verify(const std::string& name, long least) {
  try {
    WQRepos::Initialize();
    const std::optional<long> stamp = StampOf(WQRepos::LoadAcqMethod(Wide(name)));
    if (!stamp) {
      std::cout << "method: wrong" << std::endl;
      return 1;
    }
    if (*stamp < least) {
      std::cout << "method: stamp " << *stamp << ", older than the acknowledged " << least
                << std::endl;
      return 1;
    }
    std::cout << "method: ok, stamp " << *stamp << std::endl;
  } catch (const std::exception& error) {
    std::cout << "method: lost (" << error.what() << ")" << std::endl;
    return 1;
  }
  return 0;
}

int Delete(const std::string& name) {
  try {
    WQRepos::DeleteAcqMethod(Wide(name));
  } catch (const std::exception& error) {
    std::cout << "delete: failed (" << error.what() << ")" << std::endl;
    return 1;
  }
  std::cout << "delete: ok" << std::endl;
  return 0;
}

int Absent(const std::string& name) {
  try {
    WQRepos::Initialize();
    const std::optional<long> stamp = StampOf(WQRepos::LoadAcqMethod(Wide(name)));
    std::cout << "deleted method: back, stamp " << stamp.value_or(-1) << std::endl;
    return 1;
  } catch (const std::exception&) {
    std::cout << "deleted method: absent" << std::endl;
    return 0;
  }
}

int Exchange(const std::string& name, long count, long first) {
  Failures failedSaves, failedLoads;
  long wrong = 0;
  for (long done = 0; done < count; ++done) {
    try {
      WQRepos::SaveAcqMethod(Wide(name), MethodOf(first + done));
    } catch (const std::exception& error) {
      failedSaves.Add("save", error.what());
    }
    try {
      wrong += !StampOf(WQRepos::LoadAcqMethod(Wide(name)));
    } catch (const std::exception& error) {
      failedLoads.Add("load", error.what());
    }
  }
  std::cout << "rounds: " << count << ", failed saves: " << failedSaves.count
            << ", failed loads: " << failedLoads.count << ", wrong: " << wrong << std::endl;
  return failedSaves.count == 0 && failedLoads.count == 0 && wrong == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  log4cxx::Logger::getLogger("app")->setLevel(log4cxx::Level::getOff());
  // The loops read the configuration without Initialize(), whose clean-up is what the other
  // workstation's loop measures.
  WQRepos::ReadConfiguration();
  if (command == "save" && argc == 4) return Save(argv[2], std::atol(argv[3]), 0, {});
  if (command == "save" && argc == 6)
    return Save(argv[2], std::atol(argv[3]), std::atol(argv[4]), argv[5]);
  if (command == "initialize" && argc == 3) return InitializeUntil(argv[2]);
  if (command == "load" && argc == 4) return LoadUntil(argv[2], argv[3]);
  if (command == "hold" && (argc == 5 || (argc == 6 && std::string(argv[5]) == "complete")))
    return Hold(argv[2], argv[3], argv[4], argc == 6);
  if (command == "verify" && (argc == 3 || argc == 4))
    return Verify(argv[2], argc == 4 ? std::atol(argv[3]) : 0);
  if (command == "delete" && argc == 3) return Delete(argv[2]);
  if (command == "absent" && argc == 3) return Absent(argv[2]);
  if (command == "exchange" && argc == 5)
    return Exchange(argv[2], std::atol(argv[3]), std::atol(argv[4]));
  std::cerr << "usage: wqrepos_share_driver save NAME COUNT [FIRST ACKS] | initialize STOP |"
               " load NAME STOP | hold NAME READY STOP [complete] | verify NAME [LEAST] |"
               " delete NAME | absent NAME | exchange NAME COUNT FIRST\n";
  return 2;
}
