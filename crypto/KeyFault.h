// What an operator must mend when a step failed for its keys: the first
// key folder or key file of the step that is missing, refused for its mode
// or unreadable, said with the fix. Looked up after the failure, from the
// folders and the step's identifiers, so the line names the key even where
// the library's code does not.
#pragma once

#include <string>
#include <vector>

struct TKeyScene {
  std::string SecretFolder, PublicFolder;
  std::vector<std::string> SecretIds, PublicIds;  // as the step names them
};

// The fields of one log line: what is wrong, with which key, folder or
// file, and how to mend it. Empty when every folder and key file named looks
// sound (the fault is then the library's or the key's content).
std::vector<std::string> DescribeKeyFault(const TKeyScene& scene);
