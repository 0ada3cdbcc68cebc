#include "engine/MaskListing.h"

#include "engine/Readiness.h"
#include "engine/uFileUtil.h"
#include "engine/uTesselTypes.h"
#include "masks/FileMask.h"
#include "platform/Durable.h"
#include "platform/Files.h"

TMaskListing ListMaskSelection(const TTesselActionList& group) {
  TMaskListing listing;
  std::string maskText;
  SplitSourceMask(group.SourceMask, listing.Folder, maskText);
  if (listing.Folder.empty() || !FolderExists(listing.Folder)) return listing;
  std::vector<platform::DirEntry> entries;
  if (platform::ListFolder(listing.Folder, entries, &listing.Unnamed) != 0) return listing;
  listing.FolderFound = true;
  const TFileMask mask(maskText);
  for (const platform::DirEntry& entry : entries) {
    if (entry.kind != platform::EntryKind::Regular || platform::IsSideName(entry.name)) continue;
    if (mask.Matches(entry.name, listing.Folder)) {
      const std::string reason = WaitReasonNow(group, listing.Folder + entry.name);
      if (reason.empty())
        listing.Taken.push_back(entry.name);
      else
        listing.Waiting.push_back({entry.name, reason});
    } else if (mask.Include().MatchAny(entry.name, {}))
      listing.Excluded.push_back(entry.name);
  }
  return listing;
}
