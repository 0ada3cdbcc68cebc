#include "crypto/StepResult.h"

#include <cstdlib>

#include "crypto/Orlak.h"
#include "crypto/ResultKind.h"
#include "crypto/SplitKeyList.h"

namespace {

constexpr uint16_t kNotInitialised = 8;
constexpr uint16_t kOutOfMemory = 1;

// Collects the key identifiers of a step's settings.
class TKeyCollector : public TStepKeys {
 public:
  explicit TKeyCollector(TKeyScene& scene) : scene_(scene) {}
  void Text(const TStepField& field, std::string& value) override {
    switch (field.Keys) {
      case TKeyUse::None:
        break;
      case TKeyUse::SecretKey:
        if (!value.empty()) scene_.SecretIds.push_back(value);
        break;
      case TKeyUse::PublicKey:
      case TKeyUse::PublicKeyList:
      case TKeyUse::ReceiverList:
        for (std::string& id : SplitKeyList(value)) scene_.PublicIds.push_back(std::move(id));
        break;
    }
  }
  void Integer(const TStepField&, int32_t&) override {}

 private:
  TKeyScene& scene_;
};

TStepRole RoleOf(const TTesselAction& step) {
  const uint8_t kind = step.GetKind();
  return kind == kKindSign || kind == kKindEncrypt ? TStepRole::Makes : TStepRole::Reads;
}

std::string Joined(const std::vector<std::string>& ids) {
  std::string text;
  for (const std::string& id : ids) text += (text.empty() ? "" : "; ") + id;
  return text;
}

// A line for a fault the key folders do not show.
std::vector<std::string> GeneralFault(uint16_t code, const TKeyScene& scene) {
  if (code == kNotInitialised)
    return {"Библиотека шифрования не открыта",
            "проверьте папки ключей в сценарии и строки открытия библиотеки в журнале"};
  if (code == kOutOfMemory) return {"Не хватает памяти", ResultMessage(code)};
  std::vector<std::string> ids = scene.SecretIds;
  ids.insert(ids.end(), scene.PublicIds.begin(), scene.PublicIds.end());
  if (ids.empty()) return {ResultMessage(code)};
  return {ResultMessage(code), "ключи шага: " + Joined(ids)};
}

}  // namespace

TKeyScene KeySceneOf(const TStepContext& context, TTesselAction& step) {
  TKeyScene scene;
  scene.SecretFolder = context.Pass.SecretKeys;
  scene.PublicFolder = context.Pass.PublicKeys;
  TKeyCollector collector(scene);
  step.ExchangeKeys(collector);
  return scene;
}

bool NoteStepFault(const TStepContext& context, TTesselAction& step, uint16_t code) {
  const TKeyScene scene = KeySceneOf(context, step);
  // A key file refused or missing explains any failure: a read error on a
  // loose key file is no fault of the working space, a negative check for
  // want of a partner's key no fault of the file.
  std::vector<std::string> reason = DescribeKeyFault(scene);
  if (reason.empty()) {
    if (IsWorkingFileError(code)) {
      context.NoteWorkingSpaceFault();
      return true;
    }
    if (ClassifyResult(code, RoleOf(step)) == TFailureClass::File) return false;
    reason = GeneralFault(code, scene);
  }
  context.NoteEnvironmentFault(code, std::move(reason));
  return true;
}

void NoteKeysUsed(const TStepContext& context, TTesselAction& step) {
  uint32_t needed = 0;
  GetKeysUsed(nullptr, 0, &needed);
  std::string text(needed, '\0');
  if (needed == 0 || GetKeysUsed(text.data(), needed, &needed) != 0) return;
  text.resize(text.find('\0'));
  context.KeysUsed.clear();
  size_t start = 0;
  for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    const std::string line = text.substr(start, end - start);
    const size_t tab = line.find('\t'), tab2 = line.find('\t', tab + 1);
    if (tab == std::string::npos || tab2 == std::string::npos) continue;
    const std::string id = line.substr(0, tab), fingerprint = line.substr(tab + 1, tab2 - tab - 1);
    context.KeysUsed += (context.KeysUsed.empty() ? "" : " ") + fingerprint;
    // Only an identifier with several keys leaves open which of them it was.
    if (std::atoi(line.c_str() + tab2 + 1) > 1)
      context.Pass.Write(TLogKind::Normal,
                         {step.GetCaption(), "ключ " + id + ": отпечаток " + fingerprint});
  }
}

bool LogStepResult(const TStepContext& context, TTesselAction& step, uint16_t code) {
  context.Pass.Write(ResultKind(code), {step.GetCaption(), ResultMessage(code)});
  if (code == 0) NoteKeysUsed(context, step);
  if (code == 0) return true;
  NoteStepFault(context, step, code);
  return false;
}
