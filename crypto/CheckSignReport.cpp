#include <cstring>

#include "crypto/Orlak.h"

std::string SignRecordKeyId(const TSignRecord& record) {
  const auto* bytes = reinterpret_cast<const char*>(record.Bytes);
  return std::string(bytes, strnlen(bytes, ORLAK_SIGN_RECORD_KEYID_SIZE));
}

uint8_t SignRecordStatus(const TSignRecord& record) {
  return record.Bytes[ORLAK_SIGN_RECORD_STATUS_OFFSET];
}

namespace {

// Hands the library's record array back to it exactly once, however the
// check ends.
class TRecordArray {
 public:
  TSignRecord* Records = nullptr;
  TRecordArray() = default;
  TRecordArray(const TRecordArray&) = delete;
  TRecordArray& operator=(const TRecordArray&) = delete;
  ~TRecordArray() {
    if (Records) FreeMemory(Records);
  }
};

// The unknown-status text of the per-signature report has no blank before the
// number; that of the per-key report has one.
std::string StatusText(uint8_t status, const char* unknownPrefix) {
  switch (status) {
    case 0:
      return "ЭЦП Верна";
    case 1:
      return "ЭЦП Не верна";
    case 2:
      return "Открытый ключ ЭЦП не найден";
    default:
      return unknownPrefix + std::to_string(status);
  }
}

// The line that says whose signature is not accepted and why, from the
// library's account of its refusal; empty when it gave none.
std::string WeakSignatureText() {
  uint32_t needed = 0;
  GetRefusalReason(nullptr, 0, &needed);
  std::string text(needed, '\0');
  if (needed <= 1 || GetRefusalReason(text.data(), needed, &needed) != 0) return {};
  text.resize(text.find('\0'));
  const size_t tab = text.find('\t'), tab2 = text.find('\t', tab + 1);
  if (tab == std::string::npos || tab2 == std::string::npos) return {};
  const std::string signer = text.substr(0, tab), what = text.substr(tab + 1, tab2 - tab - 1),
                    value = text.substr(tab2 + 1);
  const std::string because =
      what == "hash" ? "подпись сделана с хешем " + value + ", нужен SHA-256 или сильнее"
                     : "ключ подписи " + value + " бит слабый, нужно не менее 2048 бит";
  return "ЭЦП " + signer + " : ЭЦП не принимается: " + because;
}

}  // namespace

uint16_t CheckSignReport(const std::string& FileName, const std::string& SignFileName,
                         const std::vector<std::string>* RequiredKeys,
                         std::vector<std::string>* Report, std::vector<bool>* Negative,
                         uint16_t* CallCode) {
  if (Report) Report->clear();
  if (Negative) Negative->clear();
  auto add = [Report, Negative](std::string line, bool negative) {
    if (Report) Report->push_back(std::move(line));
    if (Negative) Negative->push_back(negative);
  };

  uint8_t count = 0;
  TRecordArray array;
  uint16_t verdict = 0;
  const uint16_t code =
      SignFileName.empty()
          ? check_file_sign(FileName.c_str(), &count, &array.Records)
          : CheckFileSeparate(FileName.c_str(), &count, &array.Records, SignFileName.c_str());

  if (CallCode) *CallCode = code;
  if (code != 0) {
    if (code == 26) add("Файл не подписан или искажен", true);
    if (code == 702) {
      const std::string why = WeakSignatureText();
      if (!why.empty()) add(why, true);
    }
    add("check_file_sign: " + ResultMessage(code), true);
    return SignCheckFailed;
  }

  // A count without an array cannot be judged, so it never passes.
  const int records = array.Records ? count : 0;
  if (records < count) verdict = SignCheckFailed;

  if (!RequiredKeys || RequiredKeys->empty()) {
    // A count that cannot be judged fails the check on this line.
    add("Число подписей: " + std::to_string(count), records < count);
    for (int i = 0; i < records; ++i) {
      const TSignRecord& record = array.Records[i];
      const uint8_t status = SignRecordStatus(record);
      if (status != 0) verdict = SignCheckFailed;
      add("ЭЦП " + SignRecordKeyId(record) + " : " +
              StatusText(status, "Неизвестный статус проверки ЭЦП"),
          status != 0);
    }
    return verdict;
  }

  for (const std::string& key : *RequiredKeys) {
    std::string line = "Ключ " + key + " : ";
    bool negative = true;
    const TSignRecord* found = nullptr;
    for (int i = 0; i < records && !found; ++i)
      if (SignRecordKeyId(array.Records[i]) == key) found = &array.Records[i];
    if (!found) {
      line += "ЭЦП на данном ключе не найдена";
      verdict = SignCheckFailed;
    } else {
      const uint8_t status = SignRecordStatus(*found);
      negative = status != 0;
      if (negative) verdict = SignCheckFailed;
      line += StatusText(status, "Неизвестный статус проверки ЭЦП ");
    }
    add(std::move(line), negative);
  }
  return verdict;
}
