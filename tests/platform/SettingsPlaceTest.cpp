#include "platform/SettingsPlace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <optional>

#include "platform/Cp1251.h"
#include "tests/support/TestSupport.h"

namespace {

using testing_support::TempDir;

// Sets an environment variable for the test's lifetime.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(SettingsPlace, AProgramKeepsItsFileBesideItUnlessInstalledUnderUsrWithNoneThere) {
  TempDir dir;
  const std::string config = dir.Path() + "конфиг";  // made by the call, with its parent
  ScopedEnv xdg("XDG_CONFIG_HOME", platform::Cp1251ToUtf8(config).c_str());

  // A build tree: the folder is writable, so nothing moves.
  EXPECT_EQ(platform::SettingsPlace(dir.Path() + "TesselScripts.ini"),
            dir.Path() + "TesselScripts.ini");

  // An installed program: the user's folder, made private on the way.
  EXPECT_EQ(platform::SettingsPlace("/usr/bin/TesselScripts.ini"),
            config + "/tessel/TesselScripts.ini");
  struct stat st;
  ASSERT_EQ(::stat(platform::Cp1251ToUtf8(config + "/tessel").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);

  // A file already beside an installed program stays the program's.
  EXPECT_EQ(platform::SettingsPlace("/usr/bin/env"), "/usr/bin/env");

  // Without XDG_CONFIG_HOME the folder is under the home; without a home the
  // file stays where it was named.
  ScopedEnv noXdg("XDG_CONFIG_HOME", nullptr);
  {
    ScopedEnv home("HOME", platform::Cp1251ToUtf8(dir.Path() + "дом").c_str());
    EXPECT_EQ(platform::SettingsPlace("/usr/bin/TesselScripts.ini"),
              dir.Path() + "дом/.config/tessel/TesselScripts.ini");
  }
  ScopedEnv noHome("HOME", nullptr);
  EXPECT_EQ(platform::SettingsPlace("/usr/bin/TesselScripts.ini"), "/usr/bin/TesselScripts.ini");
}

}  // namespace
