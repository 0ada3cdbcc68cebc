#include "Rnp.h"

#include <fcntl.h>

namespace orlak::rnp {
namespace {

struct Reader {
  InputFile* file;
  bool* failed;
};

bool ReadFromFile(void* ctx, void* buf, size_t len, size_t* read) {
  auto* reader = static_cast<Reader*>(ctx);
  ssize_t got = reader->file->Read(buf, len);
  if (got < 0) {
    if (reader->failed) *reader->failed = true;
    return false;
  }
  *read = static_cast<size_t>(got);
  return true;
}

bool WriteToFile(void* ctx, const void* buf, size_t len) {
  return static_cast<OutputFile*>(ctx)->Write(buf, len) == 0;
}

}  // namespace

Ffi NewFfi() {
  rnp_ffi_t ffi = nullptr;
  if (rnp_ffi_create(&ffi, "GPG", "GPG") != RNP_SUCCESS) return nullptr;
  Ffi owned(ffi);
  static const int kNowhere = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  if (kNowhere >= 0) rnp_ffi_set_log_fd(ffi, kNowhere);
  return owned;
}

std::string Take(char* text) {
  Buffer owned(text);
  return text ? std::string(text) : std::string();
}

void CloseReader(void* ctx) {
  delete static_cast<Reader*>(ctx);
}

Input InputOf(InputFile& file, bool* readFailed) {
  // A file the caller has looked at already is read from its start.
  file.Seek(0);
  rnp_input_t input = nullptr;
  auto* reader = new Reader{&file, readFailed};
  if (rnp_input_from_callback(&input, ReadFromFile, CloseReader, reader) != RNP_SUCCESS) {
    delete reader;
    return nullptr;
  }
  return Input(input);
}

Input InputOfMemory(const void* data, size_t size) {
  rnp_input_t input = nullptr;
  static const uint8_t kNothing = 0;
  const auto* bytes = size ? static_cast<const uint8_t*>(data) : &kNothing;
  if (rnp_input_from_memory(&input, bytes, size, false) != RNP_SUCCESS) return nullptr;
  return Input(input);
}

Output OutputOf(OutputFile& file) {
  rnp_output_t output = nullptr;
  if (rnp_output_to_callback(&output, WriteToFile, nullptr, &file) != RNP_SUCCESS) return nullptr;
  return Output(output);
}

Output NullOutput() {
  rnp_output_t output = nullptr;
  if (rnp_output_to_null(&output) != RNP_SUCCESS) return nullptr;
  return Output(output);
}

Output MemoryOutput() {
  rnp_output_t output = nullptr;
  if (rnp_output_to_memory(&output, 0) != RNP_SUCCESS) return nullptr;
  return Output(output);
}

std::string MemoryBytes(rnp_output_t output) {
  uint8_t* data = nullptr;
  size_t size = 0;
  if (rnp_output_memory_get_buf(output, &data, &size, false) != RNP_SUCCESS || !data) return {};
  return std::string(reinterpret_cast<const char*>(data), size);
}

Key FindByFingerprint(rnp_ffi_t ffi, const std::string& fingerprint) {
  rnp_key_handle_t key = nullptr;
  if (rnp_locate_key(ffi, "fingerprint", fingerprint.c_str(), &key) != RNP_SUCCESS) return nullptr;
  return Key(key);
}

}  // namespace orlak::rnp
