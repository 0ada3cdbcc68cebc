#include "crypto/TKeyLoader.h"

#include "crypto/Orlak.h"
#include "crypto/ResultKind.h"
#include "engine/uTesselTypes.h"

static_assert(TKeyLoader::KeyBlockSize == KeyBlockSize, "the library's key block size");

TKeyLoader::~TKeyLoader() {
  for (int i = KeyCount - 1; i >= 0; --i) {
    Blocks[i].reset();
    Keys[i].clear();
  }
}

int TKeyLoader::FindKey(const std::string& keyId) const {
  for (int i = KeyCount - 1; i >= 0; --i)
    if (Keys[i] == keyId) return i;
  return -1;
}

int TKeyLoader::AddKey(const std::string& keyId, const TPassContext* pass, uint16_t* code) {
  auto log = [pass](TLogKind kind, const std::vector<std::string>& fields) {
    if (pass)
      pass->Write(kind, fields);
    else
      WriteLog(kind, fields);
  };
  if (code) *code = 0;
  if (KeyCount == MaxKeys) {
    log(TLogKind::Failure,
        {"ExtractKey:", "Слишком много ключей в памяти (" + std::to_string(KeyCount) + ")"});
    return -1;
  }
  auto block = std::make_unique<uint8_t[]>(KeyBlockSize);
  const uint16_t result = ExtractKey(KeysFolder().c_str(), keyId.c_str(), block.get());
  log(ResultKind(result), {"ExtractKey:", keyId, ResultMessage(result)});
  if (result != 0) {
    if (code) *code = result;
    return -1;
  }
  const int n = KeyCount;
  Keys[n] = keyId;
  Blocks[n] = std::move(block);
  KeyCount = n + 1;
  return n;
}

const void* TKeyLoader::GetKey(const std::string& keyId, const TPassContext* pass, uint16_t* code) {
  if (code) *code = 0;
  int i = FindKey(keyId);
  if (i == -1) i = AddKey(keyId, pass, code);
  return i == -1 ? nullptr : Blocks[i].get();
}

TKeyBlockList TKeyLoader::GetKeyList(const std::string& keyList, const TPassContext* pass,
                                     uint16_t* code) {
  if (code) *code = 0;
  const std::vector<std::string> ids = SplitKeyList(keyList);
  TKeyBlockList list;
  list.Blocks.reserve(ids.size());
  for (const std::string& id : ids) {
    uint16_t failed = 0;
    list.Blocks.push_back(GetKey(id, pass, &failed));
    if (code && failed && !*code) *code = failed;
  }
  return list;
}

std::string TKeyLoader::KeysFolder() const {
  return Owner ? Owner->PubKeysPath : std::string();
}
