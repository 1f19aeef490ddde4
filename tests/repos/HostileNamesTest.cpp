// Names that callers hand to the repositories may come from a user: none of them may reach a file
// outside the repository's directory, and a sub-folder inside it keeps working.
#include <WQRepos/AcqMethods.h>
#include <WQRepos/EvalMethods.h>
#include <WQRepos/Tunes.h>
#include <gmock/gmock.h>

#include <functional>

#include "support/DataDirectory.h"

namespace {

using namespace wqtest;
using ::testing::StrEq;
using ::testing::ThrowsMessage;

using HostileNamesTest = DataDirectoryTest;

// Each operation's failure, with @ standing for the name, is followed by the reason.
TEST_F(HostileNamesTest, NamesLeadingOutOfTheRepositoryAreRefusedByEveryOperation) {
  const std::pair<std::wstring, std::string> unsafeNames[] = {
      {L"../../victim", "the name \"../../victim\" leads outside its directory"},
      {L"sub/../../x", "the name \"sub/../../x\" leads outside its directory"},
      {L"/tmp/x", "the name \"/tmp/x\" is an absolute path"},
      {std::wstring(L"../../victim\0", 13), "the name holds a NUL character"},
      {std::wstring(L"x\0/../../../victim", 18), "the name holds a NUL character"}};
  const std::string tune = (Dir("Tunes") / "@.ket").string();
  const std::string method = (Dir("AcqMethod") / "@.kem").string();
  const std::pair<std::function<void(const std::wstring&)>, std::string> operations[] = {
      {[](auto& n) { WQRepos::SaveAcqMethod(n, WQBL::Method()); },
       "Unable to create acquisition method file (@)"},
      {[](auto& n) { WQRepos::LoadAcqMethod(n); },
       "Unable to open acquisition method file (" + method + ")"},
      {[](auto& n) { WQRepos::SaveTune(n, WQBL::Tune()); }, "Unable to create tune file: " + tune},
      {[](auto& n) { WQRepos::LoadTune(n); }, "Unable to open tune file: " + tune},
      {[](auto& n) { WQRepos::SaveSpectrumEvalMethod(n, {}); },
       "Unable to create evaluation method file"},
      {[](auto& n) { WQRepos::LoadICEvalMethod(n); }, "Unable to open evaluation method file"}};
  const fs::path victim = Base().parent_path() / "victim.sem";
  WriteBytes(victim, "someone else's file");
  for (const auto& [name, reason] : unsafeNames) {
    std::string shown;
    for (const wchar_t c : name) c == L'\0' ? shown += "\\0" : shown += static_cast<char>(c);
    for (const auto& [call, failure] : operations) {
      std::string message = failure;
      if (const auto at = message.rfind('@'); at != std::string::npos)
        message.replace(at, 1, shown);
      EXPECT_THAT([&] { call(name); },
                  ThrowsMessage<std::runtime_error>(StrEq(message + ": " + reason)));
    }
    EXPECT_FALSE(WQRepos::DeleteSpectrumEvalMethod(name));
    EXPECT_FALSE(WQRepos::DeleteICEvalMethod(name));
  }
  EXPECT_EQ(ReadBytes(victim), "someone else's file");
  EXPECT_EQ(std::distance(fs::directory_iterator(Base().parent_path()), fs::directory_iterator()),
            2)
      << "nothing was written beside the base directory";
}

TEST_F(HostileNamesTest, SubFoldersAndDotsThatStayInsideKeepWorking) {
  fs::create_directory(Dir("AcqMethod") / "lab");
  fs::create_directory(Dir("EvalMethod") / "lab");
  for (const std::wstring name : {L"lab/a", L"./lab/../lab/b", L"lab//c", L"..d", L"e.."}) {
    WQRepos::SaveAcqMethod(name, WQBL::Method());
    EXPECT_NO_THROW(WQRepos::LoadAcqMethod(name));
    WQRepos::SaveSpectrumEvalMethod(name, {});
    EXPECT_TRUE(WQRepos::DeleteSpectrumEvalMethod(name));
  }
}

}  // namespace
