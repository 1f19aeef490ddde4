// The repository's file operations against the same system calls made by hand, in folders of
// 0, 1,000 and 10,000 files:
//   - Save/Module/N: a small record saved durably through WQPlatform::AtomicFile;
//   - Save/Baseline/N: open a temporary file, write, fsync, close, rename, fsync the folder;
//   - List/Module/N: WQRepos::GetFileNames of "*.kem";
//   - List/Baseline/N: readdir with a comparison of each name's end;
//   - LoadPreference/Module: WQRepos::Preferences::QMZNoise, a small preference file;
//   - LoadPreference/Baseline: open, fstat, read and a hand-written decoder of the same file;
//   - LoadMethod/Module: WQRepos::LoadAcqMethod of a method of 3 periods, 9 items and 2 tunes;
//   - LoadMethod/Baseline: open, fstat, read and a hand-written decoder of the same file, then the
//     system configuration's polarity switch time read with pugixml, as the method's time-outs
//     need it, and those time-outs completed.
// Saves are timed on the wall clock: the wait for the disk is their cost.
#include <WQBL/Method.h>
#include <WQPlatform/Platform.h>
#include <WQRepos/AcqMethods.h>
#include <WQRepos/Config.h>
#include <WQRepos/EntryPoints.h>
#include <WQRepos/Preferences.h>
#include <WQRepos/SystemConfiguration.h>
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const std::string kRecord(200, 'r');

// A folder of `files` empty ".kem" files, made once per size and removed at the end.
class Folder {
 public:
  explicit Folder(std::size_t files)
      : path_(fs::temp_directory_path() /
              ("wqrepos-bench-" + std::to_string(files) + "-" +
               std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()))) {
    fs::create_directories(path_);
    for (std::size_t i = 0; i < files; ++i) {
      std::ofstream(path_ / ("method" + std::to_string(i) + ".kem"));
    }
  }
  ~Folder() { fs::remove_all(path_); }
  std::string Path() const { return path_.string(); }

 private:
  fs::path path_;
};

const Folder& FolderOf(std::size_t files) {
  static std::map<std::size_t, Folder> folders;
  return folders.try_emplace(files, files).first->second;
}

void SaveModule(benchmark::State& state) {
  const std::string target = FolderOf(state.range(0)).Path() + "/saved.kem";
  for (auto _ : state) {
    WQPlatform::AtomicFile file(target);
    file.Stream() << kRecord;
    file.Commit();
  }
}
BENCHMARK(SaveModule)->Name("Save/Module")->Arg(0)->Arg(1000)->Arg(10000)->UseRealTime();

void SaveBaseline(benchmark::State& state) {
  const std::string folder = FolderOf(state.range(0)).Path();
  const std::string target = folder + "/saved.kem";
  const std::string temporary = folder + "/.saved.kem.tmp";
  for (auto _ : state) {
    const int descriptor = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    const bool done =
        descriptor >= 0 &&
        write(descriptor, kRecord.data(), kRecord.size()) == static_cast<ssize_t>(kRecord.size()) &&
        fsync(descriptor) == 0 && close(descriptor) == 0 &&
        rename(temporary.c_str(), target.c_str()) == 0;
    const int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (!done || directory < 0 || fsync(directory) != 0 || close(directory) != 0) {
      state.SkipWithError("save failed");
      return;
    }
  }
}
BENCHMARK(SaveBaseline)->Name("Save/Baseline")->Arg(0)->Arg(1000)->Arg(10000)->UseRealTime();

void ListModule(benchmark::State& state) {
  const std::string folder = FolderOf(state.range(0)).Path();
  const std::wstring pattern = std::wstring(folder.begin(), folder.end()) + L"/*.kem";
  for (auto _ : state) benchmark::DoNotOptimize(WQRepos::GetFileNames(pattern));
}
BENCHMARK(ListModule)->Name("List/Module")->Arg(1000)->Arg(10000);

void ListBaseline(benchmark::State& state) {
  const std::string folder = FolderOf(state.range(0)).Path();
  constexpr char kSuffix[] = ".kem";
  constexpr std::size_t kSuffixLength = sizeof kSuffix - 1;
  for (auto _ : state) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    while (const dirent* entry = readdir(dir)) {
      const std::size_t length = std::strlen(entry->d_name);
      if (length >= kSuffixLength &&
          std::memcmp(entry->d_name + length - kSuffixLength, kSuffix, kSuffixLength) == 0) {
        names.emplace_back(entry->d_name, length - kSuffixLength);
      }
    }
    closedir(dir);
    benchmark::DoNotOptimize(names);
  }
}
BENCHMARK(ListBaseline)->Name("List/Baseline")->Arg(1000)->Arg(10000);

