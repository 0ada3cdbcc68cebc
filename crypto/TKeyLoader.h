// The key cache: every public key block extracted once and kept until the
// program ends, so that a pass over many files extracts each key only on its
// first use. A key the library could not give is asked for again each time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "crypto/SplitKeyList.h"

class TTesselGroups;
struct TPassContext;

// Key blocks for one list of identifiers, in list order. Entries are null
// where the cache was full. The array belongs to the caller, the blocks to
// the cache.
struct TKeyBlockList {
  std::vector<const void*> Blocks;
  int Count() const { return static_cast<int>(Blocks.size()); }
  size_t SizeInBytes() const { return Blocks.size() * sizeof(const void*); }
};

class TKeyLoader {
 public:
  static constexpr int MaxKeys = 100;
  static constexpr int KeyBlockSize = 304;

  std::string Keys[MaxKeys];
  std::unique_ptr<uint8_t[]> Blocks[MaxKeys];
  TTesselGroups* const Owner;
  int KeyCount = 0;

  explicit TKeyLoader(TTesselGroups* owner) : Owner(owner) {}
  TKeyLoader(const TKeyLoader&) = delete;
  TKeyLoader& operator=(const TKeyLoader&) = delete;
  ~TKeyLoader();

  // The block of the identifier, extracted on first use. Null when the
  // extraction failed (its code in *code) or the cache is full (code 0). A
  // failure is not kept: a key added or mended meanwhile is found by the
  // next request. Lines go to the pass when one is given, else to the log.
  const void* GetKey(const std::string& keyId, const TPassContext* pass = nullptr,
                     uint16_t* code = nullptr);
  // The first failed extraction's code in *code.
  TKeyBlockList GetKeyList(const std::string& keyList, const TPassContext* pass = nullptr,
                           uint16_t* code = nullptr);
  // Slot of the identifier (exact bytes), or -1.
  int FindKey(const std::string& keyId) const;
  // Extracts one key and caches it when the library gives it; -1 when it
  // does not (its code in *code) or the cache is full.
  int AddKey(const std::string& keyId, const TPassContext* pass = nullptr,
             uint16_t* code = nullptr);
  // The owner's public-keys folder as it is now.
  std::string KeysFolder() const;
};
