// Names of groups: the name proposed for a new group, and the names that the
// settings file could not keep apart or read back.
#pragma once

#include <string>
#include <vector>

// "Без названия " followed by the lowest n from 1 whose text no existing name
// equals, letter case aside.
std::string ProposeGroupName(const std::vector<std::string>& existing);

// Empty when the name can be used; otherwise the reason, to show the operator.
// A group's sections are named after it, so a name with "]" or a line break
// breaks the section line, "\ACTION_" makes it look like another group's step,
// and names equal apart from letter case share their sections.
std::string GroupNameProblem(const std::string& name, const std::vector<std::string>& existing);
