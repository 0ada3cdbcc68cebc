// Signing, checking and removing stacked signatures through the C interface.
#include <cstdio>
#include <cstring>

#include "LibraryFixture.h"

namespace orlak_test {
namespace {

using testing_support::FileExists;
using testing_support::ReadFile;
using testing_support::WriteFile;

class SignTest : public LibraryTest {
 protected:
  // Signs in with each key in turn, returning the file after each signature.
  std::vector<std::string> SignChain(const std::string& content,
                                     const std::vector<std::string>& keys) {
    std::vector<std::string> stages{content};
    std::string current = Path("stage0");
    WriteFile(current, content);
    for (size_t i = 0; i < keys.size(); ++i) {
      std::string next = Path("stage" + std::to_string(i + 1));
      EXPECT_EQ(SignFile(current.c_str(), next.c_str(), keys[i].c_str()), 0) << keys[i];
      stages.push_back(ReadFile(next));
      current = next;
    }
    return stages;
  }
};

TEST_F(SignTest, SignedFileKeepsContentAndReportsTheSigner) {
  const std::string content = RandomText(5000);
  auto stages = SignChain(content, {"alice"});
  ASSERT_EQ(stages[1].size(), content.size() + kRecord);
  EXPECT_EQ(stages[1].substr(0, content.size()), content);
  CheckResult result = Check(Path("stage1"));
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.ids, (std::vector<std::string>{"alice"}));
  EXPECT_TRUE(result.AllValid());
}

TEST_F(SignTest, StackedSignaturesComeOffOneByOneBackToTheOriginalBytes) {
  const std::string content = RandomText(3000);
  auto stages = SignChain(content, {"alice", "bob", "carol"});
  CheckResult all = Check(Path("stage3"));
  EXPECT_EQ(all.ids, (std::vector<std::string>{"alice", "bob", "carol"}));
  EXPECT_TRUE(all.AllValid());

  const std::string file = Path("stage3");
  for (int left = 2; left >= 0; --left) {
    ASSERT_EQ(DelSign(file.c_str(), 1), 0);
    ASSERT_EQ(ReadFile(file), stages[left]) << left << " signatures left";
    if (left > 0) {
      EXPECT_TRUE(Check(file).AllValid());
    }
  }
  EXPECT_EQ(Check(file).code, 30);  // nothing left to check
}

TEST_F(SignTest, DeleteAllRestoresTheContentAndCountsAreChecked) {
  const std::string content = RandomText(700);
  auto stages = SignChain(content, {"alice", "bob"});
  const std::string file = Path("stage2");
  EXPECT_EQ(DelSign(file.c_str(), 3), 7);  // more than there are: untouched
  EXPECT_EQ(ReadFile(file), stages[2]);
  EXPECT_EQ(DelSign(file.c_str(), 0), 0);
  EXPECT_EQ(ReadFile(file), stages[2]);
  EXPECT_EQ(DelSign(file.c_str(), ORLAK_DELETE_ALL_SIGNATURES), 0);
  EXPECT_EQ(ReadFile(file), content);
  EXPECT_EQ(DelSign(file.c_str(), ORLAK_DELETE_ALL_SIGNATURES), 30);
}

TEST_F(SignTest, EmptyContentCanBeSignedAndUnsigned) {
  auto stages = SignChain("", {"alice", "alice"});
  CheckResult result = Check(Path("stage2"));
  EXPECT_EQ(result.ids, (std::vector<std::string>{"alice", "alice"}));
  EXPECT_TRUE(result.AllValid());
  ASSERT_EQ(DelSign(Path("stage2").c_str(), ORLAK_DELETE_ALL_SIGNATURES), 0);
  EXPECT_EQ(ReadFile(Path("stage2")), "");
}

TEST_F(SignTest, UnsignedEmptyAndMalformedFilesEachHaveTheirCode) {
  WriteFile(Path("empty"), "");
  WriteFile(Path("plain"), RandomText(400));
  WriteFile(Path("tiny"), "abc");
  EXPECT_EQ(Check(Path("empty")).code, 26);
  EXPECT_EQ(Check(Path("plain")).code, 30);
  EXPECT_EQ(Check(Path("tiny")).code, 30);

  auto stages = SignChain(RandomText(300), {"alice", "bob"});
  const std::string& signedFile = stages[2];
  // A record whose position does not match the trailer, a trailer that claims
  // more records than the file holds, and a non-zero reserved byte.
  const size_t last = signedFile.size() - kRecord;
  WriteFile(Path("bad-index"), Flipped(signedFile, last + 1, 0x04));
  WriteFile(Path("bad-reserved"), Flipped(signedFile, last + 90));
  WriteFile(Path("records-only"), signedFile.substr(signedFile.size() - kRecord));
  // The older record claims another content length than the newer one.
  WriteFile(Path("lengths-differ"), Flipped(signedFile, 300 + 16 + 2));
  for (const char* name : {"bad-index", "bad-reserved", "records-only", "lengths-differ"}) {
    EXPECT_EQ(Check(Path(name)).code, 42) << name;
    EXPECT_EQ(DelSign(Path(name).c_str(), 1), 42) << name;
    EXPECT_EQ(SignFile(Path(name).c_str(), Path("out").c_str(), "alice"), 42) << name;
    EXPECT_FALSE(FileExists(Path("out")));
  }
  EXPECT_EQ(DelSign(Path("empty").c_str(), 1), 26);
}

TEST_F(SignTest, MissingOrChangedPublicKeysGiveTheirStatus) {
  MakeKey(secret_, public_, "erin");
  auto stages = SignChain(RandomText(100), {"alice", "erin", "bob"});
  // erin's public key goes away; bob's is replaced by another key of that name.
  std::remove((public_ + "erin.pub").c_str());
  testing_support::TempDir other;
  MakeKey(other.Sub("s/"), other.Sub("p/"), "bob");
  WriteFile(public_ + "bob.pub", ReadFile(other.Path() + "p/bob.pub"));
  CheckResult result = Check(Path("stage3"));
  EXPECT_EQ(result.code, 0);
  EXPECT_EQ(result.ids, (std::vector<std::string>{"alice", "erin", "bob"}));
  EXPECT_EQ(result.statuses, (std::vector<int>{0, 2, 1}));
}

TEST_F(SignTest, SigningFailuresLeaveNoOutput) {
  WriteFile(Path("in"), "payload");
  EXPECT_EQ(SignFile(Path("in").c_str(), Path("out").c_str(), "nobody"), 6);
  EXPECT_EQ(SignFile(Path("in").c_str(), Path("out").c_str(), "bad/name"), 7);
  EXPECT_EQ(SignFile(Path("in").c_str(), Path("out").c_str(), ""), 7);
  EXPECT_EQ(SignFile(Path("missing").c_str(), Path("out").c_str(), "alice"), 21);
  EXPECT_EQ(SignFile(Path("in").c_str(), (dir_.Path() + "no-folder/out").c_str(), "alice"), 22);
  EXPECT_EQ(SignFile(Path("").c_str(), Path("out").c_str(), "alice"), 21);  // a folder
  EXPECT_FALSE(FileExists(Path("out")));
  EXPECT_EQ(Leftovers(dir_.Path(), {"in", "public", "secret"}), std::vector<std::string>{});
}

TEST_F(SignTest, SigningInPlaceReplacesTheFile) {
  const std::string content = RandomText(64 * 1024 + 3);
  WriteFile(Path("file"), content);
  ASSERT_EQ(SignFile(Path("file").c_str(), Path("file").c_str(), "alice"), 0);
  ASSERT_EQ(SignFile(Path("file").c_str(), Path("file").c_str(), "bob"), 0);
  EXPECT_TRUE(Check(Path("file")).AllValid());
  ASSERT_EQ(DelSign(Path("file").c_str(), ORLAK_DELETE_ALL_SIGNATURES), 0);
  EXPECT_EQ(ReadFile(Path("file")), content);
}

TEST_F(SignTest, AFileHoldsAtMost255Signatures) {
  WriteFile(Path("file"), "x");
  for (int i = 0; i < 255; ++i)
    ASSERT_EQ(SignFile(Path("file").c_str(), Path("file").c_str(), "alice"), 0) << i;
  const std::string full = ReadFile(Path("file"));
  EXPECT_EQ(SignFile(Path("file").c_str(), Path("more").c_str(), "alice"), 38);
  EXPECT_FALSE(FileExists(Path("more")));
  CheckResult result = Check(Path("file"));
  EXPECT_EQ(result.statuses.size(), 255u);
  EXPECT_TRUE(result.AllValid());
  EXPECT_EQ(DelSign(Path("file").c_str(), 255), 0);
  EXPECT_EQ(ReadFile(Path("file")), "x");
}

TEST_F(SignTest, SeparateSignatureFileCoversTheWholeDataFile) {
  const std::string content = RandomText(2000);
  auto stages = SignChain(content, {"alice", "bob"});
  WriteFile(Path("data"), content);
  WriteFile(Path("data.sig"), stages[2].substr(content.size()));
  std::string sig = Path("data.sig");
  CheckResult result = Check(Path("data"), &sig);
  EXPECT_EQ(result.ids, (std::vector<std::string>{"alice", "bob"}));
  EXPECT_TRUE(result.AllValid());

  WriteFile(Path("changed"), Flipped(content, 1000));
  WriteFile(Path("longer"), content + "!");
  for (const char* name : {"changed", "longer"}) {
    result = Check(Path(name), &sig);
    EXPECT_EQ(result.code, 0) << name;
    EXPECT_EQ(result.statuses, (std::vector<int>{1, 1})) << name;
  }
  WriteFile(Path("empty.sig"), "");
  WriteFile(Path("plain.sig"), RandomText(500));
  WriteFile(Path("whole.sig"), stages[2]);  // a signed file is not a signature file
  const std::string emptySig = Path("empty.sig"), plainSig = Path("plain.sig"),
                    wholeSig = Path("whole.sig"), noSig = Path("none.sig");
  EXPECT_EQ(Check(Path("data"), &emptySig).code, 26);
  EXPECT_EQ(Check(Path("data"), &plainSig).code, 30);
  EXPECT_EQ(Check(Path("data"), &wholeSig).code, 42);
  EXPECT_EQ(Check(Path("data"), &noSig).code, 21);
}

TEST_F(SignTest, CyrillicFoldersIdentifiersAndFileNames) {
  const std::string secret = dir_.Sub("Ключи секретные/"), pub = dir_.Sub("Ключи открытые/");
  const std::string id = "ИвановПетр13я";  // 13 Windows-1251 bytes
  ASSERT_EQ(id.size(), 13u);
  MakeKey(secret, pub, id);
  ASSERT_EQ(SignInit(secret.c_str(), pub.c_str()), 0);
  const std::string in = dir_.Sub("Платёжки/счёт №1.txt"), out = dir_.Sub("Платёжки/подписан.txt");
  WriteFile(in, "сумма 100");
  ASSERT_EQ(SignFile(in.c_str(), out.c_str(), id.c_str()), 0);
  CheckResult result = Check(out);
  EXPECT_EQ(result.ids, std::vector<std::string>{id});
  EXPECT_TRUE(result.AllValid());
  ASSERT_EQ(DelSign(out.c_str(), 1), 0);
  EXPECT_EQ(ReadFile(out), "сумма 100");
}

}  // namespace
}  // namespace orlak_test
