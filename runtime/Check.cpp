#include "runtime/Check.h"

#include <cerrno>
#include <ctime>
#include <map>

#include "crypto/Orlak.h"
#include "crypto/ScriptKeys.h"
#include "engine/StepSettings.h"
#include "engine/uFileUtil.h"
#include "engine/uTesselTypes.h"
#include "masks/FileMask.h"
#include "platform/Access.h"
#include "platform/Clock.h"
#include "platform/Files.h"
#include "platform/RunLock.h"
#include "platform/WorkFolders.h"
#include "runtime/GroupNames.h"
#include "runtime/ScriptSettings.h"

namespace {

std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}

// Whether two folders are one, by the file system where both exist.
bool SameFolder(const std::string& a, const std::string& b) {
  if (a.empty() || b.empty()) return false;
  platform::FileStat sa, sb;
  if (platform::StatPath(a, sa) == 0 && platform::StatPath(b, sb) == 0)
    return sa.isFolder && sb.isFolder && sa.device == sb.device && sa.inode == sb.inode;
  return IncludeTrailingDelimiter(a) == IncludeTrailingDelimiter(b);
}

// Keys asked of the library, each identifier once.
class TKeyProbe {
 public:
  TKeyProbe(const std::string& secKeys, const std::string& pubKeys)
      : secKeys_(secKeys), pubKeys_(pubKeys) {
    signInit_ = SignInit(secKeys.c_str(), pubKeys.c_str());
    cryptoInit_ = CryptoInit(secKeys.c_str(), pubKeys.c_str());
  }
  ~TKeyProbe() {
    CryptoDone();
    SignDone();
    if (!probeFolder_.empty()) {
      platform::DeleteFile(probeFolder_ + "probe");
      platform::DeleteFile(probeFolder_ + "signed");
      (void)platform::RemoveWorkFolder(probeFolder_);  // clean-up only: the findings stand
    }
  }
  TKeyProbe(const TKeyProbe&) = delete;
  TKeyProbe& operator=(const TKeyProbe&) = delete;

  int SignInitCode() const { return signInit_; }
  int CryptoInitCode() const { return cryptoInit_; }
  int ProbeError() const { return probeError_; }

  // The library's code for extracting the public key.
  int Public(const std::string& id) {
    auto [it, added] = public_.try_emplace(id, 0);
    if (added) {
      unsigned char block[KeyBlockSize];
      it->second = ExtractKey(pubKeys_.c_str(), id.c_str(), block);
    }
    return it->second;
  }

  // The key's dates and condition; false when the library cannot tell.
  bool State(const std::string& id, bool secret, OrlakKeyState& state) const {
    return GetKeyState((secret ? secKeys_ : pubKeys_).c_str(), id.c_str(), secret, &state) == 0;
  }

  // The library's code for signing with the secret key; the library offers
  // no other way to ask for one.
  int Secret(const std::string& id) {
    auto [it, added] = secret_.try_emplace(id, 0);
    if (added && !ProbeFile()) it->second = -1;
    if (added && it->second == 0) {
      platform::DeleteFile(probeFolder_ + "signed");
      it->second =
          SignFile((probeFolder_ + "probe").c_str(), (probeFolder_ + "signed").c_str(), id.c_str());
    }
    return it->second;
  }

 private:
  bool ProbeFile() {
    if (probeTried_) return probeError_ == 0;
    probeTried_ = true;
    probeFolder_ = NewTempFolder(&probeError_);
    if (probeFolder_.empty()) {
      if (probeError_ == 0) probeError_ = EIO;
      return false;
    }
    probeError_ = platform::AppendToFile(probeFolder_ + "probe", "probe");
    return probeError_ == 0;
  }

  std::string secKeys_, pubKeys_;
  std::string probeFolder_;
  bool probeTried_ = false;
  int probeError_ = 0;  // why no probe file could be made
  int signInit_ = 0, cryptoInit_ = 0;
  std::map<std::string, int> public_, secret_;
};

class TChecker {
 public:
  std::vector<TFinding> findings;
  int64_t now = 0;
  int warnDays = kDefaultKeyWarningDays;

  void Error(const std::string& text) { findings.push_back({TSeverity::Error, text}); }
  void Warning(const std::string& text) { findings.push_back({TSeverity::Warning, text}); }

  // A folder that must exist and take new files; empty when it does.
  static std::string TargetFolderProblem(const std::string& folder) {
    if (folder.empty()) return "не указана";
    platform::FileStat stat;
    if (int err = platform::StatPath(folder, stat)) return platform::ErrorText(err);
    if (!stat.isFolder) return "это не папка";
    if (int err = platform::MayChangeFolder(folder))
      return "нет записи: " + platform::ErrorText(err);
    return {};
  }

  void KeyFolder(const std::string& folder, const std::string& what) {
    if (folder.empty()) return Error("не указана " + what);
    platform::FileStat stat;
    if (int err = platform::StatPath(folder, stat))
      return Error(what + " " + folder + ": " + platform::ErrorText(err));
    if (!stat.isFolder) return Error(what + " " + folder + ": это не папка");
    if (int err = platform::MayListFolder(folder))
      Error(what + " " + folder + ": нет доступа: " + platform::ErrorText(err));
  }

