// Whether a settings file still holds what this program last read from it or
// wrote to it, so that a save never silently replaces what another program
// (a second window, an editor, a deployment) put there in the meantime.
//
// Only the content counts: a file replaced or touched with the same bytes has
// lost nothing, and a save over it asks nobody.
#pragma once

#include <cstdint>
#include <string>

class TSettingsWatch {
 public:
  // After a load (taken before it reads, so that a change during the load
  // counts as one) and after a save of ours.
  void Note(const std::string& settingsFile);
  // Nothing noted yet: nothing to compare with.
  void Forget() { noted_ = false; }
  // True when the file's bytes (or its existence) differ from those noted;
  // false while nothing is noted. A file that cannot be read counts as changed.
  bool ChangedOnDisk(const std::string& settingsFile) const;

 private:
  struct TStamp {
    bool Exists = false;
    bool Readable = true;
    uint64_t Size = 0;
    size_t Digest = 0;
    bool operator==(const TStamp&) const = default;
  };
  static TStamp StampOf(const std::string& settingsFile);

  bool noted_ = false;
  TStamp stamp_;
};
