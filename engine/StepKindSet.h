// The step kinds a registry can make and how it makes its key cache. Every
// program builds one set and hands it to each registry it creates, so what a
// registry can load does not depend on what ran before it.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

class TTesselAction;
class TTesselGroups;
class TKeyLoader;  // the key cache, crypto/TKeyLoader.h

// Kind codes as stored in the settings file.
inline constexpr uint8_t kKindSign = 0;
inline constexpr uint8_t kKindCheckSign = 1;
inline constexpr uint8_t kKindDelSign = 2;
inline constexpr uint8_t kKindEncrypt = 3;
inline constexpr uint8_t kKindDecrypt = 4;
inline constexpr uint8_t kKindNone = 5;

// Makes a new step of one kind.
using TActionFactory = TTesselAction* (*)();

// How a registry makes and destroys its key cache.
struct TKeyLoaderHooks {
  TKeyLoader* (*Create)(TTesselGroups& owner) = nullptr;
  void (*Destroy)(TKeyLoader* loader) = nullptr;
};

class TStepKinds {
 public:
  // The do-nothing kind alone, without a key cache: the engine by itself.
  static const TStepKinds& NoneOnly();

  // A code of the do-nothing kind is ignored.
  TStepKinds& Add(uint8_t code, TActionFactory factory);
  TStepKinds& WithKeyCache(TKeyLoaderHooks hooks);

  // A new step of the kind; null for a code this set cannot make.
  TTesselAction* Make(int code) const;
  bool Has(int code) const;
  // The codes this set can make, the do-nothing kind's among them, in order.
  std::vector<int> Codes() const;
  const TKeyLoaderHooks& KeyCache() const { return keyCache_; }

 private:
  std::array<TActionFactory, 256> factories_{};
  TKeyLoaderHooks keyCache_;
};
