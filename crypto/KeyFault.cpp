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

}  // namespace

std::vector<std::string> DescribeKeyFault(const TKeyScene& scene) {
  if (!scene.SecretIds.empty()) {
    if (std::string fault = FolderFault(scene.SecretFolder, "Папка секретных ключей не найдена");
        !fault.empty())
      return {fault, scene.SecretFolder, "проверьте путь к папке секретных ключей"};
    for (const std::string& id : scene.SecretIds) {
      const std::string path = KeyFile(scene.SecretFolder, id, kSecretSuffixes);
      if (path.empty()) {
        if (MayNameByContent(id)) continue;
        return {"Секретный ключ не найден", id, scene.SecretFolder,
                "проверьте идентификатор ключа в шаге"};
      }
      platform::FileStat stat;
      if (platform::StatPath(path, stat) == 0 && (stat.mode & 077) != 0) {
        char mode[8];
        std::snprintf(mode, sizeof mode, "%04o", stat.mode & 07777);
        return {"Файл секретного ключа доступен другим (права " + std::string(mode) + ")", path,
                "исправьте: chmod 600 " + path};
      }
      if (platform::MayReadFile(path) != 0)
        return {"Нет доступа к файлу секретного ключа", path,
                "дайте права на чтение пользователю программы"};
    }
  }
  if (!scene.PublicIds.empty()) {
    if (std::string fault = FolderFault(scene.PublicFolder, "Папка открытых ключей не найдена");
        !fault.empty())
      return {fault, scene.PublicFolder, "проверьте путь к папке открытых ключей"};
    for (const std::string& id : scene.PublicIds) {
      const std::string path = KeyFile(scene.PublicFolder, id, kPublicSuffixes);
      if (path.empty()) {
        if (MayNameByContent(id)) continue;
        return {"Открытый ключ не найден", id, scene.PublicFolder,
                "положите ключ в папку или исправьте идентификатор в шаге"};
      }
      if (platform::MayReadFile(path) != 0)
        return {"Нет доступа к файлу открытого ключа", path,
                "дайте права на чтение пользователю программы"};
    }
  }
  return {};
}
