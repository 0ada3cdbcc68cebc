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

int TKeyLoader::AddKey(const std::string& keyId) {
  if (KeyCount == MaxKeys) {
    WriteFailureLog(
        {"ExtractKey:", "Слишком много ключей в памяти (" + std::to_string(KeyCount) + ")"});
    return -1;
  }
  const int n = KeyCount;
  Keys[n] = keyId;
  // Zero-filled, so a failed extraction leaves a defined block that the
  // library rejects when it is used.
  Blocks[n] = std::make_unique<uint8_t[]>(KeyBlockSize);
  const uint16_t code = ExtractKey(KeysFolder().c_str(), keyId.c_str(), Blocks[n].get());
  WriteLog(ResultKind(code), {"ExtractKey:", keyId, ResultMessage(code)});
  // Cached whatever the code: later requests get this block without a retry.
  KeyCount = n + 1;
  return n;
}

const void* TKeyLoader::GetKey(const std::string& keyId) {
  int i = FindKey(keyId);
  if (i == -1) i = AddKey(keyId);
  return i == -1 ? nullptr : Blocks[i].get();
}

TKeyBlockList TKeyLoader::GetKeyList(const std::string& keyList) {
  const std::vector<std::string> ids = SplitKeyList(keyList);
  TKeyBlockList list;
  list.Blocks.reserve(ids.size());
  for (const std::string& id : ids) list.Blocks.push_back(GetKey(id));
  return list;
}

std::string TKeyLoader::KeysFolder() const {
  return Owner ? Owner->PubKeysPath : std::string();
}
