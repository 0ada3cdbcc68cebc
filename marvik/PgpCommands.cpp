#include "PgpCommands.h"

#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "Codes.h"
#include "Commands.h"
#include "KeyFacts.h"
#include "KeyId.h"
#include "PgpKeyFiles.h"
#include "PgpKeys.h"
#include "platform/Cp1251.h"

namespace marvik {
namespace {

constexpr int kOk = 0, kFailure = 1, kUsage = 2;

bool IdOf(const std::string& typed, std::string& id, std::ostream& err) {
  auto cp1251 = platform::Utf8ToCp1251(typed);
  if (cp1251 && orlak::IsValidKeyId(*cp1251)) {
    id = *cp1251;
    return true;
  }
  err << "marvik: invalid identifier '" << typed
      << "': 1 to 13 Windows-1251 characters, no '/', '\\', ':' or control characters\n";
  return false;
}

bool ReadWhole(const std::string& path, std::string& bytes, std::ostream& err) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    err << "marvik: cannot read " << path << ": " << std::strerror(errno) << "\n";
    return false;
  }
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

int Written(const orlak::pgp::KeyFileResult& result, const std::string& what, std::ostream& out,
            std::ostream& err) {
  if (result.error == EEXIST) {
    err << "marvik: " << result.failedPath << " exists; an existing key is never replaced\n";
    return kFailure;
  }
  if (result.error != 0) {
    err << "marvik: cannot write " << result.failedPath << ": " << std::strerror(result.error)
        << "\n";
    return kFailure;
  }
  if (result.code != orlak::kOk) {
    err << "marvik: " << orlak::CodeName(result.code) << "\n";
    return kFailure;
  }
  out << what << "\n  fingerprint: " << result.fingerprint << "\n";
  return kOk;
}

// The end of the given UTC day; 0 when not a later date.
int64_t EndOfDay(const std::string& date) {
  std::tm tm{};
  if (!strptime(date.c_str(), "%Y-%m-%d", &tm)) return 0;
  tm.tm_hour = 23;
  tm.tm_min = 59;
  tm.tm_sec = 59;
  const std::time_t end = timegm(&tm);
  const std::time_t now = std::time(nullptr);
  return end > now ? end : 0;
}

// One line of the terminal with echo off, or of the input when there is no
// terminal.
std::string ReadPassphrase(std::istream& input, std::ostream& err) {
  std::string line;
  if (::isatty(STDIN_FILENO)) {
    err << "Passphrase of the key: " << std::flush;
    termios old{};
    ::tcgetattr(STDIN_FILENO, &old);
    termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    std::getline(input, line);
    ::tcsetattr(STDIN_FILENO, TCSANOW, &old);
    err << "\n";
  } else {
    std::getline(input, line);
  }
  return line;
}

// The folder's key file an identifier names, in either kind of folder.
const orlak::pgp::KeyFile* Resolve(const std::string& folder, const std::string& id, bool& secret,
                                   std::vector<std::string>& candidates, uint16_t& code) {
  const orlak::pgp::KeyFile* file = nullptr;
  for (bool kind : {false, true}) {
    candidates.clear();
    code = orlak::pgp::FindKey(folder, kind, id, file, &candidates);
    if (file || code == orlak::kAmbiguousKey) {
      secret = kind;
      return file;
    }
  }
  return nullptr;
}

}  // namespace

int CreatePgpKey(const std::string& id, const std::string& secretFolder,
                 const std::string& publicFolder, const std::string& userId,
                 const PgpKeyOptions& options, std::ostream& out, std::ostream& err) {
  orlak::pgp::NewKey request;
  if (!IdOf(id, request.id, err)) return kUsage;
  if (options.algorithm != "ed25519" && options.algorithm != "rsa3072" &&
      options.algorithm != "rsa4096") {
    err << "marvik: unknown algorithm '" << options.algorithm << "': ed25519, rsa3072 or rsa4096\n";
    return kUsage;
  }
  if (!options.expires.empty() && (request.expiresAt = EndOfDay(options.expires)) == 0) {
    err << "marvik: the expiry date must be a later day as YYYY-MM-DD\n";
    return kUsage;
  }
  request.userId = userId;
  request.algorithm = options.algorithm;
  if (!EnsureFolder(secretFolder, 0700, err) || !EnsureFolder(publicFolder, 0755, err))
    return kFailure;
  const auto lock = orlak::pgp::Lock();
  return Written(orlak::pgp::CreateKeyFiles(secretFolder, publicFolder, request),
                 "created OpenPGP key " + id +
                     "\n  secret: " + orlak::pgp::KeyFilePath(secretFolder, request.id) +
                     "\n  public: " + orlak::pgp::KeyFilePath(publicFolder, request.id),
                 out, err);
}

