// End to end through processing passes: an outgoing group signs with A and
// encrypts from A to B and C; an incoming group for B decrypts from A, checks
// that A signed and removes the signatures. Runs against liborlak.
#include <string>
#include <vector>

#include "crypto/CryptoActions.h"
#include "crypto/Orlak.h"
#include "crypto/TKeyLoader.h"
#include "tests/crypto/RealLibrary.h"

namespace {

namespace ts = testing_support;
using Lines = std::vector<std::string>;

using real_library::kOk;
const std::string kStars(55, '*');
const std::string kEquals(55, '=');

// Every byte value, so nothing is lost to text handling on the way.
std::string Original() {
  std::string bytes = "Платёжное поручение\r\n";
  for (int round = 0; round < 40; ++round)
    for (int b = 0; b < 256; ++b) bytes += static_cast<char>(b);
  return bytes;
}

template <class T>
T* AddStep(TTesselActionList* group, uint8_t kind) {
  auto* step = dynamic_cast<T*>(group->CreateAction(kind));
  step->Enabled = true;
  return step;
}

class Exchange : public real_library::RealLibraryTest {
 protected:
  void SetUp() override {
    RealLibraryTest::SetUp();
    out = ScriptRegistry->AddGroup("Out");
    out->SourceMask = outbox + "*.txt";
    out->DestFolder = transit;
    out->BadFolder = bad;
    out->Enabled = true;
    sign = AddStep<TTesselAction_sign>(out, kKindSign);
    sign->KeyId = "A";
    enc = AddStep<TTesselAction_encrypt>(out, kKindEncrypt);
    enc->SenderKey = "A";
    enc->ReceiverKeyList = "B;C";
    enc->CopyTo = arch;

    in = ScriptRegistry->AddGroup("In");
    in->SourceMask = transit + "*.txt";
    in->DestFolder = received;
    in->BadFolder = bad;
    in->Enabled = true;
    dec = AddStep<TTesselAction_decrypt>(in, kKindDecrypt);
    dec->ReceiverKey = "B";
    dec->SenderKey = "A";
    check = AddStep<TTesselAction_checksign>(in, kKindCheckSign);
    check->KeyList = "A";
    del = AddStep<TTesselAction_delsign>(in, kKindDelSign);
    del->DeleteCount = -1;
  }

  // The log lines of one group's pass over one file.
  static Lines Pass(const std::string& group, const std::string& name, const Lines& steps) {
    Lines lines = {kStars, group, kEquals, "Начало обработки файла\t\"" + name + "\""};
    lines.insert(lines.end(), steps.begin(), steps.end());
    lines.push_back("Конец обработки файла\t\"" + name + "\"");
    return lines;
  }
  static Lines Join(Lines a, const Lines& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  }
  // Lines logged since the given count.
  Lines LinesSince(size_t from) const {
    Lines all = log.Fields();
    return Lines(all.begin() + static_cast<long>(std::min(from, all.size())), all.end());
  }
  // The signers of a file as the report gives them.
  static Lines Signers(const std::string& path) {
    Lines report;
    CheckSignReport(path, "", nullptr, &report);
    return report;
  }

