// A script as text, field by field, so that tests can compare whole scripts.
#pragma once

#include <string>

class TTesselGroups;

// One line per registry, group and step with every field the settings file
// keeps. The fields of the cryptographic kinds are included in the programs
// built with them.
std::string DumpScript(const TTesselGroups& script);
