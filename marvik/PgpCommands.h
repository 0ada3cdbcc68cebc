// marvik's commands for OpenPGP keys. Arguments as typed (the terminal's
// UTF-8); results to out, complaints to err; each returns the exit status.
#pragma once

#include <istream>
#include <ostream>
#include <string>

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
// One line per OpenPGP key file of the folder (after the liborlak ones).
void ListPgpKeys(const std::string& folder, std::ostream& out);

}  // namespace marvik