  std::string outbox = dir.Sub("outbox/"), transit = dir.Sub("transit/"),
              received = dir.Sub("received/"), bad = dir.Sub("bad/"), arch = dir.Sub("arch/");
  TTesselActionList *out = nullptr, *in = nullptr;
  TTesselAction_sign* sign = nullptr;
  TTesselAction_encrypt* enc = nullptr;
  TTesselAction_decrypt* dec = nullptr;
  TTesselAction_checksign* check = nullptr;
  TTesselAction_delsign* del = nullptr;
};

TEST_F(Exchange, RestoresEveryByte) {
  const std::string original = Original();
  ts::WriteFile(outbox + "a.txt", original);
  ScriptRegistry->RunAllGroups();

  EXPECT_EQ(ts::ReadFile(received + "a.txt"), original);
  EXPECT_TRUE(ts::ListNames(outbox).empty());
  EXPECT_TRUE(ts::ListNames(transit).empty());
  EXPECT_TRUE(ts::ListNames(bad).empty());
  EXPECT_TRUE(ts::ListNames(tmp).empty()) << "working folders are removed";
  EXPECT_EQ(log.Fields(),
            Join(Pass("Out", "a.txt",
                      {"Подписать\t" + kOk, "ExtractKey:\tB\t" + kOk, "ExtractKey:\tC\t" + kOk,
                       "Шифровать\t" + kOk, "Копия - успешно\t" + arch + "a.txt"}),
                 Pass("In", "a.txt",
                      {"ExtractKey:\tA\t" + kOk, "Расшифровать\t" + kOk,
                       "Проверить подпись\tКлюч A : ЭЦП Верна", "Удалить подпись\t" + kOk})));

  // The archived copy is the encrypted file, which C can open as well.
  TTesselAction_decrypt asC;
  asC.ReceiverKey = "C";
  asC.SenderKey = "A";
  std::string forC = dir.Sub("forC/") + "a.txt";
  ASSERT_TRUE(asC.Execute(arch + "a.txt", forC, ScriptRegistry->KeyLoader));
  EXPECT_EQ(Signers(forC), (Lines{"Число подписей: 1", "ЭЦП A : ЭЦП Верна"}));

  // A second file needs no extraction: the cache keeps the keys.
  ts::WriteFile(outbox + "b.txt", "second");
  const size_t before = log.Fields().size();
  ScriptRegistry->RunAllGroups();
  EXPECT_EQ(ts::ReadFile(received + "b.txt"), "second");
  for (const std::string& line : LinesSince(before))
    EXPECT_EQ(line.rfind("ExtractKey:", 0), std::string::npos) << line;
}

TEST_F(Exchange, TamperedFileGoesToBadFiles) {
  in->Enabled = false;
  ts::WriteFile(outbox + "a.txt", Original());
  ScriptRegistry->RunAllGroups();
  std::string bytes = ts::ReadFile(transit + "a.txt");
  bytes[bytes.size() / 2] ^= 0x20;
  ts::WriteFile(transit + "a.txt", bytes);

  out->Enabled = false;
  in->Enabled = true;
  const size_t before = log.Fields().size();
  ScriptRegistry->RunAllGroups();
  EXPECT_EQ(ts::ReadFile(bad + "a.txt"), bytes);
  EXPECT_TRUE(ts::ListNames(received).empty());
  EXPECT_EQ(LinesSince(before), Pass("In", "a.txt",
                                     {"ExtractKey:\tA\t" + kOk, "Расшифровать\t" + ResultMessage(4),
                                      "Перенос в ошибки"}));
}

TEST_F(Exchange, FileSignedByAnUnrequiredKeyGoesToBadFiles) {
  sign->KeyId = "D";
  ts::WriteFile(outbox + "a.txt", Original());
  ScriptRegistry->RunAllGroups();
  EXPECT_TRUE(ts::ListNames(received).empty());
  // The check's input: decrypted, still signed by D.
  EXPECT_EQ(Signers(bad + "a.txt"), (Lines{"Число подписей: 1", "ЭЦП D : ЭЦП Верна"}));
  EXPECT_EQ(ts::ReadFile(bad + "a.txt").substr(0, Original().size()), Original());
  EXPECT_EQ(log.Fields(),
            Join(Pass("Out", "a.txt",
                      {"Подписать\t" + kOk, "ExtractKey:\tB\t" + kOk, "ExtractKey:\tC\t" + kOk,
                       "Шифровать\t" + kOk, "Копия - успешно\t" + arch + "a.txt"}),
                 Pass("In", "a.txt",
                      {"ExtractKey:\tA\t" + kOk, "Расшифровать\t" + kOk,
                       "Проверить подпись\tКлюч A : ЭЦП на данном ключе не найдена",
                       "Перенос в ошибки"})));
}

// A receiver's key the folder lacks, or a key cache too full to hold one,
// is no fault of the file: it stays in the outbox, the line names the key,
// and nothing goes to the bad-files folder.
TEST_F(Exchange, UnknownReceiverHoldsTheFileAndNamesTheKey) {
  enc->ReceiverKeyList = "B;Z";
  ts::WriteFile(outbox + "a.txt", Original());
  ScriptRegistry->RunAllGroups();
  EXPECT_TRUE(ts::ListNames(transit).empty());
  EXPECT_TRUE(ts::ListNames(arch).empty());
  EXPECT_TRUE(ts::ListNames(bad).empty());
  EXPECT_EQ(ts::ReadFile(outbox + "a.txt"), Original());
  EXPECT_EQ(log.Fields(),
            Pass("Out", "a.txt",
                 {"Подписать\t" + kOk, "ExtractKey:\tB\t" + kOk,
                  "ExtractKey:\tZ\t" + ResultMessage(117), "Шифровать\t" + ResultMessage(117),
                  "Открытый ключ не найден\tZ\t" + ScriptRegistry->PubKeysPath +
                      "\tположите ключ в папку или исправьте идентификатор в шаге",
                  "Файл оставлен до устранения ошибки\t\"a.txt\""}));
}

TEST_F(Exchange, FullKeyCacheHoldsTheFile) {
  TKeyLoader& cache = *ScriptRegistry->KeyLoader;
  // Filled with blocks of keys that were extracted once.
  for (int i = cache.KeyCount; i < TKeyLoader::MaxKeys; ++i) {
    cache.Keys[i] = "K" + std::to_string(i);
    cache.Blocks[i] = std::make_unique<uint8_t[]>(TKeyLoader::KeyBlockSize);
  }
  cache.KeyCount = TKeyLoader::MaxKeys;
  const size_t before = log.Fields().size();
  ts::WriteFile(outbox + "a.txt", Original());
  ScriptRegistry->RunAllGroups();
  EXPECT_TRUE(ts::ListNames(transit).empty());
  EXPECT_TRUE(ts::ListNames(bad).empty());
  EXPECT_EQ(ts::ReadFile(outbox + "a.txt"), Original());
  const std::string full = "ExtractKey:\tСлишком много ключей в памяти (100)";
  EXPECT_EQ(LinesSince(before),
            Pass("Out", "a.txt",
                 {"Подписать\t" + kOk, full, full, "Шифровать\t" + ResultMessage(7),
                  ResultMessage(7) + "\tключи шага: A; B; C",
                  "Файл оставлен до устранения ошибки\t\"a.txt\""}));
}

}  // namespace
