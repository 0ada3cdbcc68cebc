// The library's state between the Init and Done calls: the key folders of
// its signing part and of its encryption part, and the record arrays it has
// handed out.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "orlak.h"

namespace orlak {

enum class Part { kSign, kCrypto };

struct KeyFolders {
  std::string secretFolder;  // the file system's names
  std::string publicFolder;
};

// kBadParameter for null or empty folders, kSecretFolderMissing or
// kPublicFolderMissing when one is not a folder, kCryptoFailure when
// libsodium cannot start. A failed call leaves the part closed.
uint16_t OpenPart(Part part, const char* secretFolder, const char* publicFolder);
// kNotInitialised when the part is not open.
uint16_t ClosePart(Part part);
// False when the part is not open.
bool PartFolders(Part part, KeyFolders& folders);

// Record arrays for the signature checks; ReleaseRecords refuses pointers it
// did not hand out (or already took back).
OrlakSignRecord* NewRecords(size_t count);
bool ReleaseRecords(OrlakSignRecord* records);

}  // namespace orlak
