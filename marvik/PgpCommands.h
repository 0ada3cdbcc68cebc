// marvik's commands for OpenPGP keys. Arguments as typed (the terminal's
// UTF-8); results to out, complaints to err; each returns the exit status.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace marvik {

struct PgpKeyOptions {
  std::string algorithm = "ed25519";  // or "rsa3072", "rsa4096"
  std::string expires;                // YYYY-MM-DD, empty for never
};

int CreatePgpKey(const std::string& id, const std::string& secretFolder,
                 const std::string& publicFolder, const std::string& userId,
                 const PgpKeyOptions& options, std::ostream& out, std::ostream& err);
int ImportPublic(const std::string& id, const std::string& publicFolder, const std::string& file,
                 std::ostream& out, std::ostream& err);
// The passphrase, when the key has one, is read once from the terminal (or
// from passphraseInput when it is not a terminal).
int ImportSecret(const std::string& id, const std::string& secretFolder,
                 const std::string& publicFolder, const std::string& file,
                 std::istream& passphraseInput, std::ostream& out, std::ostream& err);
int ExportPublic(const std::string& id, const std::string& folder, std::ostream& out,
                 std::ostream& err);
int FindKeys(const std::string& folder, const std::string& identifier, std::ostream& out,
             std::ostream& err);
struct SuccessorOptions {
  std::string algorithm = "ed25519";  // or "rsa3072", "rsa4096"
  std::string expires;                // YYYY-MM-DD, empty for never
  std::string exportFile;             // empty: "<ID>.<year>.certified.asc" here
};
// A new key "<ID>.<year>" beside the identifier's newest usable key, with its
// primary user ID, and its public key for the partner certified by that key.
int MakeSuccessor(const std::string& id, const std::string& secretFolder,
                  const std::string& publicFolder, const SuccessorOptions& options,
                  std::ostream& out, std::ostream& err);
// Moves the key file named (a path, or an identifier looked for in each
// folder) into "retired/" beside it; refused while it holds the only usable
// key of its identifier.
int RetireKey(const std::string& name, const std::vector<std::string>& folders, std::ostream& out,
              std::ostream& err);

// One line per OpenPGP key file of the folder (after the liborlak ones).
void ListPgpKeys(const std::string& folder, std::ostream& out);

}  // namespace marvik
