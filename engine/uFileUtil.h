// File utilities of the processing pass. Paths are Windows-1251 text.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Appends the full path of every regular file directly in the folder whose
// name the mask text selects, in the file system's order; false when the
// folder does not exist.
// Names there that have no Windows-1251 form go to *unnamed (shown with '?').
bool FindFiles(const std::string& folder, const std::string& mask, std::vector<std::string>& list,
               std::vector<std::string>* unnamed = nullptr);
// Claims the first free working folder under the temp path, searching from
// *number (when given, else 0) and leaving the number after the claimed one
// there. The path ends in the delimiter; it is empty (and the reason in
// *error) when no folder can be created.
std::string NewTempFolder(int* error = nullptr, unsigned long* number = nullptr);
std::string GetTempDir();
bool FolderExists(const std::string& path);
// The first match of a bare file name on the search path, or the name itself.
std::string FindOnSearchPath(const std::string& name);

// Splits a group's source mask after its last delimiter: the folder keeps
// the delimiter, the mask text is the rest. Without a delimiter the folder is
// empty (and selects nothing).
void SplitSourceMask(const std::string& sourceMask, std::string& folder, std::string& maskText);

// Path helpers.
std::string IncludeTrailingDelimiter(const std::string& folder);
std::string ExtractFileName(const std::string& path);
// The same, as a view into path.
std::string_view FileNameOf(std::string_view path);
// The folder part with its final delimiter; empty for a bare name.
std::string ExtractFileFolder(const std::string& path);
