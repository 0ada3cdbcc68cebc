// Typed access to INI files: the only way the system reads and writes settings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The program's path with ".ini" in place of its extension, or that file's
// name in the user's settings folder for an installed program
// (platform/SettingsPlace.h).
std::string SettingsFilePath();
// The same rule for any program path: the extension (from the last "." of the
// file name) is cut and ".ini" appended.
std::string SettingsFilePathFor(const std::string& programPath);

std::string ReadIniString(const std::string& Section, const std::string& Key,
                          const std::string& Default, const std::string& FileName);
int32_t ReadIniInteger(const std::string& Section, const std::string& Key, int32_t Default,
                       const std::string& FileName);
bool ReadIniBool(const std::string& Section, const std::string& Key, bool Default,
                 const std::string& FileName);
// The writes give false when the file was not changed as asked; errno says why.
[[nodiscard]] bool WriteIniString(const std::string& Section, const std::string& Key,
                                  const std::string& Value, const std::string& FileName);
[[nodiscard]] bool WriteIniInteger(const std::string& Section, const std::string& Key,
                                   int32_t Value, const std::string& FileName);
[[nodiscard]] bool WriteIniBool(const std::string& Section, const std::string& Key, bool Value,
                                const std::string& FileName);

int32_t ReadSettingsInteger(const std::string& Section, const std::string& Key, int32_t Default);
[[nodiscard]] bool WriteSettingsInteger(const std::string& Section, const std::string& Key,
                                        int32_t Value);

bool ReadSectionNames(std::vector<std::string>& List, const std::string& FileName);
bool ReadSectionLines(const std::string& Section, std::vector<std::string>& List,
                      const std::string& FileName);
bool SplitMultiString(const char* Buffer, size_t Length, char Separator,
                      std::vector<std::string>& List);
int64_t FileSizeByName(const std::string& FileName);
