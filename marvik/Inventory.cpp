#include "Inventory.h"

#include <algorithm>
#include <ctime>
#include <vector>

#include "Commands.h"
#include "KeyFacts.h"
#include "PgpKeys.h"
#include "config/SettingsFile.h"
#include "config/uIniUtil.h"
#include "crypto/ScriptKeys.h"
#include "crypto/StepKinds.h"
#include "engine/uTesselTypes.h"
#include "platform/Cp1251.h"
#include "platform/Files.h"

namespace marvik {
namespace {

std::string DateOrBlank(int64_t seconds, const char* blank) {
  return seconds == 0 ? blank : orlak::UtcDate(seconds);
}

std::string Capabilities(const orlak::KeyFacts& facts) {
  std::string text = facts.canSign ? "sign" : "";
  if (facts.canEncrypt) text += text.empty() ? "encrypt" : ",encrypt";
  return text;
}

// "group/step N (kind)" for each use of a key, '; ' between them.
std::string UsedBy(const std::vector<TKeyUseSite>& uses) {
  std::string text;
  for (const TKeyUseSite& use : uses) {
    if (!text.empty()) text += "; ";
    text += platform::Cp1251ToUtf8(use.Group) + "/" + std::to_string(use.Step) + " (" +
            platform::Cp1251ToUtf8(use.Caption) + ")";
  }
  return text;
}

// The uses that name this key: by its file's identifier, its fingerprint or
// (OpenPGP) its e-mail, key ID or fingerprint as the library looks it up.
bool Names(const TKeyUseSite& use, const orlak::KeyFacts& facts, const std::string& folder) {
  if (use.Secret != facts.secret) return false;
  if (use.Id == facts.id || use.Id == orlak::pgp::RotationBase(facts.id)) return true;
  orlak::KeyFacts named;
  return facts.format == "openpgp" &&
         orlak::FindKeyFacts(folder, facts.secret, use.Id, 0, named) == 0 &&
         named.path == facts.path;
}

}  // namespace

int ListInventory(const InventoryRequest& request, std::ostream& out, std::ostream& err) {
  std::string secretFolder = request.secretFolder, publicFolder = request.publicFolder;
  int warnDays = request.warnDays;
  std::vector<TKeyUseSite> uses;
  if (!request.script.empty()) {
    auto script = platform::Utf8ToCp1251(request.script);
    platform::FileStat stat;
    if (!script || platform::StatPath(*script, stat) != 0 || stat.isFolder) {
      err << "marvik: cannot read the settings file " << request.script << "\n";
      return kExitFailure;
    }
    TTesselGroups registry(CryptoStepKinds());
    LoadFromIni(registry, *script);
    if (secretFolder.empty()) secretFolder = platform::Cp1251ToUtf8(registry.SecKeysPath);
    if (publicFolder.empty()) publicFolder = platform::Cp1251ToUtf8(registry.PubKeysPath);
    if (!request.daysGiven) warnDays = ReadIniInteger("MAIN", "KEY_WARN_DAYS", warnDays, *script);
    uses = ScriptKeyUses(registry);
  }
  const int64_t now = std::time(nullptr);
  out << "folder\tidentifier\tformat\tfingerprint\talgorithm\tcreated\texpires\tcan\tstate\tused "
         "by\n";
  std::vector<bool> provided(uses.size(), false);
  for (bool secret : {true, false}) {
    const std::string& folder = secret ? secretFolder : publicFolder;
    if (folder.empty()) continue;
    for (const orlak::KeyFacts& facts : orlak::FolderKeyFacts(folder, secret, now)) {
      std::vector<TKeyUseSite> mine;
      for (size_t i = 0; i < uses.size(); ++i) {
        if (!Names(uses[i], facts, folder)) continue;
        mine.push_back(uses[i]);
        provided[i] = true;
      }
      out << (secret ? "secret" : "public") << "\t" << platform::Cp1251ToUtf8(facts.id) << "\t"
          << facts.format << "\t" << facts.fingerprint << "\t" << facts.algorithm << "\t"
          << DateOrBlank(facts.created, "") << "\t"
          << (facts.condition == orlak::KeyCondition::kRefused
                  ? ""
                  : DateOrBlank(facts.expires, "never"))
          << "\t" << Capabilities(facts) << "\t" << orlak::ConditionText(facts, now, warnDays)
          << "\t" << UsedBy(mine) << "\n";
    }
  }
  // Each missing identifier once, with every step that names it.
  std::vector<std::pair<std::string, bool>> named;
  for (size_t i = 0; i < uses.size(); ++i) {
    if (provided[i]) continue;
    const std::pair<std::string, bool> key{uses[i].Id, uses[i].Secret};
    if (std::find(named.begin(), named.end(), key) != named.end()) continue;
    named.push_back(key);
    std::vector<TKeyUseSite> sites;
    for (size_t j = i; j < uses.size(); ++j)
      if (!provided[j] && uses[j].Id == key.first && uses[j].Secret == key.second)
        sites.push_back(uses[j]);
    out << (key.second ? "secret" : "public") << "\t" << platform::Cp1251ToUtf8(key.first)
        << "\t\t\t\t\t\t\tmissing: no key file provides it\t" << UsedBy(sites) << "\n";
  }
  return kExitOk;
}

}  // namespace marvik