// The stored spectrum noise preference, written once.
const std::string& NoisePreference() {
  static const std::string path = [] {
    WQRepos::Initialize();
    WQBL::NoiseParams params = WQBL::NoiseParams::DefaultMS();
    params.Factor = 4.5;
    WQRepos::Preferences().WMZNoise(params);
    WQRepos::Config config;
    config.Refresh();
    const std::wstring directory = config.QDirectory(WQRepos::Config::PrefsDir);
    return std::string(directory.begin(), directory.end()) + "/MZNoise.pref";
  }();
  return path;
}

void LoadPreferenceModule(benchmark::State& state) {
  NoisePreference();
  for (auto _ : state) benchmark::DoNotOptimize(WQRepos::Preferences().QMZNoise());
}
BENCHMARK(LoadPreferenceModule)->Name("LoadPreference/Module");

// Little-endian words of the file: its version, the record's version, the window and the factor.
template <typename Value>
Value Decode(const unsigned char*& at) {
  std::uint64_t bits = 0;
  for (std::size_t i = 0; i < sizeof(Value); ++i) bits |= std::uint64_t{at[i]} << (8 * i);
  at += sizeof(Value);
  Value value;
  if constexpr (sizeof(Value) == sizeof bits) {
    std::memcpy(&value, &bits, sizeof value);
  } else {
    value = static_cast<Value>(bits);
  }
  return value;
}

void LoadPreferenceBaseline(benchmark::State& state) {
  const std::string& path = NoisePreference();
  for (auto _ : state) {
    WQBL::NoiseParams params;
    const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat status;
    unsigned char bytes[64];
    const bool read = descriptor >= 0 && fstat(descriptor, &status) == 0 && status.st_size == 20 &&
                      ::read(descriptor, bytes, sizeof bytes) == status.st_size;
    if (descriptor >= 0) close(descriptor);
    const unsigned char* at = bytes;
    if (!read || Decode<std::uint32_t>(at) != 1 || Decode<std::uint32_t>(at) != 1) {
      state.SkipWithError("cannot read the preference");
      return;
    }
    params.WindowWidth = Decode<std::uint32_t>(at);
    params.Factor = Decode<double>(at);
    benchmark::DoNotOptimize(params);
  }
}
BENCHMARK(LoadPreferenceBaseline)->Name("LoadPreference/Baseline");

// The whole file at `path` by open, fstat and read; nothing when it cannot be read.
std::optional<std::string> ReadWhole(const std::string& path) {
  const int descriptor = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (descriptor < 0) return std::nullopt;
  struct stat status;
  std::optional<std::string> content;
  if (fstat(descriptor, &status) == 0) {
    content.emplace(static_cast<std::size_t>(status.st_size), '\0');
    if (::read(descriptor, content->data(), content->size()) != status.st_size) content.reset();
  }
  close(descriptor);
  return content;
}

std::string NarrowDirectory(WQRepos::Config::DirTypes kind) {
  WQRepos::Config config;
  config.Refresh();
  const std::wstring directory = config.QDirectory(kind);
  return std::string(directory.begin(), directory.end());
}

// A stored method of three periods, the first of no fixed length, and the system configuration
// its load reads; the paths of both files.
struct StoredMethod {
  std::string method;
  std::string configuration;
};

const StoredMethod& MethodFiles() {
  static const StoredMethod files = [] {
    WQRepos::Initialize();
    WQBL::Method method;
    method.TimePeriods.resize(3);
    method.TimePeriods[0].Duration = 0.0;
    method.TimePeriods[0].NumLoops = 20;
    for (WQBL::TimePeriod& period : method.TimePeriods) {
      period.Items.resize(3);
      period.Items[1].Kind = WQBL::SequenceItem::SIM;
      period.Items[2].Polarity = WQCommon::Negative;
      period.Items[2].TuneId = 2;
    }
    method.Tunes[1] = WQBL::TuneEntry(L"PositiveESI", WQCommon::Probes::ESI, WQCommon::Positive);
    method.Tunes[2] = WQBL::TuneEntry(L"NegativeESI", WQCommon::Probes::ESI, WQCommon::Negative);
    WQRepos::SaveAcqMethod(L"Bench", method);
    WQRepos::SystemConfiguration configuration;
    configuration.SystemName = L"Bench system";
    configuration.PolaritySwitch = 0.25;
    WQRepos::SaveSystemConfiguration(configuration);
    return StoredMethod{NarrowDirectory(WQRepos::Config::AcqMethodDir) + "/Bench.kem",
                        NarrowDirectory(WQRepos::Config::PrefsDir) + "/SystemConfiguration.xml"};
  }();
  return files;
}

