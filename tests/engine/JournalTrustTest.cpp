// A delivery journal is acted on only when this user alone could have
// written it and it names only what a pass of this script can have made.
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Cp1251.h"
#include "platform/Files.h"
#include "tests/engine/PassFixture.h"

using namespace testing_support;

namespace {

std::string Field(const std::string& text) {
  return std::to_string(text.size()) + ":" + text + " ";
}

// A finished delivery of `source` (as it is now) to `target` (as it is now),
// the record a killed pass leaves when its source was not yet deleted.
std::string DeliveryRecord(const std::string& source, const std::string& target) {
  platform::FileStat s, t;
  EXPECT_EQ(platform::StatPath(source, s), 0);
  EXPECT_EQ(platform::StatPath(target, t), 0);
  return Field("D") + Field(source) + Field(std::to_string(s.device)) +
         Field(std::to_string(s.inode)) + Field(std::to_string(s.size)) +
         Field(std::to_string(s.mtimeNs)) + Field(target) + Field(std::to_string(t.device)) +
         Field(std::to_string(t.inode)) + "\n";
}

class JournalTrust : public PassTest {
 protected:
  std::string journal = dir.Path() + "pass.journal";
  std::string elsewhere = dir.Sub("elsewhere/");

  void PutJournal(const std::string& path, const std::string& bytes, mode_t mode) {
    WriteFile(path, bytes);
    ASSERT_EQ(::chmod(platform::Cp1251ToUtf8(path).c_str(), mode), 0);
  }
  std::vector<std::string> FailureLines(const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : log.Fields())
      if (line.rfind(prefix, 0) == 0) found.push_back(line);
    return found;
  }
};

TEST_F(JournalTrust, AFinishedDeliveryOfOurOwnJournalIsCompleted) {
  WriteFile(in + "a.txt", "paid");
  WriteFile(out + "a.txt", "paid");
  PutJournal(journal, DeliveryRecord(in + "a.txt", out + "a.txt"), 0600);
  registry.RunAllGroups();
  EXPECT_FALSE(FileExists(in + "a.txt"));
  EXPECT_EQ(ReadFile(out + "a.txt"), "paid");
  EXPECT_EQ(FailureLines("Журнал доставки").size(), 0u);
}

TEST_F(JournalTrust, AJournalOthersCouldWriteIsSetAsideAndTouchesNothing) {
  for (mode_t mode : {0644, 0620, 0602}) {
    WriteFile(in + "a.txt", "victim");
    WriteFile(out + "a.txt", "any");
    PutJournal(journal, DeliveryRecord(in + "a.txt", out + "a.txt"), mode);
    registry.RunAllGroups();
    // The record was never acted on: the source was delivered anew.
    EXPECT_EQ(ReadFile(out + "a.txt"), "victim") << mode;
    EXPECT_TRUE(FileExists(journal + ".untrusted")) << mode;
    ASSERT_EQ(::unlink(platform::Cp1251ToUtf8(journal + ".untrusted").c_str()), 0);
  }
  EXPECT_EQ(FailureLines("Журнал доставки не принят и отложен").size(), 3u);
}

TEST_F(JournalTrust, ALinkOrARecordOutsideTheScriptsFoldersDeletesNothing) {
  WriteFile(elsewhere + "precious.txt", "keep me");
  WriteFile(out + "precious.txt", "any");
  WriteFile(in + "a.txt", "mine");
  WriteFile(out + "a.txt", "mine");
  WriteFile(bad + "other.txt", "any");
  const std::string outside = DeliveryRecord(elsewhere + "precious.txt", out + "precious.txt");
  const std::string inside = DeliveryRecord(in + "a.txt", out + "a.txt");
  // Each planted journal is private and ours; only its records lie.
  const std::vector<std::string> planted = {
      outside,
      inside + outside,  // one bad record spoils the whole journal
      DeliveryRecord(in + "a.txt", bad + "other.txt"),
  };
  for (const std::string& bytes : planted) {
    PutJournal(journal, bytes, 0600);
    group->Enabled = false;  // the replay alone
    registry.RunAllGroups();
    EXPECT_EQ(ReadFile(elsewhere + "precious.txt"), "keep me");
    EXPECT_EQ(ReadFile(in + "a.txt"), "mine");
    EXPECT_TRUE(FileExists(journal + ".untrusted"));
    EXPECT_FALSE(FileExists(journal));
  }
  // A link to a journal that would be trusted is not followed.
  PutJournal(elsewhere + "real.journal", inside, 0600);
  ASSERT_EQ(::symlink(platform::Cp1251ToUtf8(elsewhere + "real.journal").c_str(),
                      platform::Cp1251ToUtf8(journal).c_str()),
            0);
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(in + "a.txt"), "mine");
  EXPECT_EQ(ReadFile(elsewhere + "real.journal"), inside);
  EXPECT_EQ(FailureLines("Журнал доставки не принят и отложен").size(), 4u);
}

TEST_F(JournalTrust, ARecordIsNeverAppendedToAFilePlantedDuringThePass) {
  WriteFile(in + "a.txt", "x");
  auto* step = new THookStep([&](const std::string&) { PutJournal(journal, "planted", 0666); });
  step->Enabled = true;
  group->AddAction(step);
  registry.RunAllGroups();
  EXPECT_EQ(ReadFile(out + "a.txt"), "x");
  EXPECT_FALSE(FileExists(in + "a.txt"));
  EXPECT_EQ(ReadFile(journal + ".untrusted"), "planted");
  platform::FileStat own;
  ASSERT_EQ(platform::LinkStat(journal, own), 0);
  EXPECT_EQ(own.mode & 077, 0u);
}

}  // namespace
