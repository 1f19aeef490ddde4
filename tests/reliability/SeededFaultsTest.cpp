// The reliability checks are shown to catch real faults: three broken ways of saving a file, a
// reader that trusts a count from the file and an XML reader without a depth bound are each caught
// by the same checks that pass the module's own readers here and its own saves in SaveFaultsTest.
#include <WQCommon/Binary.h>
#include <WQCommon/XML.h>
#include <WQPlatformTesting/SimulatedDisk.h>
#include <WQRepos/RefCals.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <iostream>
#include <iterator>
#include <new>
#include <sstream>

#include "support/DataDirectory.h"

namespace {

std::atomic<std::size_t> largestRequest{0};

// Requests above this are refused without asking the system: a reader that trusts a corrupt count
// asks for gigabytes.
constexpr std::size_t kAllocationLimit = std::size_t{1} << 30;

}  // namespace

void* operator new(std::size_t size) {
  for (std::size_t seen = largestRequest; size > seen;)
    if (largestRequest.compare_exchange_weak(seen, size)) break;
  if (size > kAllocationLimit) throw std::bad_alloc();
  if (void* memory = std::malloc(size ? size : 1)) return memory;
  throw std::bad_alloc();
}

// GCC takes the free() of a replaced operator delete for a mismatch with operator new.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* memory) noexcept { std::free(memory); }
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
void operator delete(void* memory, std::size_t) noexcept { ::operator delete(memory); }

namespace {

using namespace wqtest;
using namespace WQPlatformTesting;

const std::string kTarget = "/lab/Prefs/GenTIC.pref";
const std::string kOld = "old record, fully on disk";
const std::string kNew = "the new record, which is a little longer";

// The broken ways of saving kNew over kOld.
enum class BrokenSave { TruncatesInPlace, SkipsFileSync, SkipsDirectorySync };

PowerLossOutcome LosePowerDuring(BrokenSave way) {
  SimulatedDisk disk;
  disk.PutDurable(kTarget, kOld);
  return LosePowerEverywhere(disk, kTarget, kOld, kNew, [&] {
    std::string temporary = kTarget + ".tmpXXXXXX";
    const int descriptor = way == BrokenSave::TruncatesInPlace ? disk.OpenTruncating(kTarget)
                                                               : disk.CreateTemporary(temporary);
    disk.Write(descriptor, kNew.data(), kNew.size());
    if (way != BrokenSave::SkipsFileSync) disk.Sync(descriptor);
    disk.Close(descriptor);
    if (way == BrokenSave::TruncatesInPlace) return;
    disk.Rename(temporary, kTarget);
    // Without the directory sync, success is reported before the new name is on the disk.
    if (way != BrokenSave::SkipsDirectorySync) disk.SyncDirectory("/lab/Prefs");
  });
}

// Deep enough that the indented text of the document takes 9 MB, 36 MB as wide text.
constexpr int kDeepDocumentDepth = 3000;

// The largest single allocation `read` asks for.
std::size_t LargestAllocationOf(const std::function<void()>& read) {
  largestRequest = 0;
  try {
    read();
  } catch (const std::exception&) {
  }
  return largestRequest;
}

class SeededFaultsTest : public DataDirectoryTest {};

TEST_F(SeededFaultsTest, ChecksCatchEverySeededFaultAndPassTheRealCode) {
  const std::string hugeCount = U32(4000000000u);
  WriteBytes(Dir("Calibration") / "RefCals.cal", U32(1) + hugeCount);
  const std::size_t guarded = LargestAllocationOf([] { WQRepos::LoadReferenceCalibrants(); });
  // A reader of a list of doubles that sizes the list by the count the stream holds.
  const std::size_t unguarded = LargestAllocationOf([&] {
    std::istringstream stream(hugeCount);
    WQCommon::BinaryReader reader(stream);
    std::uint32_t count = 0;
    reader >> count;
    std::vector<double> values(count);
    for (double& value : values) reader >> value;
  });

  std::wstring deepDocument;
  for (int level = 0; level < kDeepDocumentDepth; ++level) deepDocument += L"<L>";
  for (int level = 0; level < kDeepDocumentDepth; ++level) deepDocument += L"</L>";
  const std::size_t boundedDepth = LargestAllocationOf([&] {
    WQCommon::XMLParser parser;
    try {
      parser.LoadXML(deepDocument);
    } catch (const WQCommon::XMLError&) {
    }
    parser.QXML();
  });
  // An XML reader without a depth bound takes every level into the builder and asks for its text.
  const std::size_t unboundedDepth = LargestAllocationOf([] {
    WQCommon::XMLBuilder builder;
    for (int level = 0; level < kDeepDocumentDepth; ++level) builder.StartNode(L"L");
    builder.QXML();
  });

  const std::pair<bool, const char*> seeded[] = {
      {LosePowerDuring(BrokenSave::TruncatesInPlace).tornFiles > 0, "in-place truncating writer"},
      {LosePowerDuring(BrokenSave::SkipsFileSync).tornFiles > 0, "writer without file fsync"},
      {LosePowerDuring(BrokenSave::SkipsDirectorySync).acknowledgedLost > 0,
       "writer without directory fsync"},
      {unguarded > kAllocationLimit, "reader trusting a count"},
      {unboundedDepth > std::size_t{16} << 20, "XML reader without a depth bound"}};
  int detected = 0;
  for (const auto& [caught, fault] : seeded) {
    EXPECT_TRUE(caught) << fault;
    detected += caught;
  }
  EXPECT_LT(guarded, std::size_t{1} << 20);
  EXPECT_LT(boundedDepth, std::size_t{1} << 20);
  std::cout << "seeded faults detected: " << detected << " of " << std::size(seeded) << "\n";
}

}  // namespace
