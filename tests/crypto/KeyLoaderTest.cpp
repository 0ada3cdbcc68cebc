// The key cache against the library stand-in, which counts extractions and
// can fail them on demand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "crypto/Orlak.h"
#include "crypto/StepKinds.h"
#include "crypto/TKeyLoader.h"
#include "engine/uTesselTypes.h"
#include "tests/crypto/OrlakDouble.h"
#include "tests/support/TestSupport.h"

namespace {

namespace od = orlak_double;
namespace ts = testing_support;
using Lines = std::vector<std::string>;

const std::string kFull = "Слишком много ключей в памяти (100)";

class KeyLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    od::Reset();
    owner.PubKeysPath = "/keys/public";
  }
  void TearDown() override { od::Reset(); }

  // Fills the remaining slots with K<slot>.
  void Fill() {
    while (cache.KeyCount < TKeyLoader::MaxKeys) {
      const int slot = cache.KeyCount;
      ASSERT_EQ(cache.AddKey("K" + std::to_string(slot)), slot);
    }
  }

  ts::TempDir dir;
  ts::ScopedLogFile log{dir.Path() + "test.log"};
  TTesselGroups owner{TStepKinds::NoneOnly()};
  TKeyLoader cache{&owner};
};

TEST_F(KeyLoaderTest, ExtractsOnFirstUseOnly) {
  const void* first = cache.GetKey("A");
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(cache.GetKey("A"), first);
  EXPECT_EQ(od::State().ExtractCalls, 1);
  EXPECT_EQ(od::State().Calls.at(0).Args, (Lines{"/keys/public", "A"}));
  EXPECT_EQ(log.Fields(), Lines{"ExtractKey:\tA\t" + ResultMessage(0)});
  // The block is what the library wrote into it.
  const auto* bytes = static_cast<const uint8_t*>(first);
  EXPECT_EQ(bytes[0], od::State().FillByte);
  EXPECT_EQ(bytes[TKeyLoader::KeyBlockSize - 1], od::State().FillByte);
}

TEST_F(KeyLoaderTest, ListNamingOneKeyTwice) {
  TKeyBlockList list = cache.GetKeyList("A;A");
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Blocks[0], list.Blocks[1]);
  EXPECT_EQ(list.SizeInBytes(), 2 * sizeof(void*));
  EXPECT_EQ(od::State().ExtractCalls, 1);
  EXPECT_EQ(log.Fields().size(), 1u);
}

TEST_F(KeyLoaderTest, LetterCaseMakesTwoEntries) {
  EXPECT_NE(cache.GetKey("key"), cache.GetKey("KEY"));
  EXPECT_EQ(cache.KeyCount, 2);
  EXPECT_EQ(od::State().ExtractCalls, 2);
}

TEST_F(KeyLoaderTest, AFailedExtractionIsNotKeptAndIsAskedForAgain) {
  od::State().ExtractCode = 6;
  uint16_t code = 0;
  EXPECT_EQ(cache.GetKey("Missing", nullptr, &code), nullptr);
  EXPECT_EQ(code, 6);
  EXPECT_EQ(cache.KeyCount, 0);

  od::State().ExtractCode = 0;  // the key has been put in place meanwhile
  const void* block = cache.GetKey("Missing", nullptr, &code);
  EXPECT_NE(block, nullptr);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(cache.GetKey("Missing"), block);
  EXPECT_EQ(od::State().ExtractCalls, 2);
  EXPECT_EQ(log.Fields(), (Lines{"ExtractKey:\tMissing\t" + ResultMessage(6),
                                 "ExtractKey:\tMissing\t" + ResultMessage(0)}));
}

TEST_F(KeyLoaderTest, EmptyTextGivesAnEmptyArray) {
  for (const char* text : {"", "  \t "}) {
    TKeyBlockList list = cache.GetKeyList(text);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.SizeInBytes(), 0u);
  }
  EXPECT_EQ(od::State().ExtractCalls, 0);
}

TEST_F(KeyLoaderTest, EmptyIdentifierIsExtractedLikeAnyOther) {
  TKeyBlockList list = cache.GetKeyList(";");
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.Blocks[0], list.Blocks[1]);
  EXPECT_EQ(od::State().Calls.at(0).Args, (Lines{"/keys/public", ""}));
  EXPECT_EQ(log.Fields(), Lines{"ExtractKey:\t\t" + ResultMessage(0)});
}

TEST_F(KeyLoaderTest, FolderIsReadAtEachExtraction) {
  cache.GetKey("A");
  owner.PubKeysPath = "/elsewhere";
  EXPECT_EQ(cache.KeysFolder(), "/elsewhere");
  cache.GetKey("B");
  cache.GetKey("A");  // stays the block from the first folder
  ASSERT_EQ(od::State().ExtractCalls, 2);
  EXPECT_EQ(od::State().Calls.at(1).Args, (Lines{"/elsewhere", "B"}));
}

TEST_F(KeyLoaderTest, FindKeySearchesExactBytes) {
  cache.GetKey("A");
  cache.GetKey("B");
  EXPECT_EQ(cache.FindKey("A"), 0);
  EXPECT_EQ(cache.FindKey("B"), 1);
  EXPECT_EQ(cache.FindKey("a"), -1);
  EXPECT_EQ(cache.FindKey("A "), -1);
  EXPECT_EQ(cache.FindKey(""), -1);
}

TEST_F(KeyLoaderTest, FullCache) {
  Fill();
  const void* k5 = cache.Blocks[5].get();
  const void* k99 = cache.Blocks[99].get();
  const size_t linesBefore = log.Fields().size();

  EXPECT_EQ(cache.AddKey("New"), -1);
  EXPECT_EQ(cache.GetKey("New"), nullptr);
  TKeyBlockList list = cache.GetKeyList("K5 New K99");
  ASSERT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Blocks[0], k5);
  EXPECT_EQ(list.Blocks[1], nullptr);
  EXPECT_EQ(list.Blocks[2], k99);

  EXPECT_EQ(cache.KeyCount, 100);
  EXPECT_EQ(cache.FindKey("New"), -1);
  EXPECT_EQ(od::State().ExtractCalls, 100);
  const Lines lines = log.Fields();
  ASSERT_EQ(lines.size(), linesBefore + 3);
  for (size_t i = linesBefore; i < lines.size(); ++i) EXPECT_EQ(lines[i], "ExtractKey:\t" + kFull);
}

TEST_F(KeyLoaderTest, BlocksStayPutAsTheCacheGrows) {
  const void* a = cache.GetKey("A");
  Fill();  // 99 more after A
  EXPECT_EQ(cache.GetKey("One too many"), nullptr);
  EXPECT_EQ(cache.GetKey("A"), a);
  EXPECT_EQ(cache.Blocks[0].get(), a);
}

TEST(KeyLoaderOwnership, RegistryCreatesItsOwnCache) {
  TTesselGroups registry{CryptoStepKinds()};
  ASSERT_NE(registry.KeyLoader, nullptr);
  EXPECT_EQ(registry.KeyLoader->Owner, &registry);
  EXPECT_EQ(registry.KeyLoader->KeyCount, 0);
  TTesselGroups other{CryptoStepKinds()};
  EXPECT_NE(other.KeyLoader, registry.KeyLoader);
}

}  // namespace
