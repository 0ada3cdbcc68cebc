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
#include "KeyStore.h"
#include "PgpCertify.h"
#include "PgpKeyFiles.h"
#include "PgpKeys.h"
#include "platform/Cp1251.h"
#include "platform/Files.h"

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
  // Read both ways: a file that holds usable secret keys is listed as
  // secret, any other as public (with what is wrong with it); each key of a
  // file on a line of its own.
  std::string loosePath;
  for (const orlak::pgp::ListedKey& key : orlak::pgp::ListKeysBothWays(folder)) {
    if (key.file->path == loosePath) continue;  // named once, however many keys it holds
    const bool secret = key.secret;
    const orlak::pgp::KeyFile& file = *key.file;
    if (!secret) {
      if (const mode_t mode = orlak::LooseSecretKeyMode(file.path); mode != 0) {
        // As ssh does with private keys: named, and not used.
        char octal[16];
        std::snprintf(octal, sizeof octal, "%04o", static_cast<unsigned>(mode) & 07777);
        out << "secret\t" << platform::Cp1251ToUtf8(file.id) << "\trefused: mode " << octal
            << " lets group or others access it; not used until chmod 600\n";
        loosePath = file.path;
        continue;
      }
    }
    out << (secret ? "secret" : "public") << "\t" << platform::Cp1251ToUtf8(file.id) << "\t"
        << orlak::pgp::Describe(file, secret) << "\n";
  }
}

namespace {

int64_t Now() {
  return static_cast<int64_t>(std::time(nullptr));
}

}  // namespace

int MakeSuccessor(const std::string& id, const std::string& secretFolder,
                  const std::string& publicFolder, const SuccessorOptions& options,
                  std::ostream& out, std::ostream& err) {
  std::string cp1251;
  if (!IdOf(id, cp1251, err)) return kUsage;
  const std::string base = orlak::pgp::RotationBase(cp1251);
  const auto lock = orlak::pgp::Lock();
  const orlak::pgp::KeyFile* current = nullptr;
  const uint16_t found = orlak::pgp::FindKey(secretFolder, true, base, current);
  if (found != orlak::kOk || !current || !orlak::pgp::IsUsable(*current, true)) {
    err << "marvik: " << id << " has no usable OpenPGP secret key in " << secretFolder << ": "
        << orlak::CodeName(found != orlak::kOk ? found : uint16_t{orlak::kKeyExpiredOrRevoked})
        << "\n";
    return kFailure;
  }
  const std::string currentId = current->id, currentFingerprint = current->fingerprint;
  orlak::pgp::NewKey request;
  {
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    gmtime_r(&now, &tm);
    request.id = base + "." + std::to_string(tm.tm_year + 1900);
  }
  if (!orlak::IsValidKeyId(request.id)) {
    err << "marvik: the successor's name " << platform::Cp1251ToUtf8(request.id)
        << " is longer than an identifier may be (13 characters)\n";
    return kUsage;
  }
  request.userId = orlak::pgp::PrimaryUserId(*current, true);
  if (request.userId.empty()) {
    err << "marvik: " << id << " has no user ID to hand on\n";
    return kFailure;
  }
  request.algorithm = options.algorithm;
  if (!options.expires.empty() && (request.expiresAt = EndOfDay(options.expires)) == 0) {
    err << "marvik: the expiry date must be a later day as YYYY-MM-DD\n";
    return kUsage;
  }
  const std::string exportPath = options.exportFile.empty()
                                     ? platform::Cp1251ToUtf8(request.id) + ".certified.asc"
                                     : options.exportFile;
  const int made =
      Written(orlak::pgp::CreateKeyFiles(secretFolder, publicFolder, request),
              "created OpenPGP key " + platform::Cp1251ToUtf8(request.id) + ", successor of " +
                  platform::Cp1251ToUtf8(currentId) + " (" + currentFingerprint + ")" +
                  "\n  secret: " + orlak::pgp::KeyFilePath(secretFolder, request.id) +
                  "\n  public: " + orlak::pgp::KeyFilePath(publicFolder, request.id),
              out, err);
  if (made != kOk) return made;
  // The folders changed: their keys are read again, the current key's too.
  const orlak::pgp::KeyFile* signer = nullptr;
  const orlak::pgp::KeyFile* successor = nullptr;
  std::string armored;
  uint16_t code = orlak::pgp::FindKey(publicFolder, false, request.id, successor);
  for (const orlak::pgp::KeyFile& file : orlak::pgp::FolderKeys(secretFolder, true))
    if (file.fingerprint == currentFingerprint) signer = &file;
  if (code == orlak::kOk && !signer) code = orlak::kKeyNotFound;
  if (code == orlak::kOk)
    code = orlak::pgp::CertifiedPublicKey(*signer, *successor, Now(), armored);
  if (code == orlak::kKeyCapabilityMissing) {
    err << "marvik: " << platform::Cp1251ToUtf8(currentId)
        << " is neither an Ed25519 nor an RSA key, the kinds that certify another key here, so "
           "the successor stays uncertified; give the partner its fingerprint over another "
           "channel\n";
    return kFailure;
  }
  if (code != orlak::kOk) {
    err << "marvik: the certification failed: " << orlak::CodeName(code) << "\n";
    return kFailure;
  }
  const int error = orlak::WriteNewFile(
      exportPath, reinterpret_cast<const unsigned char*>(armored.data()), armored.size(), 0644);
  if (error != 0) {
    err << "marvik: cannot write " << exportPath << ": " << std::strerror(error) << "\n";
    return kFailure;
  }
  out << "  for the partner, certified by " << platform::Cp1251ToUtf8(currentId) << ": "
      << exportPath << "\n";
  return kOk;
}

