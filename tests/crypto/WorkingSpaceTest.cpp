// A temp file system that another program fills while a file is on its road:
// the library cannot write its result, and the good file must wait in its
// source folder, not go to the bad-files folder. Needs root to mount a small
// tmpfs; skipped elsewhere.
#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>

#include "crypto/CryptoActions.h"
#include "platform/Cp1251.h"
#include "tests/crypto/RealLibrary.h"

namespace {

namespace ts = testing_support;

// The first step: fills the temp file system as another program would,
// leaving less than the signed file needs.
class TFiller : public TTesselAction {
 public:
  std::string path;
  bool Run(const TStepContext& context, const std::string& in, std::string& out) override {
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
      const std::string block(1 << 20, 'f');
      while (std::fwrite(block.data(), 1, block.size(), file) == block.size()) {
      }
      std::fclose(file);
    }
    out = in;
    return TTesselAction::Run(context, in, out);
  }
  std::string GetCaption() const override { return "filler"; }
  std::string GetParamText() const override { return ""; }
  uint8_t GetKind() const override { return kKindNone; }
};

class WorkingSpace : public real_library::RealLibraryTest {};

TEST_F(WorkingSpace, ATempFolderFilledDuringAStepLeavesTheFileForALaterPass) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to mount a tmpfs";
  const std::string small = dir.Sub("small/");
  const std::string native = platform::Cp1251ToUtf8(small);
  if (::mount("tmpfs", native.c_str(), "tmpfs", 0, "size=96m,mode=0700") != 0)
    GTEST_SKIP() << "cannot mount a tmpfs here";
  struct Unmount {
    std::string at;
    ~Unmount() { ::umount2(at.c_str(), MNT_DETACH); }
  } unmount{native};
  dir.Sub("small/tmp/");
  ts::ScopedTempPath temp(small + "tmp/");

  const std::string in = dir.Sub("in/"), out = dir.Sub("out/"), bad = dir.Sub("bad/");
  const std::string payment(24 << 20, 'p');
  ts::WriteFile(in + "big.txt", payment);
  TTesselActionList* group = ScriptRegistry->AddGroup("Out");
  group->SourceMask = in + "*.txt";
  group->DestFolder = out;
  group->BadFolder = bad;
  group->Enabled = true;
  auto* filler = new TFiller;
  filler->path = native + "filler";
  filler->Enabled = true;
  group->AddAction(filler);
  auto* sign = dynamic_cast<TTesselAction_sign*>(group->CreateAction(kKindSign));
  sign->KeyId = "A";
  sign->Enabled = true;

  ScriptRegistry->RunAllGroups();
  EXPECT_TRUE(ts::ListNames(bad).empty());
  EXPECT_TRUE(ts::ListNames(out).empty());
  EXPECT_EQ(ts::ReadFile(in + "big.txt"), payment);

  // The other program frees its space: the next pass delivers the file.
  filler->Enabled = false;
  ASSERT_EQ(std::remove(filler->path.c_str()), 0);
  ScriptRegistry->RunAllGroups();
  EXPECT_TRUE(ts::ListNames(bad).empty());
  EXPECT_EQ(ts::ListNames(out), std::vector<std::string>{"big.txt"});
  EXPECT_FALSE(ts::FileExists(in + "big.txt"));
}

}  // namespace
