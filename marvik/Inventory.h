// marvik's inventory: every key of both key folders, both formats, in one
// table, and with a script the steps that use each key and the identifiers
// steps name that no key file provides.
#pragma once

#include <ostream>
#include <string>

namespace marvik {

struct InventoryRequest {
  std::string secretFolder, publicFolder;  // as typed; taken from the script when empty
  std::string script;                      // settings file; empty: no cross-reference
  int warnDays = 30;
  bool daysGiven = false;  // else the script's KEY_WARN_DAYS, when it has one
};

int ListInventory(const InventoryRequest& request, std::ostream& out, std::ostream& err);

}  // namespace marvik
