// Signature records written now are bound to their place: moved, copied or
// edited records are refused as a malformed trailer (42), and what slips
// past the trailer's own checks never reads as a valid signature.
#include <algorithm>
#include <numeric>

#include "LibraryFixture.h"
#include "SignFormat.h"

namespace orlak_test {
namespace {

using testing_support::ReadFile;
using testing_support::WriteFile;

constexpr size_t kPositionAt = 1;
constexpr size_t kLinkAt = 88;

class SignBindingTest : public LibraryTest {
 protected:
  void SetUp() override {
    LibraryTest::SetUp();
    content_ = RandomText(777);
    WriteFile(Path("signed"), content_);
    for (const char* id : {"alice", "bob", "carol"})
      ASSERT_EQ(SignFile(Path("signed").c_str(), Path("signed").c_str(), id), 0) << id;
    const std::string file = ReadFile(Path("signed"));
    for (size_t i = 0; i < 3; ++i)
      records_.push_back(file.substr(content_.size() + i * kRecord, kRecord));
    ASSERT_TRUE(Check(Path("signed")).AllValid());
  }
  CheckResult CheckRecords(const std::vector<std::string>& records) {
    std::string file = content_;
    for (const std::string& record : records) file += record;
    WriteFile(Path("changed"), file);
    return Check(Path("changed"));
  }
  // Positions numbered as the records now stand.
  static std::vector<std::string> Renumbered(std::vector<std::string> records) {
    for (size_t i = 0; i < records.size(); ++i) records[i][kPositionAt] = static_cast<char>(i + 1);
    return records;
  }
  // Positions and links made to match the records in front, as anyone can.
  static std::vector<std::string> Relinked(std::vector<std::string> records) {
    records = Renumbered(records);
    orlak::SignChain chain;
    for (std::string& record : records) {
      unsigned char digest[orlak::kChainSize];
      chain.Digest(digest);
      std::copy(digest, digest + orlak::kLinkSize, record.begin() + kLinkAt);
      chain.Add(reinterpret_cast<const unsigned char*>(record.data()));
    }
    return records;
  }

  std::string content_;
  std::vector<std::string> records_;
};

TEST_F(SignBindingTest, ACopyOfARecordWithAnotherPositionIsRefused) {
  // The content, one genuine record and its copy numbered 2.
  std::string copy = records_[0];
  copy[kPositionAt] = 2;
  EXPECT_EQ(CheckRecords({records_[0], copy}).code, 42);
  EXPECT_EQ(CheckRecords(Relinked({records_[0], records_[0]})).code, 42);
}

TEST_F(SignBindingTest, EveryReorderingIsRefused) {
  std::vector<size_t> order(3);
  std::iota(order.begin(), order.end(), 0);
  while (std::next_permutation(order.begin(), order.end())) {
    std::vector<std::string> moved;
    for (size_t i : order) moved.push_back(records_[i]);
    SCOPED_TRACE(std::to_string(order[0]) + std::to_string(order[1]) + std::to_string(order[2]));
    EXPECT_EQ(CheckRecords(moved).code, 42);
    EXPECT_EQ(CheckRecords(Renumbered(moved)).code, 42);
    // Links rewritten as well pass the trailer's checks, but a record holds
    // only with its own place and the records in front unchanged.
    CheckResult relinked = CheckRecords(Relinked(moved));
    ASSERT_EQ(relinked.code, 0);
    bool prefixKept = true;
    for (size_t i = 0; i < 3; ++i) {
      prefixKept = prefixKept && order[i] == i;
      EXPECT_EQ(relinked.statuses[i], prefixKept ? 0 : 1) << "position " << i + 1;
    }
  }
}

TEST_F(SignBindingTest, EveryDuplicationIsRefused) {
  for (size_t copied = 0; copied < 3; ++copied) {
    for (size_t at = 0; at <= 3; ++at) {
      SCOPED_TRACE("record " + std::to_string(copied + 1) + " again at " + std::to_string(at + 1));
      std::vector<std::string> records = records_;
      records.insert(records.begin() + static_cast<long>(at), records_[copied]);
      EXPECT_EQ(CheckRecords(records).code, 42);
      EXPECT_EQ(CheckRecords(Renumbered(records)).code, 42);
      EXPECT_EQ(CheckRecords(Relinked(records)).code, 42);
    }
  }
}

TEST_F(SignBindingTest, EveryPositionEditAndEveryLinkEditIsRefused) {
  for (size_t r = 0; r < 3; ++r) {
    for (int value = 0; value < 256; ++value) {
      if (value == static_cast<int>(r + 1)) continue;
      std::vector<std::string> records = records_;
      records[r][kPositionAt] = static_cast<char>(value);
      EXPECT_EQ(CheckRecords(records).code, 42) << "record " << r + 1 << " position " << value;
    }
    for (size_t at = kLinkAt; at < kLinkAt + orlak::kLinkSize; ++at) {
      std::vector<std::string> records = records_;
      records[r] = Flipped(records[r], at);
      EXPECT_EQ(CheckRecords(records).code, 42) << "record " << r + 1 << " byte " << at;
    }
  }
}

TEST_F(SignBindingTest, RemovingOrInsertingInTheMiddleIsRefused) {
  EXPECT_EQ(CheckRecords(Renumbered({records_[0], records_[2]})).code, 42);
  EXPECT_EQ(CheckRecords(Renumbered({records_[1], records_[2]})).code, 42);
  // A record of another file by the same signer, put in between.
  WriteFile(Path("other"), RandomText(777));
  ASSERT_EQ(SignFile(Path("other").c_str(), Path("other").c_str(), "bob"), 0);
  const std::string foreign = ReadFile(Path("other")).substr(777);
  EXPECT_EQ(CheckRecords(Renumbered({records_[0], foreign, records_[1], records_[2]})).code, 42);
  CheckResult relinked = CheckRecords(Relinked({records_[0], foreign, records_[1], records_[2]}));
  EXPECT_EQ(relinked.statuses, (std::vector<int>{0, 1, 1, 1}));
  // Taking records off the end is what DelSign does: the rest stays valid.
  EXPECT_TRUE(CheckRecords({records_[0], records_[1]}).AllValid());
}

TEST_F(SignBindingTest, ASeparateSignatureFileIsBoundTheSameWay) {
  WriteFile(Path("data"), content_);
  const std::string sig = Path("data.sig");
  WriteFile(sig, records_[0] + records_[1] + records_[2]);
  EXPECT_TRUE(Check(Path("data"), &sig).AllValid());
  WriteFile(sig, records_[1] + records_[0] + records_[2]);
  EXPECT_EQ(Check(Path("data"), &sig).code, 42);
  const std::vector<std::string> doubled = Relinked({records_[0], records_[0]});
  WriteFile(sig, doubled[0] + doubled[1]);
  EXPECT_EQ(Check(Path("data"), &sig).code, 42);
}

}  // namespace
}  // namespace orlak_test
