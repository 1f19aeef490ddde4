// The cost of the history of the stored items, in a data directory whose history holds 0 or
// 10,000 records (the 10,000 made beforehand with git fast-import over 100 tunes, the newest
// 6,700 objects unpacked into loose ones as the module leaves them):
//   - SaveRecorded/Module/N: WQRepos::SaveTune with its record;
//   - SaveRecorded/Baseline/N: the same save with the history turned off in ConfigClient.xml;
//   - HistoryOfOneItem/10000: WQRepos::QHistoryRecords of one tune among the 10,000 records.
// Saves are timed on the wall clock: the wait for the disk is their cost.
#include <WQBL/Tune.h>
#include <WQRepos/Config.h>
#include <WQRepos/EntryPoints.h>
#include <WQRepos/History.h>
#include <WQRepos/Tunes.h>
#include <benchmark/benchmark.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>
#include <string>

namespace {

namespace fs = std::filesystem;

constexpr int kTunes = 100;

void WriteFile(const fs::path& path, const std::string& text) { std::ofstream(path) << text; }

std::string TuneText(int tune, int record) {
  return "tune " + std::to_string(tune) + " as record " + std::to_string(record) + " left it";
}

// Writes the fast-import stream of the records `first` to `last` (excluded) into `path`.
void WriteStream(const fs::path& path, int first, int last) {
  std::ofstream out(path);
  for (int record = first; record < last; ++record) {
    const std::string item = "Tunes/T" + std::to_string(record % kTunes) + ".ket";
    const std::string message = "save " + item + "\n\nOperation: save\nItem: " + item +
                                "\nUser: bench\nHost: bench\nModule-Version: 1.1.0\n";
    const std::string content = TuneText(record % kTunes, record);
    out << "commit refs/heads/main\ncommitter bench <bench@bench> " << 1700000000 + record
        << " +0000\ndata " << message.size() << '\n'
        << message << (record == first && first > 0 ? "from refs/heads/main^0\n" : "")
        << "M 100644 inline " << item << "\ndata " << content.size() << '\n'
        << content << '\n';
  }
}

// `records` records over kTunes tunes, the stored files as the last of them left each. As the
// module leaves them: all but the last 6,700 objects or so packed, those loose, one file each
// (the second pack that fast-import writes is unpacked).
void Seed(const fs::path& base, int records) {
  const int packed = std::max(0, records - 6700 / 4);
  WriteStream(base / "packed.fi", 0, packed);
  WriteStream(base / "loose.fi", packed, records);
  const std::string history = "'" + (base / "History").string() + "'";
  const std::string git = "git -C " + history + " ";
  const std::string pack = "'" + (base / "loose.pack").string() + "'";
  const std::string newest = "$(ls -t " + history + "/objects/pack/*.pack | head -1)";
  if (std::system(("git init -q --bare " + history + " && " + git +
                   "config core.logAllRefUpdates false && " + git + "fast-import --quiet < '" +
                   (base / "packed.fi").string() + "' && " + git + "fast-import --quiet < '" +
                   (base / "loose.fi").string() + "' && f=" + newest + " && mv \"$f\" " + pack +
                   " && rm \"${f%.pack}.idx\" && " + git + "unpack-objects -q < " + pack +
                   " && rm " + pack)
                      .c_str()) != 0)
    throw std::runtime_error("git fast-import failed");
  for (int tune = 0; tune < kTunes && tune < records; ++tune) {
    int last = tune;
    while (last + kTunes < records) last += kTunes;
    WriteFile(base / "Tunes" / ("T" + std::to_string(tune) + ".ket"), TuneText(tune, last));
  }
  fs::remove(base / "packed.fi");
  fs::remove(base / "loose.fi");
}

// A data directory whose history holds `records` records, made once per count.
class DataDirectory {
 public:
  explicit DataDirectory(int records)
      : base_(fs::temp_directory_path() /
              ("wqrepos-history-bench-" + std::to_string(records) + "-" +
               std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))) {
    fs::create_directories(base_ / "Tunes");
    if (records > 0) Seed(base_, records);
    for (const bool history : {true, false})
      WriteFile(ConfigFile(history), "<AcqClient><BaseDir>" + base_.string() + "</BaseDir>" +
                                         (history ? "" : "<History>off</History>") +
                                         "</AcqClient>");
  }
  ~DataDirectory() { fs::remove_all(base_); }

  // Configures the module for this directory, with or without its history.
  void Use(bool history) const {
    setenv("WQREPOS_CONFIG", ConfigFile(history).c_str(), 1);
    WQRepos::Initialize();
  }

 private:
  std::string ConfigFile(bool history) const {
    return (base_ / (history ? "with.xml" : "without.xml")).string();
  }
  fs::path base_;
};

const DataDirectory& DirectoryOf(int records) {
  static std::map<int, DataDirectory> directories;
  return directories.try_emplace(records, records).first->second;
}

void Save(benchmark::State& state, bool history) {
  DirectoryOf(static_cast<int>(state.range(0))).Use(history);
  WQBL::Tune tune;
  int saves = 0;
  for (auto _ : state) {
    tune.ConeVoltage = ++saves;
    WQRepos::SaveTune(L"T7", tune);
  }
}

void SaveRecordedModule(benchmark::State& state) { Save(state, true); }
BENCHMARK(SaveRecordedModule)->Name("SaveRecorded/Module")->Arg(0)->Arg(10000)->UseRealTime();

void SaveRecordedBaseline(benchmark::State& state) { Save(state, false); }
BENCHMARK(SaveRecordedBaseline)->Name("SaveRecorded/Baseline")->Arg(0)->Arg(10000)->UseRealTime();

void HistoryOfOneItem(benchmark::State& state) {
  DirectoryOf(10000).Use(true);
  for (auto _ : state) benchmark::DoNotOptimize(WQRepos::QHistoryRecords(L"Tunes/T42.ket"));
}
BENCHMARK(HistoryOfOneItem)->Name("HistoryOfOneItem/10000")->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
