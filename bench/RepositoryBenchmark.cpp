// The repository's file operations against the same system calls made by hand, in folders of
// 0, 1,000 and 10,000 files:
//   - Save/Module/N: a small record saved durably through WQPlatform::AtomicFile;
//   - Save/Baseline/N: open a temporary file, write, fsync, close, rename, fsync the folder;
//   - List/Module/N: WQRepos::GetFileNames of "*.kem";
//   - List/Baseline/N: readdir with a comparison of each name's end;
//   - LoadPreference/Module: WQRepos::Preferences::QMZNoise, a small preference file;
//   - LoadPreference/Baseline: open, fstat, read and a hand-written decoder of the same file.
// Saves are timed on the wall clock: the wait for the disk is their cost.
#include <WQPlatform/Platform.h>
#include <WQRepos/Config.h>
#include <WQRepos/EntryPoints.h>
#include <WQRepos/Preferences.h>
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
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

}  // namespace

BENCHMARK_MAIN();