void LoadMethodModule(benchmark::State& state) {
  MethodFiles();
  for (auto _ : state) benchmark::DoNotOptimize(WQRepos::LoadAcqMethod(L"Bench"));
}
BENCHMARK(LoadMethodModule)->Name("LoadMethod/Module");

// A hand-written decoder of a method file: counts are trusted no further than the bytes left.
class MethodDecoder {
 public:
  explicit MethodDecoder(const std::string& bytes)
      : at_(reinterpret_cast<const unsigned char*>(bytes.data())), end_(at_ + bytes.size()) {}

  std::optional<WQBL::Method> Read() {
    WQBL::Method method;
    std::uint32_t periods = 0;
    if (!Take(kFileVersion) || !Take(kMethodVersion) || !Next(periods) || periods > Left() / 20)
      return std::nullopt;
    method.TimePeriods.resize(periods);
    for (WQBL::TimePeriod& period : method.TimePeriods) {
      std::uint32_t items = 0;
      if (!Next(period.Duration) || !Next(period.NumLoops) || !Next(period.Timeout) ||
          !Next(items) || items > Left() / 48)
        return std::nullopt;
      period.Items.resize(items);
      for (WQBL::SequenceItem& item : period.Items) {
        std::int32_t kind = 0, polarity = 0;
        if (!Next(kind) || !Next(item.StartMZ) || !Next(item.EndMZ) || !Next(item.DwellTime) ||
            !Next(item.Duration) || !Next(polarity) || !Next(item.TuneId))
          return std::nullopt;
        item.Kind = static_cast<WQBL::SequenceItem::ItemKinds>(kind);
        item.Polarity = static_cast<WQCommon::PolarityTypes>(polarity);
      }
    }
    std::uint32_t tunes = 0;
    if (!Next(tunes) || tunes > Left() / 16) return std::nullopt;
    for (std::uint32_t i = 0; i < tunes; ++i) {
      std::uint32_t id = 0, length = 0;
      std::int32_t probe = 0, polarity = 0;
      if (!Next(id) || !Next(length) || length > Left() / 2) return std::nullopt;
      std::wstring name(length, L'\0');
      for (wchar_t& character : name) {
        std::uint32_t unit = at_[0] | at_[1] << 8;
        at_ += 2;
        character = static_cast<wchar_t>(unit);
      }
      if (!Next(probe) || !Next(polarity)) return std::nullopt;
      method.Tunes.emplace(
          id, WQBL::TuneEntry(std::move(name), static_cast<WQCommon::Probes::ProbeTypes>(probe),
                              static_cast<WQCommon::PolarityTypes>(polarity)));
    }
    return method;
  }

 private:
  static constexpr std::uint32_t kFileVersion = 1;
  static constexpr std::uint32_t kMethodVersion = 1;

  std::size_t Left() const { return static_cast<std::size_t>(end_ - at_); }

  template <typename Value>
  bool Next(Value& value) {
    if (Left() < sizeof(Value)) return false;
    value = Decode<Value>(at_);
    return true;
  }

  bool Take(std::uint32_t expected) {
    std::uint32_t value = 0;
    return Next(value) && value == expected;
  }

  const unsigned char* at_;
  const unsigned char* end_;
};

// The polarity switch time of the stored system configuration, read with pugixml.
std::optional<double> PolaritySwitch(const std::string& path) {
  const std::optional<std::string> content = ReadWhole(path);
  pugi::xml_document document;
  if (!content || !document.load_buffer(content->data(), content->size())) return std::nullopt;
  const char* text = document.child("SystemConfiguration").child("PolaritySwitch").child_value();
  return std::strtod(text, nullptr);
}

void LoadMethodBaseline(benchmark::State& state) {
  const StoredMethod& files = MethodFiles();
  for (auto _ : state) {
    const std::optional<std::string> bytes = ReadWhole(files.method);
    std::optional<WQBL::Method> method;
    if (bytes) method = MethodDecoder(*bytes).Read();
    const std::optional<double> polaritySwitch = PolaritySwitch(files.configuration);
    if (!method || !polaritySwitch) {
      state.SkipWithError("cannot read the method");
      return;
    }
    for (WQBL::TimePeriod& period : method->TimePeriods) {
      if (period.Duration >= 1e-7) continue;
      double seconds = 0.0;
      for (const WQBL::SequenceItem& item : period.Items) seconds += item.Duration;
      period.Timeout = static_cast<std::uint32_t>(std::ceil(period.NumLoops * seconds * 1000.0));
    }
    benchmark::DoNotOptimize(method);
  }
}
BENCHMARK(LoadMethodBaseline)->Name("LoadMethod/Baseline");

}  // namespace

BENCHMARK_MAIN();
