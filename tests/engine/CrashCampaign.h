// Kills a pass at every file-changing call in turn and checks what the next
// start makes of it. Each round runs the script in a child process whose
// fault hook counts the platform's file operations and kills the process
// (SIGKILL, so nothing of it runs on) at the k-th; then a new run in this
// process passes until the work is done. Rounds go on until a child finishes
// without meeting its kill point.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/Readiness.h"
#include "engine/uTesselTypes.h"
#include "platform/Clock.h"
#include "platform/Durable.h"
#include "platform/Files.h"
#include "tests/support/TestSupport.h"

namespace crash_campaign {

struct Folders {
  std::string root, tmp, in, mid, out, bad, arch;
  std::string ledger;  // every commit of a delivery, one target per line
};

struct Script {
  // Makes the script over the folders in a registry of the process's own
  // (a new start reads its script anew) and returns it.
  std::function<TTesselGroups&(const Folders&)> build;
  // Puts the round's source files in place.
  std::function<void(const Folders&)> putSources;
  // What must be in the final folder when all is done: name -> bytes.
  std::map<std::string, std::string> expected;
  // One pass of the script; empty: RunAllGroups() with no context.
  std::function<void(const Folders&, TTesselGroups&)> pass;
  // The targets of the deliveries that records (a history) claim, one per
  // record, read after the round; empty: no records are kept.
  std::function<std::vector<std::string>(const Folders&)> claims;
};

inline void AppendLine(const std::string& file, const std::string& line) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
  if (fd < 0) return;
  const std::string text = line + "\n";
  [[maybe_unused]] auto n = ::write(fd, text.data(), text.size());
  ::close(fd);
}

// Counts file operations; at the kill point the process dies on the spot.
// Commits into the delivery folders (a new file taking its final name) go to
// the ledger just before they happen.
inline testing_support::ScopedFault Hook(const Folders& f, int killAt, int* count) {
  return testing_support::ScopedFault(
      [f, killAt, count](std::string_view op, const std::string& path) {
        if (++*count == killAt) ::raise(SIGKILL);
        const bool delivery = path.rfind(f.mid, 0) == 0 || path.rfind(f.out, 0) == 0;
        const bool sideName = platform::IsSideName(path.substr(path.rfind('/') + 1));
        if (delivery && !sideName &&
            (op == "rename" || (op == "link" && !testing_support::FileExists(path))))
          AppendLine(f.ledger, path);
        return 0;
      });
}

inline std::vector<std::string> Lines(const std::string& file) {
  std::vector<std::string> lines;
  const std::string bytes =
      testing_support::FileExists(file) ? testing_support::ReadFile(file) : "";
  size_t start = 0;
  for (size_t nl; (nl = bytes.find('\n', start)) != std::string::npos; start = nl + 1)
    lines.push_back(bytes.substr(start, nl - start));
  return lines;
}

// Every delivery made has exactly one record saying so, and no record
// claims a delivery that was not made.
inline void CheckClaims(const std::map<std::string, int>& commits,
                        const std::vector<std::string>& claims) {
  std::map<std::string, int> claimed;
  for (const std::string& target : claims) ++claimed[target];
  for (const auto& [target, times] : commits)
    EXPECT_EQ(claimed[target], times) << "records of the delivery to " << target;
  for (const auto& [target, times] : claimed)
    EXPECT_TRUE(commits.count(target)) << "a record claims a delivery never made: " << target;
}

inline void CheckRound(const Folders& f, const Script& script, int killAt) {
  SCOPED_TRACE("kill point " + std::to_string(killAt));
  using testing_support::ListNames;
  std::vector<std::string> names;
  for (const auto& [name, bytes] : script.expected) {
    names.push_back(name);
    EXPECT_EQ(testing_support::ReadFile(f.out + name), bytes) << name;
  }
  EXPECT_EQ(ListNames(f.out), names);  // nothing else, side names included
  EXPECT_TRUE(ListNames(f.in).empty());
  EXPECT_TRUE(ListNames(f.mid).empty());
  EXPECT_TRUE(ListNames(f.bad).empty());
  EXPECT_TRUE(ListNames(f.tmp).empty());  // no working folder, no plaintext
  for (const std::string& name : ListNames(f.arch))
    EXPECT_FALSE(platform::IsSideName(name)) << name;
  // Each file reached each folder exactly once in all.
  std::map<std::string, int> commits;
  for (const std::string& target : Lines(f.ledger)) ++commits[target];
  for (const std::string& name : names) {
    EXPECT_EQ(commits[f.mid + name], 1) << "delivered to the middle folder: " << name;
    EXPECT_EQ(commits[f.out + name], 1) << "delivered to the final folder: " << name;
  }
  if (script.claims) CheckClaims(commits, script.claims(f));
}

inline void PassOf(const Script& script, const Folders& f, TTesselGroups& registry) {
  if (script.pass)
    script.pass(f, registry);
  else
    registry.RunAllGroups();
}

// Returns the number of kill points tried.
inline int Run(const Script& script, int passesToFinish = 3) {
  for (int killAt = 1;; ++killAt) {
    testing_support::TempDir dir;
    Folders f{dir.Path(),      dir.Sub("tmp/"), dir.Sub("in/"),   dir.Sub("mid/"),
              dir.Sub("out/"), dir.Sub("bad/"), dir.Sub("arch/"), dir.Path() + "ledger"};
    testing_support::ScopedTempPath temp(f.tmp);
    testing_support::ScopedLogFile log(f.root + "run.log");
    script.putSources(f);

    const pid_t child = ::fork();
    if (child == 0) {
      int count = 0;
      auto hook = Hook(f, killAt, &count);
      TTesselGroups& registry = script.build(f);
      PassOf(script, f, registry);
      PassOf(script, f, registry);
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    if (!killed && !(WIFEXITED(status) && WEXITSTATUS(status) == 0)) {
      ADD_FAILURE() << "the child ended otherwise at kill point " << killAt;
      return killAt;
    }
    {
      int count = 0;
      auto hook = Hook(f, 0, &count);
      // The new start comes a while after the kill: what the killed run
      // delivered a moment before it died no longer looks freshly written.
      SetPassWallClock([] { return platform::WallClockNs() + 60'000'000'000; });
      TTesselGroups& registry = script.build(f);
      for (int pass = 0; pass < passesToFinish; ++pass) PassOf(script, f, registry);
      SetPassWallClock({});
    }
    CheckRound(f, script, killAt);
    if (::testing::Test::HasFailure() || !killed) return killAt;
  }
}

}  // namespace crash_campaign
