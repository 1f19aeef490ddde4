// The library finds ConfigClient.xml beside its own file, wherever that file is: a copy of the
// library in a folder of its own, loaded at run time, lays out the data tree that its neighbouring
// ConfigClient.xml names. This program links no copy of the module itself, and sets up no logging.
#include <WQPlatformTesting/ScratchFiles.h>
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace {

namespace fs = std::filesystem;

TEST(LibraryLocation, ConfigurationIsReadBesideTheLoadedLibraryFile) {
  const WQPlatformTesting::ScratchDirectory scratch;
  const fs::path& folder = scratch.Path();
  const fs::path library = folder / "libWQReposCopy.so";
  fs::copy_file(fs::canonical(WQREPOS_TESTLIB_FILE), library);
  WQPlatformTesting::WriteBytes(folder / "ConfigClient.xml",
                                "<AcqClient><HostName>h</HostName><Port>1</Port><BaseDir>" +
                                    (folder / "Base").string() + "</BaseDir></AcqClient>");

  void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(handle, nullptr) << dlerror();
  // WQRepos::Initialize()
  auto initialize = reinterpret_cast<void (*)()>(dlsym(handle, "_ZN7WQRepos10InitializeEv"));
  ASSERT_NE(initialize, nullptr) << dlerror();
  // The program set up no logging: the library says nothing on its standard error.
  testing::internal::CaptureStderr();
  initialize();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_TRUE(fs::is_directory(folder / "Base" / "AcqMethod"));
  EXPECT_TRUE(fs::is_directory(folder / "Base" / "Autotune"));
  dlclose(handle);
}

}  // namespace