  void RunnerFiles(const std::string& settingsFile) {
    const std::string log = platform::ReplaceExtension(settingsFile, ".log");
    if (int err = platform::MayAppendToFile(log))
      Error("журнал событий " + log + " не записывается: " + platform::ErrorText(err));
    const std::string lock = platform::RunLock::LockPath(settingsFile);
    if (int err = platform::MayAppendToFile(lock))
      Error("файл блокировки " + lock +
            " не создаётся, run и once не запустятся: " + platform::ErrorText(err));
  }

  // Steps the load left out are gone from the script: a save drops them.
  void SkippedSteps(const TTesselGroups& registry) {
    for (const TTesselGroups::TSkippedStep& step : registry.SkippedSteps)
      Error("группа " + Quoted(step.Group) + ": шаг " + std::to_string(step.Number) + " (раздел " +
            Quoted(step.Section) + "): неизвестный вид действия " + std::to_string(step.Code) +
            ", шаг пропущен при чтении настроек и не выполняется");
  }

  void Names(const TTesselGroups& registry) {
    std::vector<std::string> before;
    for (int i = 0; i < registry.GroupCount(); ++i) {
      const std::string& name = registry.GetGroup(i)->Name;
      if (const std::string problem = GroupNameProblem(name, before); !problem.empty())
        Error("группа " + Quoted(name) + ": название не сохраняется в файле настроек: " + problem);
      before.push_back(name);
    }
  }

  void Group(const TTesselActionList& group, TKeyProbe* keys) {
    const std::string where = "группа " + Quoted(group.Name) + ": ";
    std::string folder, maskText;
    SplitSourceMask(group.SourceMask, folder, maskText);
    if (folder.empty()) {
      Error(where + "в маске " + Quoted(group.SourceMask) + " нет папки, файлы не выбираются");
    } else {
      platform::FileStat stat;
      if (int err = platform::StatPath(folder, stat)) {
        Error(where + "папка исходных файлов " + folder + ": " + platform::ErrorText(err));
      } else if (!stat.isFolder) {
        Error(where + "папка исходных файлов " + folder + ": это не папка");
      } else if (int err = platform::MayListFolder(folder)) {
        Error(where + "папка исходных файлов " + folder +
              " не читается: " + platform::ErrorText(err));
      } else if (int err = platform::MayChangeFolder(folder)) {
        Error(where + "из папки исходных файлов " + folder +
              " нельзя удалять, взятые файлы останутся и будут взяты снова: " +
              platform::ErrorText(err));
      }
      const TFileMask mask(maskText);
      if (mask.Include().Count() == 0)
        Error(where + "маска " + Quoted(maskText) +
              " не выбирает ни одного файла: в ней нет шаблона до \"|\"");
    }
    Target(where, "папка для результата", group.DestFolder, folder);
    Target(where, "папка для \"плохих\" файлов", group.BadFolder, folder);

    int enabled = 0;
    for (int i = 0; i < group.ActionCount(); ++i) {
      const TTesselAction* step = group.GetAction(i);
      if (!step || !step->Enabled) continue;
      ++enabled;
      const std::string stepWhere =
          where + "шаг " + std::to_string(i + 1) + " (" + step->GetCaption() + "): ";
      if (!step->CopyTo.empty()) Target(stepWhere, "папка для копии", step->CopyTo, folder);
      if (keys) Keys(stepWhere, *step, *keys);
    }
    if (enabled == 0) Warning(where + "нет включённых шагов, файлы доставляются без изменений");
  }

 private:
  void Target(const std::string& where, const std::string& what, const std::string& target,
              const std::string& source) {
    if (const std::string problem = TargetFolderProblem(target); !problem.empty())
      Error(where + what + (target.empty() ? " " : " " + target + ": ") + problem);
    if (SameFolder(target, source))
      Error(where + what + " " + target +
            " - это папка исходных файлов: доставленный файл будет взят снова");
  }

  void Public(const std::string& where, const std::string& id, TKeyProbe& keys) {
    if (int code = keys.Public(id))
      Error(where + "открытый ключ " + Quoted(id) + ": " + ResultMessage(code));
    else
      Lifetime(where + "открытый ключ " + Quoted(id) + ": ", id, false, keys);
  }
  void Secret(const std::string& where, const std::string& id, TKeyProbe& keys) {
    const int code = keys.Secret(id);
    if (code < 0)
      Error(where + "секретный ключ " + Quoted(id) +
            " не проверен: нет рабочей папки: " + platform::ErrorText(keys.ProbeError()));
    else if (code != 0)
      Error(where + "секретный ключ " + Quoted(id) + ": " + ResultMessage(code));
    else
      Lifetime(where + "секретный ключ " + Quoted(id) + ": ", id, true, keys);
  }

