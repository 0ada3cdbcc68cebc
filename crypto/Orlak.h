// Binding to liborlak: the library's twelve functions (declared by its own C
// header), the texts of its result codes and the signature check report.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "orlak.h"

// One record of a signature check: bytes 0..12 the signer's key identifier,
// byte 135 the status. The other bytes belong to the library.
using TSignRecord = OrlakSignRecord;
static_assert(sizeof(TSignRecord) == 140, "a signature record is 140 bytes");

inline constexpr int KeyBlockSize = ORLAK_KEY_BLOCK_SIZE;

// The identifier ends at the first zero byte within its 13 bytes.
std::string SignRecordKeyId(const TSignRecord& record);
uint8_t SignRecordStatus(const TSignRecord& record);

// Our own negative verdict of a signature check; never a library code.
inline constexpr uint16_t SignCheckFailed = 600;

// The Russian text of a result code; codes outside the table get the
// "unknown error" text with the code in decimal and hexadecimal.
std::string ResultMessage(int code);

// Checks the signatures of FileName (or, when SignFileName is not empty, the
// signatures in that separate file) and returns 0 when the check is positive,
// SignCheckFailed otherwise. Without required keys (null or empty) every
// signature must be valid; with them each required key needs a valid
// signature and other signers are ignored. Report, when given, is emptied and
// receives the lines to log; Negative, when given, is emptied and receives
// for each line whether it tells of a failed check or a bad signature.
// CallCode, when given, receives the library call's own code (0 when the
// call worked, whatever the verdict), which tells why a check failed.
uint16_t CheckSignReport(const std::string& FileName, const std::string& SignFileName,
                         const std::vector<std::string>* RequiredKeys,
                         std::vector<std::string>* Report, std::vector<bool>* Negative = nullptr,
                         uint16_t* CallCode = nullptr);
