#include "crypto/KeyFault.h"

#include "engine/uFileUtil.h"
#include "platform/Access.h"
#include "platform/Files.h"

namespace {

// The names a key of the identifier may have in a key folder: liborlak's
// own, then OpenPGP's.
const char* const kSecretSuffixes[] = {".sec", ".asc", ".pgp", ".gpg"};
const char* const kPublicSuffixes[] = {".pub", ".asc", ".pgp", ".gpg"};

std::string FolderFault(const std::string& folder, const char* missingText) {
  platform::FileStat stat;
  if (folder.empty() || platform::StatPath(folder, stat) != 0 || !stat.isFolder) return missingText;
  if (platform::MayListFolder(folder) != 0) return "Нет доступа к папке ключей";
  return {};
}

// The identifier's key file in the folder; empty when it has none.
template <size_t N>
std::string KeyFile(const std::string& folder, const std::string& id,
                    const char* const (&suffixes)[N]) {
  for (const char* suffix : suffixes) {
    const std::string path = IncludeTrailingDelimiter(folder) + id + suffix;
    platform::FileStat stat;
    if (platform::LinkStat(path, stat) == 0) return path;
  }
  return {};
}

// An identifier that may name an OpenPGP key by fingerprint, key ID or
// e-mail address rather than by file name: its absence proves nothing.
bool MayNameByContent(const std::string& id) {
  if (id.find('@') != std::string::npos) return true;
  if (id.size() != 16 && id.size() != 40 && id.size() != 64) return false;
  for (char c : id)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
  return true;
}

// The texts of one side of the key folders.
struct TSide {
  const char* missingFolder;
  const char* folderFix;
  const char* missingKey;
  const char* keyFix;
  const char* unreadable;
  bool secret;  // a secret key file must be its owner's alone
};

constexpr TSide kSecretSide{"Папка секретных ключей не найдена",
                            "проверьте путь к папке секретных ключей",
                            "Секретный ключ не найден",
                            "проверьте идентификатор ключа в шаге",
                            "Нет доступа к файлу секретного ключа",
                            true};
constexpr TSide kPublicSide{"Папка открытых ключей не найдена",
                            "проверьте путь к папке открытых ключей",
                            "Открытый ключ не найден",
                            "положите ключ в папку или исправьте идентификатор в шаге",
                            "Нет доступа к файлу открытого ключа",
                            false};

std::vector<std::string> SideFault(const TSide& side, const std::string& folder,
                                   const std::vector<std::string>& ids) {
  if (ids.empty()) return {};
  if (std::string fault = FolderFault(folder, side.missingFolder); !fault.empty())
    return {fault, folder, side.folderFix};
  for (const std::string& id : ids) {
    const std::string path =
        side.secret ? KeyFile(folder, id, kSecretSuffixes) : KeyFile(folder, id, kPublicSuffixes);
    if (path.empty()) {
      if (MayNameByContent(id)) continue;
      return {side.missingKey, id, folder, side.keyFix};
    }
    platform::FileStat stat;
    if (side.secret && platform::StatPath(path, stat) == 0 && (stat.mode & 077) != 0) {
      char mode[8];
      std::snprintf(mode, sizeof mode, "%04o", stat.mode & 07777);
      return {"Файл секретного ключа доступен другим (права " + std::string(mode) + ")", path,
              "исправьте: chmod 600 " + path};
    }
    if (platform::MayReadFile(path) != 0)
      return {side.unreadable, path, "дайте права на чтение пользователю программы"};
  }
  return {};
}

}  // namespace

std::vector<std::string> DescribeKeyFault(const TKeyScene& scene) {
  std::vector<std::string> fault = SideFault(kSecretSide, scene.SecretFolder, scene.SecretIds);
  return fault.empty() ? SideFault(kPublicSide, scene.PublicFolder, scene.PublicIds) : fault;
}
