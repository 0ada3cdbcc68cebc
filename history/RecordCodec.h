// A record's steps as one stored text, and a record's canonical bytes: the
// stored fields in a fixed order, each its length, a colon and its bytes.
#pragma once

#include <string>
#include <vector>

#include "history/HistoryRecord.h"

std::string EncodeSteps(const std::vector<THistoryStep>& steps);
std::vector<THistoryStep> DecodeSteps(const std::string& text);
// The stored fields of a record in the order the chain hashes them.
std::string CanonicalBytes(const std::vector<std::string>& fields);