  // A key the library takes now may still be one it should not: expired or
  // revoked by the key's own dates, weak, or ending within the warning days.
  void Lifetime(const std::string& what, const std::string& id, bool secret, TKeyProbe& keys) {
    OrlakKeyState state;
    if (!keys.State(id, secret, state)) return;
    const std::string until = state.Expires ? platform::FormatUtcDate(state.Expires) : std::string();
    switch (state.Condition) {
      case ORLAK_KEY_EXPIRED:
        return Error(what + "срок действия ключа истёк " + until);
      case ORLAK_KEY_REVOKED:
        return Error(what + "ключ отозван владельцем");
      case ORLAK_KEY_WEAK:
        return Error(what + "слабый ключ (RSA, DSA или ElGamal короче 2048 бит)");
      case ORLAK_KEY_USABLE:
        break;
      default:
        return Error(what + "ключ не используется библиотекой");
    }
    if (state.Expires == 0) return;
    const int64_t days = (state.Expires - now) / 86400;
    if (days < warnDays)
      Warning(what + "срок действия ключа истекает " + until + ", через " + std::to_string(days) +
              " дн.; подготовьте замену");
  }

  // The keys the step's settings name, as its kind describes them.
  void Keys(const std::string& where, const TTesselAction& step, TKeyProbe& keys) {
    const TStepKeyIds ids = StepKeyIds(step);
    for (const std::string& id : ids.Secret) Secret(where, id, keys);
    if (ids.NoReceivers) Error(where + "не указаны получатели");
    for (const std::string& id : ids.Public) Public(where, id, keys);
  }
};

}  // namespace

std::vector<TFinding> CheckScript(const TTesselGroups& registry, const std::string& settingsFile) {
  TChecker checker;
  checker.now = std::time(nullptr);
  checker.warnDays = KeyWarningDays(settingsFile);
  checker.KeyFolder(registry.PubKeysPath, "папка открытых ключей");
  checker.KeyFolder(registry.SecKeysPath, "папка секретных ключей");
  checker.RunnerFiles(settingsFile);
  checker.Names(registry);
  checker.SkippedSteps(registry);

  TKeyProbe keys(registry.SecKeysPath, registry.PubKeysPath);
  const bool libraryOpen = keys.SignInitCode() == 0 && keys.CryptoInitCode() == 0;
  if (keys.SignInitCode() != 0)
    checker.Error("библиотека не открывается: SignInit: " + ResultMessage(keys.SignInitCode()));
  if (keys.CryptoInitCode() != 0)
    checker.Error("библиотека не открывается: CryptoInit: " + ResultMessage(keys.CryptoInitCode()));
  for (int i = 0; i < registry.GroupCount(); ++i) {
    const TTesselActionList* group = registry.GetGroup(i);
    if (group->Enabled) checker.Group(*group, libraryOpen ? &keys : nullptr);
  }
  return checker.findings;
}

std::vector<TSourceOwner> SourceOwners(const TTesselGroups& registry,
                                       const std::string& settingsFile) {
  std::vector<TSourceOwner> owners;
  for (int i = 0; i < registry.GroupCount(); ++i) {
    const TTesselActionList* group = registry.GetGroup(i);
    if (!group->Enabled) continue;
    std::string folder, maskText;
    SplitSourceMask(group->SourceMask, folder, maskText);
    if (!folder.empty()) owners.push_back({settingsFile, group->Name, folder});
  }
  return owners;
}

std::vector<TFinding> SharedSourceFolders(const std::vector<TSourceOwner>& owners) {
  std::vector<TFinding> findings;
  for (size_t a = 0; a < owners.size(); ++a)
    for (size_t b = a + 1; b < owners.size(); ++b) {
      // Groups of one script share a folder by design (their masks split it);
      // two scripts know nothing of each other's masks.
      if (owners[a].SettingsFile == owners[b].SettingsFile) continue;
      if (!SameFolder(owners[a].Folder, owners[b].Folder)) continue;
      findings.push_back(
          {TSeverity::Error, "папка исходных файлов " + owners[a].Folder + " - общая у группы " +
                                 Quoted(owners[a].Group) + " сценария " + owners[a].SettingsFile +
                                 " и группы " + Quoted(owners[b].Group) + " сценария " +
                                 owners[b].SettingsFile +
                                 ": оба сценария возьмут и доставят один и тот же файл"});
    }
  return findings;
}

std::string FindingLine(const TFinding& finding) {
  return (finding.Severity == TSeverity::Error ? "ошибка: " : "предупреждение: ") + finding.Text;
}

std::vector<std::string> CheckReportLines(const std::vector<TFinding>& findings) {
  std::vector<std::string> lines;
  int errors = 0, warnings = 0;
  for (const TFinding& finding : findings) {
    lines.push_back(FindingLine(finding));
    ++(finding.Severity == TSeverity::Error ? errors : warnings);
  }
  lines.push_back("Итого: ошибок " + std::to_string(errors) + ", предупреждений " +
                  std::to_string(warnings) + ".");
  return lines;
}

bool HasErrors(const std::vector<TFinding>& findings) {
  for (const TFinding& finding : findings)
    if (finding.Severity == TSeverity::Error) return true;
  return false;
}
