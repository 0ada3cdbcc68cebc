// Owning handles for RNP's objects, and RNP streams over the library's own
// input and output files, so OpenPGP outputs take their name only when
// complete, like every other output of the library.
#pragma once

#include <rnp/rnp.h>
#include <rnp/rnp_err.h>

#include <cstdint>
#include <memory>
#include <string>

#include "Files.h"

namespace orlak::rnp {

struct FfiDeleter {
  void operator()(rnp_ffi_t p) const { rnp_ffi_destroy(p); }
};
struct KeyDeleter {
  void operator()(rnp_key_handle_t p) const { rnp_key_handle_destroy(p); }
};
struct InputDeleter {
  void operator()(rnp_input_t p) const { rnp_input_destroy(p); }
};
struct OutputDeleter {
  void operator()(rnp_output_t p) const { rnp_output_destroy(p); }
};
struct SignatureDeleter {
  void operator()(rnp_signature_handle_t p) const { rnp_signature_handle_destroy(p); }
};
struct UidDeleter {
  void operator()(rnp_uid_handle_t p) const { rnp_uid_handle_destroy(p); }
};
struct BufferDeleter {
  void operator()(char* p) const { rnp_buffer_destroy(p); }
};

using Ffi = std::unique_ptr<std::remove_pointer_t<rnp_ffi_t>, FfiDeleter>;
using Key = std::unique_ptr<std::remove_pointer_t<rnp_key_handle_t>, KeyDeleter>;
using Input = std::unique_ptr<std::remove_pointer_t<rnp_input_t>, InputDeleter>;
using Output = std::unique_ptr<std::remove_pointer_t<rnp_output_t>, OutputDeleter>;
using Signature = std::unique_ptr<std::remove_pointer_t<rnp_signature_handle_t>, SignatureDeleter>;
using Uid = std::unique_ptr<std::remove_pointer_t<rnp_uid_handle_t>, UidDeleter>;
using Buffer = std::unique_ptr<char, BufferDeleter>;

// A keyring without keys, its log discarded (the library speaks through
// result codes only; RNP writes some messages to the standard error all the
// same, see ProvidePublicKey); null when RNP cannot make one.
Ffi NewFfi();

// The text RNP handed out (freed here), or "" when it handed out none.
std::string Take(char* text);

// Reads the opened input file from its current position; readFailed, when
// given, is set when the file itself failed (RNP reports its own integrity
// failures as read errors too).
Input InputOf(InputFile& file, bool* readFailed = nullptr);
Input InputOfMemory(const void* data, size_t size);
// Writes to the created output file; a failed write fails the operation.
Output OutputOf(OutputFile& file);
Output NullOutput();
Output MemoryOutput();
// The bytes written to a MemoryOutput.
std::string MemoryBytes(rnp_output_t output);

// Locates a key by its fingerprint in ffi; null when the ring has none.
Key FindByFingerprint(rnp_ffi_t ffi, const std::string& fingerprint);

}  // namespace orlak::rnp
