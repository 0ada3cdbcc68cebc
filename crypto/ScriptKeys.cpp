#include "crypto/ScriptKeys.h"

#include "crypto/SplitKeyList.h"
#include "engine/StepSettings.h"
#include "engine/uTesselTypes.h"

namespace {

bool IsBlankText(const std::string& text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) > 32) return false;
  return true;
}

}  // namespace

TStepKeyIds StepKeyIds(const TTesselAction& step) {
  TStepKeyIds ids;
  for (const TStepSetting& setting : StepSettings(step)) {
    const std::string& value = setting.Value;
    switch (setting.Field.Keys) {
      case TKeyUse::None:
        break;
      case TKeyUse::SecretKey:
        ids.Secret.push_back(value);
        break;
      case TKeyUse::PublicKey:
        ids.Public.push_back(value);
        break;
      case TKeyUse::PublicKeyList:
        // A blank list asks for none in particular.
        if (!IsBlankText(value))
          for (const std::string& id : SplitKeyList(value)) ids.Public.push_back(id);
        break;
      case TKeyUse::ReceiverList: {
        const std::vector<std::string> receivers = SplitKeyList(value);
        if (receivers.empty()) ids.NoReceivers = true;
        ids.Public.insert(ids.Public.end(), receivers.begin(), receivers.end());
        break;
      }
    }
  }
  return ids;
}

std::vector<TKeyUseSite> ScriptKeyUses(const TTesselGroups& registry) {
  std::vector<TKeyUseSite> uses;
  for (int g = 0; g < registry.GroupCount(); ++g) {
    const TTesselActionList* group = registry.GetGroup(g);
    if (!group->Enabled) continue;
    for (int i = 0; i < group->ActionCount(); ++i) {
      const TTesselAction* step = group->GetAction(i);
      if (!step || !step->Enabled) continue;
      const TStepKeyIds ids = StepKeyIds(*step);
      for (bool secret : {true, false})
        for (const std::string& id : secret ? ids.Secret : ids.Public)
          uses.push_back({id, secret, group->Name, i + 1, step->GetCaption()});
    }
  }
  return uses;
}
