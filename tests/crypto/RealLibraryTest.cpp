// The report, the key cache and the step kinds against liborlak with keys
// made by marvik.
#include <cerrno>
#include <string>
#include <string_view>
#include <vector>

#include "crypto/SplitKeyList.h"

#include "crypto/CryptoActions.h"
#include "crypto/Orlak.h"
#include "crypto/TKeyLoader.h"
#include "tests/crypto/RealLibrary.h"

namespace {

namespace ts = testing_support;
using Lines = std::vector<std::string>;
using real_library::RealLibraryTest;

const std::string kOriginal = "Платёжное поручение №1\r\n" + std::string(5000, 'x') + "\r\n";
using real_library::kOk;

class StepsOnRealFiles : public RealLibraryTest {
 protected:
  // Runs a step on input with a fresh output path named like the input.
  bool Run(TTesselAction& step, const std::string& input, std::string& output) {
    output = dir.Sub("step" + std::to_string(++steps_) + "/") + "a.txt";
    const std::string before = ts::ReadFile(input);
    const bool ok = step.Execute(input, output, ScriptRegistry->KeyLoader);
    EXPECT_EQ(ts::ReadFile(input), before) << "a step never alters its input";
    return ok;
  }
  Lines Check(const std::string& file, const char* keyList, uint16_t* verdict = nullptr) {
    std::vector<std::string> required = SplitKeyList(keyList);
    Lines report;
    const uint16_t v =
        CheckSignReport(file, "", std::string(keyList).empty() ? nullptr : &required, &report);
    if (verdict) *verdict = v;
    return report;
  }

