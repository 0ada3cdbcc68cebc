// Running the built tessel as the operator or the service manager would: a
// child process with its own temp folder, its standard output and error kept
// in files, signalled and waited for. Also an exchange between two parties
// with keys made by marvik, for the tests that run passes.
#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/TestSupport.h"

namespace tessel_test {

// One run of a program. Paths are Windows-1251, like the system's.
class TProgram {
 public:
  // Starts program with the arguments (UTF-8 on the command line), $TMPDIR
  // set to tmpFolder, output into outFolder/<n>.out and .err.
  TProgram(const std::string& program, const std::vector<std::string>& args,
           const std::string& tmpFolder, const std::string& outFolder);
  ~TProgram();
  TProgram(const TProgram&) = delete;
  TProgram& operator=(const TProgram&) = delete;

  pid_t Pid() const { return pid_; }
  void Signal(int signal) const;
  // The exit status, or 128 + the signal that ended it; -1 (after killing
  // it) when it did not end within the time.
  int Wait(double seconds = 120);
  // Standard output and error as written so far, turned from the
  // program's UTF-8 into the system's Windows-1251.
  std::string Out() const;
  std::string Err() const;
  // Standard output's bytes as they are.
  std::string RawOut() const;

 private:
  pid_t pid_ = -1;
  int status_ = -1;
  std::string out_, err_;
};

// Polls every few milliseconds until the condition holds; false at the time limit.
bool WaitFor(const std::function<bool()>& condition, double seconds = 60);

// The lines of a log file without CR LF; with or without their timestamps.
std::vector<std::string> LogLines(const std::string& path);
std::vector<std::string> LogFields(const std::string& path);
int CountFields(const std::string& path, const std::string& fields);

// Names with their bytes.
std::vector<std::pair<std::string, std::string>> FolderContents(const std::string& folder);

// An exchange in a fresh folder: keys BANK and CLIENT, the folders of the
// bank's outgoing and the client's incoming group, and the settings file
// exchange.ini (log exchange.log). Build the script with WriteScript.
class TExchange {
 public:
  TExchange();

  testing_support::TempDir dir;
  std::string secret, pub, outbox, archive, inbox, received, bankBad, clientBad, tmp, output;
  std::string ini, log;

  // Empties ScriptRegistry, lets build fill it, saves it with the interval.
  void WriteScript(const std::function<void()>& build, int interval = 3);
  // The bank's group: sign with BANK, encrypt from BANK to CLIENT with a
  // copy in the archive, deliver to the inbox. Enabled, every step enabled.
  void AddBankGroup(const std::string& name = "Исходящие");
  // The client's group: decrypt, check BANK's signature, delete signatures.
  void AddClientGroup(const std::string& name = "Входящие");
  // tessel with the arguments, then --settings ini.
  TProgram Start(std::vector<std::string> args) const;
  int Run(std::vector<std::string> args, std::string* out = nullptr,
          std::string* err = nullptr) const;
};

// The built programs.
std::string TesselPath();
std::string MarvikPath();
std::string BinFolder();  // with "/"

}  // namespace tessel_test