int RetireKey(const std::string& name, const std::vector<std::string>& folders, std::ostream& out,
              std::ostream& err) {
  // A path names its file and folder; a bare name is looked for in each folder.
  std::string typed = name, only;
  if (const size_t slash = name.rfind('/'); slash != std::string::npos) {
    only = name.substr(0, slash + 1);
    typed = name.substr(slash + 1);
    for (const char* suffix : orlak::pgp::kPgpSuffixes)
      if (typed.size() > std::strlen(suffix) &&
          typed.compare(typed.size() - std::strlen(suffix), std::string::npos, suffix) == 0)
        typed.resize(typed.size() - std::strlen(suffix));
  }
  std::string id;
  if (!IdOf(typed, id, err)) return kUsage;
  const std::vector<std::string> where = only.empty() ? folders : std::vector<std::string>{only};
  const auto lock = orlak::pgp::Lock();
  struct Move {
    std::string from, folder;
  };
  std::vector<Move> moves;
  for (const std::string& folder : where) {
    // Read as secret where the file holds secret keys, else as public.
    for (bool secret : {true, false}) {
      const std::vector<orlak::pgp::KeyFile>& keys = orlak::pgp::FolderKeys(folder, secret);
      std::string path;
      for (const orlak::pgp::KeyFile& file : keys)
        if (file.id == id && (secret ? file.code == orlak::kOk : true)) path = file.path;
      if (path.empty()) continue;
      // After the overlap, never before: the identifier keeps a usable key.
      const std::string base = orlak::pgp::RotationBase(id);
      bool othersUsable = false;
      for (const orlak::pgp::KeyFile* other : orlak::pgp::RotationKeys(folder, secret, base))
        if (other->path != path && orlak::pgp::IsUsable(*other, secret)) othersUsable = true;
      if (!othersUsable) {
        err << "marvik: " << path << " holds the only usable key of "
            << platform::Cp1251ToUtf8(base) << "; put its successor beside it before retiring it\n";
        return kFailure;
      }
      if (std::none_of(moves.begin(), moves.end(), [&](const Move& m) { return m.from == path; }))
        moves.push_back({path, folder});
      break;
    }
  }
  if (moves.empty()) {
    err << "marvik: no OpenPGP key file named " << typed << " in "
        << (only.empty() ? "the folders given" : only) << "\n";
    return kFailure;
  }
  for (const Move& move : moves) {
    const std::string retired = move.folder + (move.folder.back() == '/' ? "" : "/") + "retired/";
    const std::string to = retired + move.from.substr(move.from.rfind('/') + 1);
    const auto cpRetired = platform::Utf8ToCp1251(retired);
    const auto cpFrom = platform::Utf8ToCp1251(move.from);
    const auto cpTo = platform::Utf8ToCp1251(to);
    if (!cpRetired || !cpFrom || !cpTo) return kFailure;
    int error = platform::CreateFolder(*cpRetired, 0700);
    platform::FileStat st;
    if (error == 0 || error == EEXIST)
      error = platform::LinkStat(*cpTo, st) == 0 ? EEXIST : platform::RenameFile(*cpFrom, *cpTo);
    if (error != 0) {
      err << "marvik: cannot move " << move.from << " to " << to << ": " << std::strerror(error)
          << (error == EEXIST ? " (a retired key is never replaced)" : "") << "\n";
      return kFailure;
    }
    out << "retired " << move.from << "\n  now " << to << "\n";
  }
  return kOk;
}

}  // namespace marvik