 private:
  int steps_ = 0;
};

// --- The report -----------------------------------------------------------------

TEST_F(StepsOnRealFiles, EmptyFileGivesTheTwoLinesOfCode26) {
  uint16_t verdict = 0;
  EXPECT_EQ(Check(Put("a.txt", ""), "", &verdict),
            (Lines{"Файл не подписан или искажен", "check_file_sign: " + ResultMessage(26)}));
  EXPECT_EQ(verdict, SignCheckFailed);
}

TEST_F(StepsOnRealFiles, UnsignedFileFailsWithTheLibrarysText) {
  uint16_t verdict = 0;
  EXPECT_EQ(Check(Put("a.txt", kOriginal), "A", &verdict),
            Lines{"check_file_sign: " + ResultMessage(30)});
  EXPECT_EQ(verdict, SignCheckFailed);
}

TEST_F(StepsOnRealFiles, ReportOfSeveralSigners) {
  const std::string file = Put("a.txt", kOriginal);
  SignWith(file, {"A", "B", "A"});
  uint16_t verdict = 1;
  EXPECT_EQ(Check(file, "", &verdict), (Lines{"Число подписей: 3", "ЭЦП A : ЭЦП Верна",
                                              "ЭЦП B : ЭЦП Верна", "ЭЦП A : ЭЦП Верна"}));
  EXPECT_EQ(verdict, 0);
  EXPECT_EQ(Check(file, "A;A", &verdict), (Lines{"Ключ A : ЭЦП Верна", "Ключ A : ЭЦП Верна"}));
  EXPECT_EQ(verdict, 0);
  EXPECT_EQ(Check(file, "B", &verdict), Lines{"Ключ B : ЭЦП Верна"});
  EXPECT_EQ(verdict, 0);
  EXPECT_EQ(Check(file, "A C", &verdict),
            (Lines{"Ключ A : ЭЦП Верна", "Ключ C : ЭЦП на данном ключе не найдена"}));
  EXPECT_EQ(verdict, SignCheckFailed);
  EXPECT_EQ(Check(file, "ABCDEFGHIJKLMN", &verdict),
            Lines{"Ключ ABCDEFGHIJKLMN : ЭЦП на данном ключе не найдена"});
  EXPECT_EQ(verdict, SignCheckFailed);
}

TEST_F(StepsOnRealFiles, TamperedContentAndUnknownSigner) {
  const std::string file = Put("a.txt", kOriginal);
  SignWith(file, {"Gone", "A"});
  uint16_t verdict = 0;
  EXPECT_EQ(
      Check(file, "", &verdict),
      (Lines{"Число подписей: 2", "ЭЦП Gone : Открытый ключ ЭЦП не найден", "ЭЦП A : ЭЦП Верна"}));
  EXPECT_EQ(verdict, SignCheckFailed);
  EXPECT_EQ(Check(file, "A", &verdict), Lines{"Ключ A : ЭЦП Верна"});
  EXPECT_EQ(verdict, 0) << "an unrequired signer is not judged";

  std::string bytes = ts::ReadFile(file);
  bytes[10] ^= 0x01;
  ts::WriteFile(file, bytes);
  EXPECT_EQ(Check(file, "", &verdict),
            (Lines{"Число подписей: 2", "ЭЦП Gone : Открытый ключ ЭЦП не найден",
                   "ЭЦП A : ЭЦП Не верна"}));
  EXPECT_EQ(Check(file, "A", &verdict), Lines{"Ключ A : ЭЦП Не верна"});
  EXPECT_EQ(verdict, SignCheckFailed);
}

// --- The key cache ----------------------------------------------------------------

TEST_F(StepsOnRealFiles, KeyCacheExtractsOnceAndAsksAgainForAKeyItCouldNotGet) {
  // A public folder of this test's own, so a key created late stays here.
  const std::string pub = dir.Sub("pub/");
  ts::WriteFile(pub + "B.pub", ts::ReadFile(real_library::SharedKeys().pub + "B.pub"));
  ScriptRegistry->PubKeysPath = pub;

  TKeyLoader& cache = *ScriptRegistry->KeyLoader;
  uint16_t code = 0;
  TKeyBlockList list = cache.GetKeyList("B;B;b;Late", nullptr, &code);
  ASSERT_EQ(list.Count(), 4);
  EXPECT_EQ(list.Blocks[0], list.Blocks[1]);
  EXPECT_EQ(list.Blocks[2], nullptr) << "letter case makes another key, and there is none";
  EXPECT_EQ(list.Blocks[3], nullptr);
  EXPECT_EQ(code, 117);
  EXPECT_EQ(cache.KeyCount, 1);
  EXPECT_EQ(log.Fields(), (Lines{"ExtractKey:\tB\t" + kOk, "ExtractKey:\tb\t" + ResultMessage(117),
                                 "ExtractKey:\tLate\t" + ResultMessage(117)}));

  // A key added while the script runs is found by the next request; one
  // found is not extracted again.
  ASSERT_TRUE(real_library::RunMarvik({"create", "Late", dir.Sub("late-sec/"), pub}));
  const void* late = cache.GetKey("Late", nullptr, &code);
  ASSERT_NE(late, nullptr);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(cache.GetKeyList("Late B").Blocks, (std::vector<const void*>{late, list.Blocks[0]}));
  EXPECT_EQ(log.Fields().size(), 4u);
  EXPECT_EQ(log.Fields().back(), "ExtractKey:\tLate\t" + kOk);
}

// --- Sign and check ---------------------------------------------------------------

TEST_F(StepsOnRealFiles, SignedByRequiredAndFurtherKeysPasses) {
  const std::string in = Put("a.txt", kOriginal);
  TTesselAction_sign sign;
  sign.KeyId = "C";
  std::string signedByC, signedByBoth, checked;
  ASSERT_TRUE(Run(sign, in, signedByC));
  sign.KeyId = "A";
  ASSERT_TRUE(Run(sign, signedByC, signedByBoth));

  TTesselAction_checksign check;
  check.KeyList = "A";
  EXPECT_TRUE(Run(check, signedByBoth, checked));
  EXPECT_EQ(ts::ReadFile(checked), ts::ReadFile(signedByBoth)) << "the check leaves its copy as is";
  EXPECT_EQ(log.Fields(), (Lines{"Подписать\t" + kOk, "Подписать\t" + kOk,
                                 "Проверить подпись\tКлюч A : ЭЦП Верна"}));
}

TEST_F(StepsOnRealFiles, BlankKeyListJudgesEverySignature) {
  const std::string in = Put("a.txt", kOriginal);
  SignWith(in, {"A", "Gone"});
  TTesselAction_checksign check;
  check.KeyList = " \t";
  std::string out;
  EXPECT_FALSE(Run(check, in, out));
  EXPECT_EQ(log.Fields(),
            (Lines{"Проверить подпись\tЧисло подписей: 2", "Проверить подпись\tЭЦП A : ЭЦП Верна",
                   "Проверить подпись\tЭЦП Gone : Открытый ключ ЭЦП не найден"}));
}

TEST_F(StepsOnRealFiles, SingleSemicolonRequiresTwoEmptyKeys) {
  const std::string in = Put("a.txt", kOriginal);
  SignWith(in, {"A"});
  TTesselAction_checksign check;
  check.KeyList = ";";
  std::string out;
  EXPECT_FALSE(Run(check, in, out));
  const std::string line = "Проверить подпись\tКлюч  : ЭЦП на данном ключе не найдена";
  EXPECT_EQ(log.Fields(), (Lines{line, line}));
}

TEST_F(StepsOnRealFiles, FailingStepLeavesCopyFolderUntouched) {
  const std::string copies = dir.Sub("copies/");
  ts::WriteFile(copies + "a.txt", "older copy");
  TTesselAction_sign sign;
  sign.KeyId = "Nobody";
  sign.CopyTo = copies;
  std::string out;
  EXPECT_FALSE(Run(sign, Put("a.txt", kOriginal), out));
  EXPECT_EQ(log.Fields(), Lines{"Подписать\t" + ResultMessage(6)});
  EXPECT_EQ(ts::ReadFile(copies + "a.txt"), "older copy");
  EXPECT_EQ(ts::ListNames(copies), Lines{"a.txt"});
}

// --- Delete signatures -------------------------------------------------------------

TEST_F(StepsOnRealFiles, DeleteCounts) {
  const std::string in = Put("a.txt", kOriginal);
  SignWith(in, {"A", "B", "C", "D"});
  const std::string signed4 = ts::ReadFile(in);
  TTesselAction_delsign del;
  std::string out;

  del.DeleteCount = 3;
  ASSERT_TRUE(Run(del, in, out));
  EXPECT_EQ(Check(out, ""), (Lines{"Число подписей: 1", "ЭЦП A : ЭЦП Верна"}));

  del.DeleteCount = 256;  // arrives as 0: nothing is removed
  ASSERT_TRUE(Run(del, in, out));
  EXPECT_EQ(ts::ReadFile(out), signed4);

  del.DeleteCount = -1;  // arrives as 255: all
  ASSERT_TRUE(Run(del, in, out));
  EXPECT_EQ(ts::ReadFile(out), kOriginal);

  del.DeleteCount = 5;  // more than there are
  EXPECT_FALSE(Run(del, in, out));
  EXPECT_EQ(log.Fields().back(), "Удалить подпись\t" + ResultMessage(7));
}

TEST_F(StepsOnRealFiles, DeleteFromAnUnsignedFileFails) {
  TTesselAction_delsign del;
  del.DeleteCount = -1;
  std::string out;
  EXPECT_FALSE(Run(del, Put("a.txt", kOriginal), out));
  EXPECT_EQ(log.Fields(), Lines{"Удалить подпись\t" + ResultMessage(30)});
}

TEST_F(StepsOnRealFiles, FailedWorkingCopyFailsCheckAndDelete) {
  // The copy's own result is not looked at; the library's failure to open
  // the missing copy is what fails the step.
  const std::string in = Put("a.txt", kOriginal);
  SignWith(in, {"A"});
  ts::ScopedFault noCopies(
      [](std::string_view op, const std::string&) { return op == "copy" ? EIO : 0; });
  TTesselAction_checksign check;
  check.KeyList = "A";
  TTesselAction_delsign del;
  del.DeleteCount = -1;
  std::string out;
  EXPECT_FALSE(Run(check, in, out));
  EXPECT_FALSE(Run(del, in, out));
  EXPECT_EQ(log.Fields(), (Lines{"Проверить подпись\tcheck_file_sign: " + ResultMessage(21),
                                 "Удалить подпись\t" + ResultMessage(21)}));
}

// --- Encrypt and decrypt -------------------------------------------------------------

TEST_F(StepsOnRealFiles, EncryptForAReceiverNamedTwiceThenDecrypt) {
  const std::string in = Put("a.txt", kOriginal);
  TTesselAction_encrypt enc;
  enc.SenderKey = "A";
  enc.ReceiverKeyList = "B;B";
  std::string encrypted, decrypted;
  ASSERT_TRUE(Run(enc, in, encrypted));
  EXPECT_NE(ts::ReadFile(encrypted), kOriginal);
  EXPECT_EQ(log.Fields(), (Lines{"ExtractKey:\tB\t" + kOk, "Шифровать\t" + kOk}));

  TTesselAction_decrypt dec;
  dec.ReceiverKey = "B";
  dec.SenderKey = "A";
  ASSERT_TRUE(Run(dec, encrypted, decrypted));
  EXPECT_EQ(ts::ReadFile(decrypted), kOriginal);
}

TEST_F(StepsOnRealFiles, EncryptWithoutReceiversFails) {
  TTesselAction_encrypt enc;
  enc.SenderKey = "A";
  enc.ReceiverKeyList = "  ";
  std::string out;
  EXPECT_FALSE(Run(enc, Put("a.txt", kOriginal), out));
  EXPECT_EQ(log.Fields(), Lines{"Шифровать\t" + ResultMessage(7)});
}

TEST_F(StepsOnRealFiles, DecryptRefusesWrongSenderAndUnaddressedReceiver) {
  TTesselAction_encrypt enc;
  enc.SenderKey = "A";
  enc.ReceiverKeyList = "B C";
  std::string encrypted, out;
  ASSERT_TRUE(Run(enc, Put("a.txt", kOriginal), encrypted));

  TTesselAction_decrypt dec;
  dec.ReceiverKey = "C";
  dec.SenderKey = "A";
  EXPECT_TRUE(Run(dec, encrypted, out));
  EXPECT_EQ(ts::ReadFile(out), kOriginal);

  dec.SenderKey = "D";
  EXPECT_FALSE(Run(dec, encrypted, out));
  EXPECT_EQ(log.Fields().back(), "Расшифровать\t" + ResultMessage(125));

  dec.ReceiverKey = "D";
  dec.SenderKey = "A";
  EXPECT_FALSE(Run(dec, encrypted, out));
  EXPECT_EQ(log.Fields().back(), "Расшифровать\t" + ResultMessage(129));
}

TEST_F(StepsOnRealFiles, DecryptWithAFailedSenderBlock) {
  TTesselAction_encrypt enc;
  enc.SenderKey = "A";
  enc.ReceiverKeyList = "B";
  std::string encrypted, out;
  ASSERT_TRUE(Run(enc, Put("a.txt", kOriginal), encrypted));
  TTesselAction_decrypt dec;
  dec.ReceiverKey = "B";
  dec.SenderKey = "Nobody";
  EXPECT_FALSE(Run(dec, encrypted, out));
  const Lines lines = log.Fields();
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[2], "ExtractKey:\tNobody\t" + ResultMessage(117));
  // The sender's key is missing, and the step says so, not that a key
  // header is damaged.
  EXPECT_EQ(lines[3], "Расшифровать\t" + ResultMessage(117));
}

}  // namespace
