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

class HostileNamesTest : public DataDirectoryTest {
 protected:
  // A file beside the base directory that no repository operation may touch.
  fs::path Victim() const { return Base().parent_path() / "victim.sem"; }
};

struct UnsafeName {
  std::wstring name;
  std::string reason;
};

const UnsafeName kUnsafeNames[] = {
    {L"../../victim", "the name \"../../victim\" leads outside its directory"},
    {L"sub/../../x", "the name \"sub/../../x\" leads outside its directory"},
    {L"/tmp/x", "the name \"/tmp/x\" is an absolute path"},
    {std::wstring(L"../../victim\0", 13), "the name holds a NUL character"},
    {std::wstring(L"x\0/../../../victim", 18), "the name holds a NUL character"}};

TEST_F(HostileNamesTest, NamesLeadingOutOfTheRepositoryAreRefusedByEveryOperation) {
  const std::string tunes = (Dir("Tunes") / "").string();
  const std::string methods = (Dir("AcqMethod") / "").string();
  struct Operation {
    std::function<void(const std::wstring&)> call;
    std::function<std::string(const std::string& name)> failure;
  };
  const Operation operations[] = {
      {[](const std::wstring& n) { WQRepos::SaveAcqMethod(n, WQBL::Method()); },
       [](const std::string& n) { return "Unable to create acquisition method file (" + n + ")"; }},
      {[](const std::wstring& n) { WQRepos::LoadAcqMethod(n); },
       [&](const std::string& n) {
         return "Unable to open acquisition method file (" + methods + n + ".kem)";
       }},
      {[](const std::wstring& n) { WQRepos::SaveTune(n, WQBL::Tune()); },
       [&](const std::string& n) { return "Unable to create tune file: " + tunes + n + ".ket"; }},
      {[](const std::wstring& n) { WQRepos::LoadTune(n); },
       [&](const std::string& n) { return "Unable to open tune file: " + tunes + n + ".ket"; }},
      {[](const std::wstring& n) { WQRepos::SaveSpectrumEvalMethod(n, {}); },
       [](const std::string&) { return std::string("Unable to create evaluation method file"); }},
      {[](const std::wstring& n) { WQRepos::LoadICEvalMethod(n); },
       [](const std::string&) { return std::string("Unable to open evaluation method file"); }},
  };
  for (const UnsafeName& unsafe : kUnsafeNames) {
    std::string name;
    for (const wchar_t c : unsafe.name) c == L'\0' ? name += "\\0" : name += static_cast<char>(c);
    for (const Operation& operation : operations) {
      EXPECT_THAT(
          [&] { operation.call(unsafe.name); },
          ThrowsMessage<std::runtime_error>(StrEq(operation.failure(name) + ": " + unsafe.reason)));
    }
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(Base().parent_path()), fs::directory_iterator()),
            1)
      << "nothing was written beside the base directory";
}

TEST_F(HostileNamesTest, DeleteOfANameLeadingOutIsRefusedAndTouchesNothing) {
  WriteBytes(Victim(), "someone else's file");
  for (const UnsafeName& unsafe : kUnsafeNames) {
    EXPECT_FALSE(WQRepos::DeleteSpectrumEvalMethod(unsafe.name));
    EXPECT_FALSE(WQRepos::DeleteICEvalMethod(unsafe.name));
  }
  EXPECT_FALSE(WQRepos::DeleteSpectrumEvalMethod(L"../../victim"));
  EXPECT_TRUE(fs::exists(Victim()));
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
