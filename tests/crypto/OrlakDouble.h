// A stand-in for liborlak's twelve functions, linked into the unit tests only.
// It records every call and answers with whatever the test sets up, including
// answers the real library never gives on demand.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "crypto/Orlak.h"

namespace orlak_double {

struct TCall {
  std::string Function;
  std::vector<std::string> Args;  // the text arguments, in order
};

struct TState {
  // Result codes.
  uint16_t SignCode = 0, CheckCode = 0, DelSignCode = 0, EncryptCode = 0, DecryptCode = 0,
           ExtractCode = 0;

  // The signature check hands out these records (a fresh array on every
  // call) and writes Count, which may disagree with the array.
  std::vector<TSignRecord> Records;
  uint8_t Count = 0;
  bool HandOutArray = true;
  // Runs inside the check after the array is handed out; may throw.
  std::function<void()> DuringCheck;

  int FreeCalls = 0;
  int ArraysOutstanding = 0;
  const TSignRecord* LastFreed = nullptr;

  uint8_t DelSignCount = 0;
  std::vector<const void*> Receivers;  // EnCryptFileEx's blocks
  uint16_t ReceiverCount = 0;
  uint32_t Reserved = 0xFFFFFFFF;
  const void* SenderBlock = nullptr;  // DeCryptFileEx's block

  // ExtractKey fills blocks with this byte on success and leaves them alone
  // on failure.
  uint8_t FillByte = 0x5A;
  int ExtractCalls = 0;

  // GetKeysUsed and GetRefusalReason hand these out whatever was called.
  std::string KeysUsed, RefusalReason;

  std::vector<TCall> Calls;
};

TState& State();
void Reset();
TSignRecord Record(const std::string& keyId, uint8_t status);
// The names of the functions called so far, in order.
std::vector<std::string> CallNames();

}  // namespace orlak_double
