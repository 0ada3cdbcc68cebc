// The pass's counts, its stop request and progress hook, and the mask listing
// that touches nothing.
#include <sys/stat.h>

#include "engine/MaskListing.h"
#include "platform/Cp1251.h"
#include "platform/Files.h"
#include "tests/engine/PassFixture.h"

using namespace testing_support;

namespace {

TEST_F(PassTest, CountsTellDeliveredBadAndLeftFiles) {
  WriteFile(in + "good.txt", "g");
  WriteFile(in + "fails.txt", "f");
  WriteFile(in + "locked.txt", "l");
  AddStep("s")->FailOn = {"fails.txt"};
  ScopedFault unreadable([&](std::string_view op, const std::string& path) {
    return op == "copy" && path.find("/locked.txt") != std::string::npos && path.rfind(tmp, 0) == 0
               ? EACCES
               : 0;
  });
  registry.RunAllGroups();
  const TPassCounts& c = group->Run().LastPass;
  EXPECT_EQ(c.Found, 3);
  EXPECT_EQ(c.Taken, 2);
  EXPECT_EQ(c.Delivered, 1);
  EXPECT_EQ(c.Bad, 1);
  EXPECT_EQ(c.Left, 1);
  EXPECT_FALSE(c.SourceMissing);
  EXPECT_NE(c.EndTime, 0);
}

TEST_F(PassTest, MissingSourceFolderIsToldOnlyThroughTheCounts) {
  group->SourceMask = dir.Path() + "nowhere/*.txt";
  registry.RunAllGroups();
  EXPECT_TRUE(group->Run().LastPass.SourceMissing);
  EXPECT_EQ(group->Run().LastPass.Found, 0);
  EXPECT_TRUE(log.Fields().empty());
}

TEST_F(PassTest, StopAfterTheFileInHandLeavesTheRestInTheSource) {
  for (const char* name : {"1.txt", "2.txt", "3.txt"}) WriteFile(in + name, name);
  std::vector<std::pair<int, int>> progress;
  registry.OnFileStart = [&](int g, int file, int files) {
    EXPECT_EQ(g, 0);
    progress.emplace_back(file, files);
    if (file == 2) registry.RequestStop();  // as "Стоп" or a signal would, mid-file
  };
  TTesselActionList* second = registry.AddGroup("Second");
  second->Enabled = true;
  second->SourceMask = in + "*.txt";
  second->DestFolder = out;
  registry.RunAllGroups();
  EXPECT_EQ(progress, (std::vector<std::pair<int, int>>{{1, 3}, {2, 3}}));
  EXPECT_EQ(ListNames(out).size(), 2u);
  EXPECT_EQ(ListNames(in).size(), 1u);
  EXPECT_EQ(group->Run().LastPass.Left, 1);
  EXPECT_EQ(second->Run().LastPass.EndTime, 0);  // the later group never ran
  EXPECT_TRUE(ListNames(tmp).empty());

  // A stop stays until cleared: a pass begun meanwhile does nothing.
  registry.RunAllGroups();
  EXPECT_EQ(ListNames(in).size(), 1u);
  registry.ClearStop();
  registry.RunAllGroups();
  EXPECT_TRUE(ListNames(in).empty());
}

TEST_F(PassTest, MaskListingTellsTakenAndExcludedNamesAndTouchesNothing) {
  group->SourceMask = in + "*.txt | ~*";
  WriteFile(in + "a.txt", "a");
  WriteFile(in + "~draft.txt", "d");
  WriteFile(in + "notes.doc", "n");
  ASSERT_EQ(::mkdir((platform::Cp1251ToUtf8(in) + "sub.txt").c_str(), 0700), 0);
  platform::FileStat before;
  ASSERT_EQ(platform::StatPath(in + "a.txt", before), 0);

  const TMaskListing listing = ListMaskSelection(*group);
  EXPECT_TRUE(listing.FolderFound);
  EXPECT_EQ(listing.Folder, in);
  EXPECT_EQ(listing.Taken, std::vector<std::string>{"a.txt"});
  EXPECT_EQ(listing.Excluded, std::vector<std::string>{"~draft.txt"});
  platform::FileStat after;
  ASSERT_EQ(platform::StatPath(in + "a.txt", after), 0);
  EXPECT_EQ(after.mtimeNs, before.mtimeNs);
  EXPECT_EQ(ListNames(in).size(), 4u);
  EXPECT_TRUE(ListNames(tmp).empty());
  EXPECT_FALSE(FileExists(log.Path()));

  group->SourceMask = dir.Path() + "nowhere/*";
  EXPECT_FALSE(ListMaskSelection(*group).FolderFound);
}

}  // namespace
