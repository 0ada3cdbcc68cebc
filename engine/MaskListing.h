// What a group's mask would take from its source folder now, without taking
// anything: the window's mask test and the command line's listing use it.
#pragma once

#include <string>
#include <vector>

class TTesselActionList;

struct TMaskListing {
  std::string Folder;        // the source folder part of the mask, with its delimiter
  bool FolderFound = false;  // the folder exists and could be listed
  // Bare names, in the order a pass would take them.
  std::vector<std::string> Taken;
  // Names the include part selects and the exclusion part removes.
  std::vector<std::string> Excluded;
  // Names the mask selects that a pass would leave for now, with the reason.
  struct Waiting {
    std::string Name;
    std::string Reason;
  };
  std::vector<Waiting> Waiting;
  // Names without a Windows-1251 form, which no pass takes ('?' for what has none).
  std::vector<std::string> Unnamed;
};

// Lists the folder and matches each regular file against the mask; touches
// no file and writes no log line.
TMaskListing ListMaskSelection(const TTesselActionList& group);
