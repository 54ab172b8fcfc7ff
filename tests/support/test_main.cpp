// The main of every test program: each process gets its own HOME, XDG directories and TMPDIR,
// so no test touches the user's files or another test's.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

int main(int argc, char** argv) {
  char tmpl[] = "/tmp/client-test-XXXXXX";
  const char* root = ::mkdtemp(tmpl);
  if (root == nullptr) return 2;
  const std::string base(root);
  for (const char* sub : {"home", "data", "cache", "config", "tmp", "runtime"}) {
    std::filesystem::create_directories(base + "/" + sub);
  }
  std::filesystem::permissions(base + "/runtime", std::filesystem::perms::owner_all);
  ::setenv("HOME", (base + "/home").c_str(), 1);
  ::setenv("XDG_DATA_HOME", (base + "/data").c_str(), 1);
  ::setenv("XDG_CACHE_HOME", (base + "/cache").c_str(), 1);
  ::setenv("XDG_CONFIG_HOME", (base + "/config").c_str(), 1);
  ::setenv("XDG_RUNTIME_DIR", (base + "/runtime").c_str(), 1);
  ::setenv("TMPDIR", (base + "/tmp").c_str(), 1);
  ::setenv("GSETTINGS_BACKEND", "memory", 1);
  ::setenv("TEST_ROOT", base.c_str(), 1);

  ::testing::InitGoogleTest(&argc, argv);
  const int rc = RUN_ALL_TESTS();
  std::error_code ec;
  std::filesystem::remove_all(base, ec);
  return rc;
}
