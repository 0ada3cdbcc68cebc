// What passes learn about one group's files and keep from pass to pass: its
// last pass's counts, the files a folder refused, the files still being
// written, the names said once. It is never saved; the group's settings are
// in the group itself (uTesselTypes.h).
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

// What a group's last pass did, for status displays and metrics.
struct TPassCounts {
  int Found = 0;               // files the scan listed
  int Taken = 0;               // copied into a working folder
  int Delivered = 0;           // results that reached DestFolder
  int Bad = 0;                 // inputs of failed steps that reached BadFolder
  int Left = 0;                // left in the source folder for a later pass
  bool SourceMissing = false;  // the source folder could not be read
  int64_t DurationMs = 0;
  std::time_t EndTime = 0;  // when the pass ended; 0: never ran
  int Fresh = 0;            // of Left, changed too recently: taken at a later tick
  int Writing = 0;          // of Left, still being written
  int Refused = 0;          // of Left, waiting for a folder that refused them
  int Held = 0;             // of Left, waiting for a key or library fault to be mended
  int Stopped = 0;          // of Left, not reached before a stop
  // Of Delivered, results that went into another group's source folder: the
  // same files are counted again when that group delivers them.
  int PassedOn = 0;
};

// A fault of a group's keys or of the library (not of one file) that holds
// all of the group's files in their source folder. On each pass one file is
// retried without a line; when its road changes, the fault has cleared.
struct TGroupHold {
  std::vector<std::string> Reason;  // the line that names what to mend
  int Code = 0;
  uint64_t MetInPass = 0;  // the pass number whose retry met it again
  std::chrono::steady_clock::time_point Since;
};

// A file whose result a folder refused: it waits in the source folder,
// without a line on every pass, until the folder looks able to take it.
struct TDeliveryFault {
  std::string Folder;  // the folder that refused it
  uint64_t Bytes = 0;  // what it needs there
  int Retries = 0;     // attempts made while the folder looked able
  std::chrono::steady_clock::time_point RetryAt;
  std::chrono::steady_clock::time_point Since;  // the first refusal
  std::string Settings;  // the group's settings then: a change retries at once
};

// A listed file as the pass last saw it, and since when it has looked so.
struct TFileWatch {
  uint64_t Size = 0, Device = 0, Inode = 0;
  int64_t MtimeNs = 0;
  std::chrono::steady_clock::time_point Since;
  bool WaitSaid = false;  // the line that it waits has been written
};

struct TGroupRunState {
  TPassCounts LastPass;
  uint64_t Passes = 0;  // passes that ran the group: a reader tells a new pass by it
  std::map<std::string, TDeliveryFault> DeliveryFaults;  // by source path
  std::map<std::string, TFileWatch> Watched;             // files not yet taken, by path
  std::set<std::string> UnnamedSaid;  // names without a Windows-1251 form, said once
  std::optional<TGroupHold> Hold;
  bool BadEpisode = false;  // a file went bad since a pass that sent none there
};
