#include "tests/crypto/RealLibrary.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>

#include "crypto/Orlak.h"
#include "crypto/StepKinds.h"

extern char** environ;

namespace real_library {

namespace ts = testing_support;

bool RunMarvik(const std::vector<std::string>& args) {
  std::vector<std::string> all = {MARVIK_PATH};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  // Its report of the new key is of no interest here.
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = 0;
  const int started = posix_spawn(&pid, MARVIK_PATH, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (started != 0) return false;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return false;
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

const Keys& SharedKeys() {
  // Lives until the test program ends, which removes the keys.
  static ts::TempDir shared;
  static ts::TempDir* const folder = &shared;
  static const Keys keys = [] {
    Keys k{folder->Sub("sec/"), folder->Sub("pub/")};
    for (const char* id : {"A", "B", "C", "D"})
      if (!RunMarvik({"create", id, k.secret, k.pub})) ADD_FAILURE() << "marvik create " << id;
    if (!RunMarvik({"create", "Gone", k.secret, folder->Sub("elsewhere/")}))
      ADD_FAILURE() << "marvik create Gone";
    return k;
  }();
  return keys;
}

void RealLibraryTest::SetUp() {
  const Keys& keys = SharedKeys();
  ASSERT_EQ(SignInit(keys.secret.c_str(), keys.pub.c_str()), 0);
  ASSERT_EQ(CryptoInit(keys.secret.c_str(), keys.pub.c_str()), 0);
  InitEngine(CryptoStepKinds());
  ScriptRegistry->PubKeysPath = keys.pub;
  ScriptRegistry->SecKeysPath = keys.secret;
}

void RealLibraryTest::TearDown() {
  DoneEngine();
  CryptoDone();
  SignDone();
}

std::string RealLibraryTest::Put(const std::string& name, const std::string& bytes) {
  const std::string path = work + name;
  ts::WriteFile(path, bytes);
  return path;
}

void RealLibraryTest::SignWith(const std::string& path, const std::vector<std::string>& keys) {
  for (const std::string& key : keys)
    ASSERT_EQ(SignFile(path.c_str(), path.c_str(), key.c_str()), 0) << key;
}

}  // namespace real_library