int ImportPublic(const std::string& id, const std::string& publicFolder, const std::string& file,
                 std::ostream& out, std::ostream& err) {
  std::string cp1251, bytes;
  if (!IdOf(id, cp1251, err)) return kUsage;
  if (!ReadWhole(file, bytes, err)) return kFailure;
  const auto lock = orlak::pgp::Lock();
  return Written(orlak::pgp::ImportPublicKey(bytes, publicFolder, cp1251),
                 "imported public key " + id + " as " +
                     orlak::pgp::KeyFilePath(publicFolder, cp1251) +
                     "\n  compare the fingerprint with the key's owner over another channel",
                 out, err);
}

int ImportSecret(const std::string& id, const std::string& secretFolder,
                 const std::string& publicFolder, const std::string& file,
                 std::istream& passphraseInput, std::ostream& out, std::ostream& err) {
  std::string cp1251, bytes;
  if (!IdOf(id, cp1251, err)) return kUsage;
  if (!ReadWhole(file, bytes, err)) return kFailure;
  const auto lock = orlak::pgp::Lock();
  std::string passphrase;
  if (orlak::pgp::NeedsPassphrase(bytes)) passphrase = ReadPassphrase(passphraseInput, err);
  const auto result =
      orlak::pgp::ImportSecretKey(bytes, passphrase, secretFolder, publicFolder, cp1251);
  std::fill(passphrase.begin(), passphrase.end(), '\0');
  std::fill(bytes.begin(), bytes.end(), '\0');
  if (result.code == orlak::kSecretKeyProtected) {
    err << "marvik: the passphrase does not open the key\n";
    return kFailure;
  }
  return Written(result,
                 "imported secret key " + id + " as " +
                     orlak::pgp::KeyFilePath(secretFolder, cp1251) + " (unprotected, mode 0600)",
                 out, err);
}

int ExportPublic(const std::string& id, const std::string& folder, std::ostream& out,
                 std::ostream& err) {
  auto cp1251 = platform::Utf8ToCp1251(id);
  if (!cp1251) return kUsage;
  const auto lock = orlak::pgp::Lock();
  bool secret = false;
  std::vector<std::string> candidates;
  uint16_t code = 0;
  const orlak::pgp::KeyFile* file = Resolve(folder, *cp1251, secret, candidates, code);
  std::string armored;
  if (file) code = orlak::pgp::ExportPublicKey(*file, armored);
  if (!file || code != orlak::kOk) {
    err << "marvik: " << id << ": " << orlak::CodeName(code) << "\n";
    return kFailure;
  }
  out << armored;
  return kOk;
}

int FindKeys(const std::string& folder, const std::string& identifier, std::ostream& out,
             std::ostream& err) {
  auto cp1251 = platform::Utf8ToCp1251(identifier);
  if (!cp1251) return kUsage;
  const auto lock = orlak::pgp::Lock();
  bool secret = false;
  std::vector<std::string> candidates;
  uint16_t code = 0;
  const orlak::pgp::KeyFile* file = Resolve(folder, *cp1251, secret, candidates, code);
  if (file) candidates = {file->id};
  if (candidates.empty()) {
    err << "marvik: no OpenPGP key in " << folder << " matches " << identifier << "\n";
    return kFailure;
  }
  for (const std::string& id : candidates) out << platform::Cp1251ToUtf8(id) << "\n";
  if (code == orlak::kAmbiguousKey) {
    err << "marvik: " << identifier << " matches " << candidates.size()
        << " keys; name one by its identifier\n";
    return kFailure;
  }
  return kOk;
}

void ListPgpKeys(const std::string& folder, std::ostream& out) {
  const auto lock = orlak::pgp::Lock();
  // Read both ways: a file that holds a usable secret key is listed as
  // secret, any other as public (with what is wrong with it).
  const auto& secrets = orlak::pgp::FolderKeys(folder, true);
  const auto& publics = orlak::pgp::FolderKeys(folder, false);
  for (size_t i = 0; i < publics.size() && i < secrets.size(); ++i) {
    const bool secret = secrets[i].code == orlak::kOk;
    const orlak::pgp::KeyFile& file = secret ? secrets[i] : publics[i];
    if (!secret) {
      if (const mode_t mode = orlak::LooseSecretKeyMode(file.path); mode != 0) {
        // As ssh does with private keys: named, and not used.
        char octal[16];
        std::snprintf(octal, sizeof octal, "%04o", static_cast<unsigned>(mode) & 07777);
        out << "secret\t" << platform::Cp1251ToUtf8(file.id) << "\trefused: mode " << octal
            << " lets group or others access it; not used until chmod 600\n";
        continue;
      }
    }
    out << (secret ? "secret" : "public") << "\t" << platform::Cp1251ToUtf8(file.id) << "\t"
        << orlak::pgp::Describe(file, secret) << "\n";
  }
}

}  // namespace marvik
