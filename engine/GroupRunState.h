// What passes learn about one group's files and keep from pass to pass: its
// last pass's counts, the files a folder refused, the files still being
// written, the names said once. It is never saved; the group's settings are
// in the group itself (uTesselTypes.h).
#pragma once

#include <chrono>
#include <cstdint>
#include <ctime>
#include <map>
#include <set>
#include <string>

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
};

// A file whose result a folder refused: it waits in the source folder,
// without a line on every pass, until the folder looks able to take it.
struct TDeliveryFault {
  std::string Folder;  // the folder that refused it
  uint64_t Bytes = 0;  // what it needs there
  int Retries = 0;     // attempts made while the folder looked able
  std::chrono::steady_clock::time_point RetryAt;
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
};
