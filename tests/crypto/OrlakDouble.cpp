#include "tests/crypto/OrlakDouble.h"

#include <algorithm>
#include <cstring>
#include <fstream>

namespace orlak_double {

TState& State() {
  static TState state;
  return state;
}

void Reset() {
  State() = TState();
}

TSignRecord Record(const std::string& keyId, uint8_t status) {
  TSignRecord r;
  std::memset(r.Bytes, 0xEE, sizeof r.Bytes);  // bytes the binding must not read
  std::memset(r.Bytes, 0, ORLAK_SIGN_RECORD_KEYID_SIZE);
  std::memcpy(r.Bytes, keyId.data(), std::min<size_t>(keyId.size(), ORLAK_SIGN_RECORD_KEYID_SIZE));
  r.Bytes[ORLAK_SIGN_RECORD_STATUS_OFFSET] = status;
  return r;
}

std::vector<std::string> CallNames() {
  std::vector<std::string> names;
  for (const TCall& c : State().Calls) names.push_back(c.Function);
  return names;
}

namespace {

std::string Text(const char* s) {
  return s ? s : "<null>";
}

// On success the stand-in's "result" is the input unchanged.
uint16_t Produce(uint16_t code, const char* in, const char* out) {
  if (code == 0 && in && out) {
    std::ifstream src(in, std::ios::binary);
    std::ofstream dst(out, std::ios::binary | std::ios::trunc);
    dst << src.rdbuf();
  }
  return code;
}

void Note(const char* function, std::vector<std::string> args) {
  State().Calls.push_back({function, std::move(args)});
}

uint16_t Check(uint8_t* count, OrlakSignRecord** records) {
  TState& s = State();
  *count = s.Count;
  if (s.HandOutArray) {
    *records = new TSignRecord[std::max<size_t>(s.Records.size(), 1)];
    std::copy(s.Records.begin(), s.Records.end(), *records);
    ++s.ArraysOutstanding;
  }
  if (s.DuringCheck) s.DuringCheck();
  return s.CheckCode;
}

}  // namespace
}  // namespace orlak_double

using orlak_double::Note;
using orlak_double::Produce;
using orlak_double::State;
using orlak_double::Text;

extern "C" {

uint16_t SignInit(const char* sec, const char* pub) {
  Note("SignInit", {Text(sec), Text(pub)});
  return 0;
}
uint16_t CryptoInit(const char* sec, const char* pub) {
  Note("CryptoInit", {Text(sec), Text(pub)});
  return 0;
}
uint16_t CryptoDone(void) {
  Note("CryptoDone", {});
  return 0;
}
uint16_t SignDone(void) {
  Note("SignDone", {});
  return 0;
}

uint16_t SignFile(const char* in, const char* out, const char* keyId) {
  Note("SignFile", {Text(in), Text(out), Text(keyId)});
  return Produce(State().SignCode, in, out);
}

uint16_t check_file_sign(const char* file, uint8_t* count, OrlakSignRecord** records) {
  Note("check_file_sign", {Text(file)});
  return orlak_double::Check(count, records);
}

uint16_t CheckFileSeparate(const char* file, uint8_t* count, OrlakSignRecord** records,
                           const char* signatureFile) {
  Note("CheckFileSeparate", {Text(file), Text(signatureFile)});
  return orlak_double::Check(count, records);
}

uint16_t FreeMemory(OrlakSignRecord* records) {
  Note("FreeMemory", {});
  ++State().FreeCalls;
  --State().ArraysOutstanding;
  State().LastFreed = records;
  delete[] records;
  return 0;
}

uint16_t DelSign(const char* file, uint8_t count) {
  Note("DelSign", {Text(file)});
  State().DelSignCount = count;
  return State().DelSignCode;
}

uint16_t EnCryptFileEx(const char* in, const char* out, const char* sender,
                       const void* const* blocks, uint16_t count, uint32_t reserved) {
  Note("EnCryptFileEx", {Text(in), Text(out), Text(sender)});
  State().Receivers.assign(blocks, blocks + count);
  State().ReceiverCount = count;
  State().Reserved = reserved;
  return Produce(State().EncryptCode, in, out);
}

uint16_t DeCryptFileEx(const char* in, const char* out, const char* receiver,
                       const void* senderBlock) {
  Note("DeCryptFileEx", {Text(in), Text(out), Text(receiver)});
  State().SenderBlock = senderBlock;
  return Produce(State().DecryptCode, in, out);
}

uint16_t ExtractKey(const char* folder, const char* keyId, void* block) {
  Note("ExtractKey", {Text(folder), Text(keyId)});
  ++State().ExtractCalls;
  if (State().ExtractCode == 0) std::memset(block, State().FillByte, ORLAK_KEY_BLOCK_SIZE);
  return State().ExtractCode;
}

uint16_t GetKeyState(const char*, const char*, uint8_t, OrlakKeyState* state) {
  std::memset(state, 0, sizeof *state);  // usable, no expiry
  return 0;
}

}  // extern "C"
