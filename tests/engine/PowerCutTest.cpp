// A power cut at every file operation of a pass, emulated with two loop-mounted
// file systems (one for the program's log and journal, one for the exchange
// folders) mounted so that only what the pass flushes reaches their images.
// At the kill both images are copied as they stand: that is what a machine
// finds on its disks after the power comes back. A new run on the copies must
// then deliver every file exactly once: a result that survived the cut is
// never delivered again, and nothing is lost.
//
// Needs root (mount) and loop devices; skipped elsewhere.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <map>
#include <set>

#include "platform/Cp1251.h"
#include "platform/Durable.h"
#include "platform/Files.h"
#include "tests/engine/PassFixture.h"

using namespace testing_support;

namespace {

int Shell(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str());
}

// An ext4 image mounted on a folder; journal commits only when flushed.
class Disk {
 public:
  Disk(const std::string& image, const std::string& folder) : image_(image), folder_(folder) {}
  ~Disk() { Unmount(); }
  bool Make() { return Shell("truncate -s 32M " + image_ + " && mkfs.ext4 -q -F " + image_) == 0; }
  bool Mount() {
    mounted_ = Shell("mount -o loop,commit=600 " + image_ + " " + folder_) == 0;
    return mounted_;
  }
  void Unmount() {
    if (mounted_) Shell("umount " + folder_);
    mounted_ = false;
  }
  // The image as the disk holds it now, as a new disk at another image.
  bool CopyTo(const std::string& image) const {
    return Shell("cp --sparse=always " + image_ + " " + image) == 0;
  }

 private:
  std::string image_, folder_;
  bool mounted_ = false;
};

// Root, loop devices and mkfs.ext4, and a mount that works (a container may
// refuse it even to root).
bool CanMount() {
  if (::geteuid() != 0 || ::access("/dev/loop-control", F_OK) != 0 ||
      Shell("command -v mkfs.ext4") != 0)
    return false;
  TempDir probe;
  const std::string root = platform::Cp1251ToUtf8(probe.Path());
  probe.Sub("m/");
  Disk disk(root + "probe.img", root + "m");
  return disk.Make() && disk.Mount();
}

const std::map<std::string, std::string> kFiles = {
    {"pay1.txt", "payment one"},
    {"pay2.txt", std::string(70000, 'p')},
    {"pay3.txt", "payment three"},
};

struct Layout {
  std::string sys, data;  // mount points
  std::string in() const { return data + "in/"; }
  std::string out() const { return data + "out/"; }
};

// The exchange: one group from in to out through a do-nothing step.
void Pass(const Layout& at) {
  ScopedTempPath temp(at.data + "tmp/");
  SetLogFilePath(at.sys + "run.log");
  TTesselGroups registry{TStepKinds::NoneOnly()};
  TTesselActionList* group = registry.AddGroup("Out");
  group->Enabled = true;
  group->SourceMask = at.in() + "*.txt";
  group->DestFolder = at.out();
  group->BadFolder = at.data + "bad/";
  group->CreateAction(kKindNone)->Enabled = true;
  registry.RunAllGroups();
  SetLogFilePath("");
}

// Returns whether the run met its kill point.
bool RoundCutAt(const TempDir& dir, int killAt) {
  SCOPED_TRACE("cut at operation " + std::to_string(killAt));
  const std::string root = platform::Cp1251ToUtf8(dir.Path());
  Layout live{dir.Sub("sys/"), dir.Sub("data/")};
  Disk sys(root + "sys.img", root + "sys"), data(root + "data.img", root + "data");
  if (!sys.Make() || !data.Make() || !sys.Mount() || !data.Mount()) {
    ADD_FAILURE() << "cannot make the disks";
    return false;
  }
  for (const char* sub : {"in/", "out/", "bad/", "tmp/"}) dir.Sub(std::string("data/") + sub);
  for (const auto& [name, bytes] : kFiles) WriteFile(live.in() + name, bytes);
  ::sync();

  const pid_t child = ::fork();
  if (child == 0) {
    int count = 0;
    ScopedFault cut([&](std::string_view, const std::string&) {
      if (++count == killAt) {
        // The power goes: the disks hold what has been flushed to them.
        sys.CopyTo(root + "sys-cut.img");
        data.CopyTo(root + "data-cut.img");
        ::raise(SIGKILL);
      }
      return 0;
    });
    Pass(live);
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  const bool cut = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  sys.Unmount();
  data.Unmount();
  if (!cut) return false;

  // The machine comes back with the same disks at the same places.
  const Layout& after = live;
  Disk sysAfter(root + "sys-cut.img", root + "sys");
  Disk dataAfter(root + "data-cut.img", root + "data");
  if (!sysAfter.Mount() || !dataAfter.Mount()) {
    ADD_FAILURE() << "cannot mount the disks as the cut left them";
    return true;
  }
  std::set<std::string> survived;  // delivered before the cut
  for (const std::string& name : ListNames(after.out()))
    if (kFiles.count(name) && ReadFile(after.out() + name) == kFiles.at(name))
      survived.insert(name);

  std::map<std::string, int> delivered;
  {
    ScopedFault ledger([&](std::string_view op, const std::string& path) {
      if ((op == "rename" || (op == "link" && !FileExists(path))) &&
          path.rfind(after.out(), 0) == 0 && !platform::IsSideName(path.substr(after.out().size())))
        ++delivered[path.substr(after.out().size())];
      return 0;
    });
    Pass(after);
    Pass(after);
  }
  for (const auto& [name, bytes] : kFiles) {
    EXPECT_EQ(ReadFile(after.out() + name), bytes) << name;  // nothing lost
    if (survived.count(name)) {
      EXPECT_EQ(delivered[name], 0) << name << " was on the disk and was delivered again";
    }
  }
  EXPECT_TRUE(ListNames(after.in()).empty());
  EXPECT_TRUE(ListNames(after.data + "bad/").empty());
  return true;
}

TEST(PowerCut, EveryFileIsDeliveredExactlyOnce) {
  if (!CanMount()) GTEST_SKIP() << "needs root, loop devices, mkfs.ext4 and leave to mount";
  int killAt = 1;
  for (; killAt < 200; ++killAt) {
    TempDir dir;
    if (!RoundCutAt(dir, killAt) || ::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(killAt, 20);  // the pass's operations were all reached
}

}  // namespace
