// What "tessel list" shows of a group: the files its mask takes now, the
// names its exclusion part removes, the files left for now and its enabled
// steps. Built from ListMaskSelection, which touches nothing.
#pragma once

#include <string>
#include <vector>

#include "engine/MaskListing.h"

class TTesselActionList;

// Windows-1251 lines, without line ends.
std::vector<std::string> ListingLines(const TTesselActionList& group, const TMaskListing& listing);
