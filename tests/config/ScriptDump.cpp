#include "tests/config/ScriptDump.h"

#include <sstream>

#include "engine/uTesselTypes.h"
#ifdef TESSEL_DUMP_CRYPTO_KINDS
#include "crypto/CryptoActions.h"
#endif

namespace {

void DumpKindFields([[maybe_unused]] const TTesselAction& step,
                    [[maybe_unused]] std::ostream& out) {
#ifdef TESSEL_DUMP_CRYPTO_KINDS
  if (auto* s = dynamic_cast<const TTesselAction_sign*>(&step)) out << " KeyId=" << s->KeyId;
  if (auto* s = dynamic_cast<const TTesselAction_checksign*>(&step))
    out << " KeyList=" << s->KeyList;
  if (auto* s = dynamic_cast<const TTesselAction_delsign*>(&step))
    out << " DeleteCount=" << s->DeleteCount;
  if (auto* s = dynamic_cast<const TTesselAction_encrypt*>(&step))
    out << " SenderKey=" << s->SenderKey << " ReceiverKeyList=" << s->ReceiverKeyList;
  if (auto* s = dynamic_cast<const TTesselAction_decrypt*>(&step))
    out << " ReceiverKey=" << s->ReceiverKey << " SenderKey=" << s->SenderKey;
#endif
}

}  // namespace

std::string DumpScript(const TTesselGroups& script) {
  std::ostringstream out;
  out << "PubKeysPath=" << script.PubKeysPath << " SecKeysPath=" << script.SecKeysPath << "\n";
  for (int g = 0; g < script.GroupCount(); ++g) {
    const TTesselActionList* group = script.GetGroup(g);
    out << "group Name=" << group->Name << " SourceMask=" << group->SourceMask
        << " DestFolder=" << group->DestFolder << " BadFolder=" << group->BadFolder
        << " Enabled=" << group->Enabled << "\n";
    for (int a = 0; a < group->ActionCount(); ++a) {
      const TTesselAction* step = group->GetAction(a);
      out << "  step kind=" << int{step->GetKind()} << " CopyTo=" << step->CopyTo
          << " Enabled=" << step->Enabled;
      DumpKindFields(*step, out);
      out << "\n";
    }
  }
  return out.str();
}
