// The text that shows the operator what a group's mask would take from its
// source folder now, what its exclusion part removes and what would wait.
#pragma once

#include <string>
#include <vector>

#include "engine/MaskListing.h"

// Lines of Windows-1251 text, headed by the mask itself.
std::vector<std::string> MaskReportLines(const std::string& mask, const TMaskListing& listing);
