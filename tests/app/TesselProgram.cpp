#include "tests/app/TesselProgram.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "config/SettingsFile.h"
#include "config/uIniUtil.h"
#include "crypto/CryptoActions.h"
#include "engine/uTesselTypes.h"
#include "platform/Cp1251.h"

extern char** environ;

namespace tessel_test {

namespace ts = testing_support;

std::string TesselPath() {
  return TESSEL_PATH;
}
std::string MarvikPath() {
  return MARVIK_PATH;
}
std::string BinFolder() {
  const std::string path = TESSEL_PATH;
  return path.substr(0, path.rfind('/') + 1);
}

TProgram::TProgram(const std::string& program, const std::vector<std::string>& args,
                   const std::string& tmpFolder, const std::string& outFolder) {
  static std::atomic<int> serial{0};
  const std::string base = outFolder + "run" + std::to_string(serial.fetch_add(1));
  out_ = base + ".out";
  err_ = base + ".err";
  std::vector<std::string> all = {platform::Cp1251ToUtf8(program)};
  for (const std::string& a : args) all.push_back(platform::Cp1251ToUtf8(a));
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  std::vector<std::string> env;
  for (char** e = environ; *e; ++e)
    if (std::string(*e).rfind("TMPDIR=", 0) != 0) env.emplace_back(*e);
  env.push_back("TMPDIR=" + platform::Cp1251ToUtf8(tmpFolder));
  std::vector<char*> envp;
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  const std::string outNative = platform::Cp1251ToUtf8(out_);
  const std::string errNative = platform::Cp1251ToUtf8(err_);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outNative.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errNative.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  // A signal blocked or ignored here must not be so in the child.
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  sigset_t none, all_signals;
  sigemptyset(&none);
  sigfillset(&all_signals);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all_signals);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  if (posix_spawn(&pid_, argv[0], &actions, &attr, argv.data(), envp.data()) != 0) pid_ = -1;
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  EXPECT_GT(pid_, 0) << "cannot start " << all[0];
}

TProgram::~TProgram() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
}

void TProgram::Signal(int signal) const {
  if (pid_ > 0) ::kill(pid_, signal);
}

int TProgram::Wait(double seconds) {
  if (pid_ <= 0) return status_;
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    int status = 0;
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
      pid_ = -1;
      return status_;
    }
    if (std::chrono::steady_clock::now() > end) {
      ADD_FAILURE() << "the program did not end in " << seconds << " s";
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
      return status_ = -1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::string TProgram::RawOut() const {
  return ts::FileExists(out_) ? ts::ReadFile(out_) : "";
}
std::string TProgram::Out() const {
  return platform::Utf8ToCp1251Lossy(RawOut());
}
std::string TProgram::Err() const {
  return platform::Utf8ToCp1251Lossy(ts::FileExists(err_) ? ts::ReadFile(err_) : "");
}

bool WaitFor(const std::function<bool()>& condition, double seconds) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (!condition()) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return true;
}

std::vector<std::string> LogLines(const std::string& path) {
  std::vector<std::string> lines;
  if (!ts::FileExists(path)) return lines;
  const std::string bytes = ts::ReadFile(path);
  for (size_t pos = 0; pos < bytes.size();) {
    size_t end = bytes.find("\r\n", pos);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

std::vector<std::string> LogFields(const std::string& path) {
  std::vector<std::string> fields;
  for (const std::string& line : LogLines(path)) {
    const size_t tab = line.find('\t');
    fields.push_back(tab == std::string::npos ? line : line.substr(tab + 1));
  }
  return fields;
}

int CountFields(const std::string& path, const std::string& fields) {
  int count = 0;
  for (const std::string& line : LogFields(path))
    if (line == fields) ++count;
  return count;
}

std::vector<std::pair<std::string, std::string>> FolderContents(const std::string& folder) {
  std::vector<std::pair<std::string, std::string>> contents;
  for (const std::string& name : ts::ListNames(folder))
    contents.emplace_back(name, ts::ReadFile(folder + name));
  return contents;
}

// ---------------------------------------------------------------------------

TExchange::TExchange() {
  secret = dir.Sub("keys/secret/");
  pub = dir.Sub("keys/public/");
  outbox = dir.Sub("банк/исходящие/");
  archive = dir.Sub("банк/архив/");
  bankBad = dir.Sub("банк/ошибки/");
  inbox = dir.Sub("клиент/входящие/");
  received = dir.Sub("клиент/полученные/");
  clientBad = dir.Sub("клиент/ошибки/");
  tmp = dir.Sub("tmp/");
  output = dir.Sub("output/");
  ini = dir.Path() + "exchange.ini";
  log = dir.Path() + "exchange.log";
  for (const char* id : {"BANK", "CLIENT"}) {
    const std::string command = "'" + MarvikPath() + "' create " + id + " '" +
                                platform::Cp1251ToUtf8(secret) + "' '" +
                                platform::Cp1251ToUtf8(pub) + "' >/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
  }
}

void TExchange::WriteScript(const std::function<void()>& build, int interval) {
  ScriptRegistry->ClearGroups();
  ScriptRegistry->PubKeysPath = pub;
  ScriptRegistry->SecKeysPath = secret;
  build();
  ASSERT_TRUE(SaveToIni(*ScriptRegistry, ini));
  ASSERT_TRUE(WriteIniInteger("MAIN", "INTERVAL", interval, ini));
  ScriptRegistry->ClearGroups();
}

namespace {
void EnableAll(TTesselActionList* group) {
  group->Enabled = true;
  for (int i = 0; i < group->ActionCount(); ++i) group->GetAction(i)->Enabled = true;
}
}  // namespace

void TExchange::AddBankGroup(const std::string& name) {
  TTesselActionList* out = ScriptRegistry->AddGroup(name);
  out->SourceMask = outbox + "*";
  out->DestFolder = inbox;
  out->BadFolder = bankBad;
  static_cast<TTesselAction_sign*>(out->CreateAction(kKindSign))->KeyId = "BANK";
  auto* enc = static_cast<TTesselAction_encrypt*>(out->CreateAction(kKindEncrypt));
  enc->SenderKey = "BANK";
  enc->ReceiverKeyList = "CLIENT";
  enc->CopyTo = archive;
  EnableAll(out);
}

void TExchange::AddClientGroup(const std::string& name) {
  TTesselActionList* in = ScriptRegistry->AddGroup(name);
  in->SourceMask = inbox + "*";
  in->DestFolder = received;
  in->BadFolder = clientBad;
  auto* dec = static_cast<TTesselAction_decrypt*>(in->CreateAction(kKindDecrypt));
  dec->ReceiverKey = "CLIENT";
  dec->SenderKey = "BANK";
  static_cast<TTesselAction_checksign*>(in->CreateAction(kKindCheckSign))->KeyList = "BANK";
  static_cast<TTesselAction_delsign*>(in->CreateAction(kKindDelSign))->DeleteCount = -1;
  EnableAll(in);
}

TProgram TExchange::Start(std::vector<std::string> args) const {
  args.push_back("--settings");
  args.push_back(ini);
  return TProgram(TesselPath(), args, tmp, output);
}

int TExchange::Run(std::vector<std::string> args, std::string* out, std::string* err) const {
  TProgram program = Start(std::move(args));
  const int status = program.Wait();
  if (out) *out = program.Out();
  if (err) *err = program.Err();
  return status;
}

}  // namespace tessel_test
