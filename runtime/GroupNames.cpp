#include "runtime/GroupNames.h"

#include "platform/Cp1251.h"

namespace {

bool NameTaken(const std::string& name, const std::vector<std::string>& existing) {
  const std::string upper = platform::UpperCase(name);
  for (const std::string& other : existing)
    if (platform::UpperCase(other) == upper) return true;
  return false;
}

}  // namespace

std::string ProposeGroupName(const std::vector<std::string>& existing) {
  for (unsigned long n = 1;; ++n) {
    std::string name = "Без названия " + std::to_string(n);
    if (!NameTaken(name, existing)) return name;
  }
}

std::string GroupNameProblem(const std::string& name, const std::vector<std::string>& existing) {
  if (name.empty()) return "Название группы не может быть пустым.";
  if (name.find(']') != std::string::npos)
    return "Название группы не может содержать символ \"]\".";
  if (name.find_first_of("\r\n") != std::string::npos)
    return "Название группы не может содержать перевод строки.";
  if (name.find("\\ACTION_") != std::string::npos)
    return "Название группы не может содержать \"\\ACTION_\".";
  if (NameTaken(name, existing))
    return "Группа с таким названием уже есть (большие и малые буквы не различаются).";
  return {};
}
