#include "Library.h"

#include <sodium.h>

#include <memory>
#include <mutex>
#include <optional>
#include <unordered_set>

#include "Codes.h"
#include "Files.h"
#include "PgpKeys.h"

namespace orlak {
namespace {

struct State {
  std::mutex mutex;
  std::optional<KeyFolders> sign;
  std::optional<KeyFolders> crypto;
  std::unordered_set<OrlakSignRecord*> records;
};

State& TheState() {
  static State state;
  return state;
}

std::optional<KeyFolders>& Slot(State& state, Part part) {
  return part == Part::kSign ? state.sign : state.crypto;
}

}  // namespace

uint16_t OpenPart(Part part, const char* secretFolder, const char* publicFolder) {
  State& state = TheState();
  {
    std::lock_guard lock(state.mutex);
    Slot(state, part).reset();
  }
  if (sodium_init() < 0) return kCryptoFailure;
  if (!secretFolder || !publicFolder || !*secretFolder || !*publicFolder) return kBadParameter;
  KeyFolders folders{NativePath(secretFolder), NativePath(publicFolder)};
  if (!IsFolder(folders.secretFolder)) return kSecretFolderMissing;
  if (!IsFolder(folders.publicFolder)) return kPublicFolderMissing;
  std::lock_guard lock(state.mutex);
  Slot(state, part) = std::move(folders);
  return kOk;
}

uint16_t ClosePart(Part part) {
  State& state = TheState();
  std::lock_guard lock(state.mutex);
  auto& slot = Slot(state, part);
  if (!slot) return kNotInitialised;
  slot.reset();
  // Secret OpenPGP keys live only while a part is open.
  auto pgpLock = pgp::Lock();
  pgp::ForgetSecretKeys();
  return kOk;
}

bool PartFolders(Part part, KeyFolders& folders) {
  State& state = TheState();
  std::lock_guard lock(state.mutex);
  const auto& slot = Slot(state, part);
  if (!slot) return false;
  folders = *slot;
  return true;
}

OrlakSignRecord* NewRecords(size_t count) {
  std::unique_ptr<OrlakSignRecord[]> records(new OrlakSignRecord[count]());
  State& state = TheState();
  std::lock_guard lock(state.mutex);
  state.records.insert(records.get());
  return records.release();
}

bool ReleaseRecords(OrlakSignRecord* records) {
  State& state = TheState();
  {
    std::lock_guard lock(state.mutex);
    if (state.records.erase(records) == 0) return false;
  }
  delete[] records;
  return true;
}

}  // namespace orlak
