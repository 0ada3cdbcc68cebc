// The key identifiers a script's steps name, as their kinds describe them
// (StepKeys.h): what tessel check probes, the metrics watch and marvik's
// inventory cross-references.
#pragma once

#include <string>
#include <vector>

class TTesselAction;
class TTesselGroups;

struct TStepKeyIds {
  std::vector<std::string> Secret, Public;  // in the step's order, as named
  bool NoReceivers = false;                 // a receiver list names nobody
};

TStepKeyIds StepKeyIds(const TTesselAction& step);

// One use of a key by a step of an enabled group.
struct TKeyUseSite {
  std::string Id;
  bool Secret = false;
  std::string Group;    // Windows-1251
  int Step = 0;         // from 1
  std::string Caption;  // the step's kind, Windows-1251
};

// Enabled steps of enabled groups, in the script's order.
std::vector<TKeyUseSite> ScriptKeyUses(const TTesselGroups& registry);
