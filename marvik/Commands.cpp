#include "Commands.h"

#include <dirent.h>
#include <sodium.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "Codes.h"
#include "KeyId.h"
#include "KeyStore.h"
#include "Keys.h"
#include "PgpCommands.h"
#include "SelfTest.h"
#include "platform/Cp1251.h"

namespace marvik {
namespace {

bool StartSodium(std::ostream& err) {
  if (sodium_init() >= 0) return true;
  err << "marvik: libsodium cannot be initialised\n";
  return false;
}

bool EndsWith(const std::string& s, const std::string& suffix) {
  return s.size() > suffix.size() &&
         s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A file name as it may be shown on a terminal: control characters (C0, DEL
// and the UTF-8 forms of C1) become '?', so that a name planted in a shared
// key folder cannot send escape sequences to the operator's terminal.
std::string Printable(const std::string& name) {
  std::string shown;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    const auto next = i + 1 < name.size() ? static_cast<unsigned char>(name[i + 1]) : 0;
    if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {
      shown += '?';
      ++i;
    } else {
      shown += c < 0x20 || c == 0x7F ? '?' : name[i];
    }
  }
  return shown;
}

// One line per key file: kind, identifier, fingerprint or what is wrong.
std::string DescribeKeyFile(const std::string& folder, const std::string& name) {
  const bool isPublic = EndsWith(name, orlak::kPublicKeySuffix);
  const std::string stem = name.substr(0, name.size() - 4);
  std::string line = std::string(isPublic ? "public" : "secret") + "\t" + Printable(stem) + "\t";
  auto id = platform::Utf8ToCp1251(stem);
  if (!id || !orlak::IsValidKeyId(*id)) return line + "invalid identifier in the file name";
  uint16_t code;
  std::string fingerprint;
  if (isPublic) {
    orlak::PublicKey key;
    code = orlak::LoadPublicKey(folder, *id, key);
    if (code == orlak::kOk) fingerprint = orlak::Fingerprint(key);
  } else {
    orlak::SecretKey key;
    mode_t openMode = 0;
    code = orlak::LoadSecretKey(folder, *id, key, &openMode);
    if (openMode != 0) {
      // As ssh does with private keys: named, and not used.
      char mode[16];
      std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(openMode));
      return line + "refused: mode " + mode +
             " lets group or others access it; not used until chmod 600";
    }
    if (code == orlak::kOk) fingerprint = orlak::Fingerprint(key.pub);
  }
  if (code != orlak::kOk) return line + "unusable: " + orlak::CodeName(code);
  return line + fingerprint;
}

}  // namespace

bool EnsureFolder(const std::string& folder, mode_t mode, std::ostream& err) {
  // Missing parents are made as mkdir -p makes them; only the folder itself
  // gets the mode asked for (a secret-key folder's 0700).
  for (size_t end = folder.find('/', 1);; end = folder.find('/', end + 1)) {
    const bool last = end == std::string::npos;
    const std::string path = last ? folder : folder.substr(0, end);
    struct stat st;
    if (::stat(path.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) {
        err << "marvik: " << path << " is not a folder\n";
        return false;
      }
    } else if (::mkdir(path.c_str(), last ? mode : 0755) != 0 && errno != EEXIST) {
      err << "marvik: cannot create folder " << path << ": " << std::strerror(errno) << "\n";
      return false;
    }
    if (last) return true;
  }
}

int CreateKeyPair(const std::string& id, const std::string& secretFolder,
                  const std::string& publicFolder, std::ostream& out, std::ostream& err) {
  auto cp1251 = platform::Utf8ToCp1251(id);
  if (!cp1251 || !orlak::IsValidKeyId(*cp1251)) {
    err << "marvik: invalid identifier '" << id
        << "': 1 to 13 Windows-1251 characters, no '/', '\\', ':' or control characters\n";
    return kExitUsage;
  }
  if (!StartSodium(err)) return kExitFailure;
  if (!EnsureFolder(secretFolder, 0700, err) || !EnsureFolder(publicFolder, 0755, err))
    return kExitFailure;
  orlak::SecretKey key;
  orlak::GenerateKeyPair(*cp1251, key);
  std::string failedPath;
  int error = orlak::CreateKeyFiles(secretFolder, publicFolder, key, failedPath);
  if (error == EEXIST) {
    err << "marvik: " << failedPath << " exists; an existing key is never replaced\n";
    return kExitFailure;
  }
  if (error != 0) {
    err << "marvik: cannot write " << failedPath << ": " << std::strerror(error) << "\n";
    return kExitFailure;
  }
  out << "created key " << id << "\n"
      << "  secret: " << orlak::SecretKeyPath(secretFolder, *cp1251) << "\n"
      << "  public: " << orlak::PublicKeyPath(publicFolder, *cp1251) << "\n"
      << "  fingerprint: " << orlak::Fingerprint(key.pub) << "\n";
  return kExitOk;
}

int ListKeys(const std::string& folder, std::ostream& out, std::ostream& err) {
  if (!StartSodium(err)) return kExitFailure;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) {
    err << "marvik: cannot read folder " << folder << ": " << std::strerror(errno) << "\n";
    return kExitFailure;
  }
  std::vector<std::string> names;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (EndsWith(name, orlak::kPublicKeySuffix) || EndsWith(name, orlak::kSecretKeySuffix))
      names.push_back(name);
  }
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) out << DescribeKeyFile(folder, name) << "\n";
  ListPgpKeys(folder, out);
  return kExitOk;
}

int SelfTest(std::ostream& out, std::ostream& err) {
  std::string failed = orlak::RunSelfTest();
  if (!failed.empty()) {
    err << "marvik: self-test failed: " << failed << "\n";
    return kExitFailure;
  }
  out << "marvik: self-test passed\n";
  return kExitOk;
}

}  // namespace marvik
