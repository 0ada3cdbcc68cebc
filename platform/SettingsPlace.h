// Where a program finds its settings file when none is named.
#pragma once

#include <string>

namespace platform {

// The settings file beside the program (its name with ".ini") is the
// program's own, as it always was, while the program can keep it there. An
// installed program (under /usr/, or in a folder this user cannot write) that
// finds no settings file beside it keeps one per user instead:
// "$XDG_CONFIG_HOME/tessel/" (by default "~/.config/tessel/") with the same
// file name; that folder is made, 0700, when it is missing. Without a home
// the file stays beside the program. The log and the history follow the
// settings file, as they always do.
std::string SettingsPlace(const std::string& besideProgram);

// The per-user folder, ending in "/"; empty when neither XDG_CONFIG_HOME nor
// HOME is set.
std::string UserSettingsFolder();

}  // namespace platform
