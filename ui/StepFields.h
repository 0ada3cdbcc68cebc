// What the step editor shows and collects, apart from its widgets: the
// values of its controls, taken from a step and turned into a new step.
#pragma once

#include <cstdint>
#include <string>

#include "engine/uTesselTypes.h"

// One value per control; each kind's page has its own, so the pages of other
// kinds keep their contents while the operator switches kinds.
struct TStepFields {
  int Kind = kKindSign;            // kind list, equal to the kind code
  bool WantCopy = false;           // cxCheckBox2
  std::string CopyTo;              // cxButtonEdit1
  std::string SignKeyId;           // cxTextEdit7
  std::string CheckKeyList;        // cxTextEdit2
  int32_t DeleteCount = -1;        // cxSpinEdit1
  std::string EncryptSenderKey;    // cxTextEdit3
  std::string EncryptReceivers;    // cxTextEdit4
  std::string DecryptReceiverKey;  // cxTextEdit_idreceiver
  std::string DecryptSenderKey;    // cxTextEdit_idsender
};

// The controls' values for an existing step: its kind, its copy folder and
// its kind's own fields; the other pages keep their start values.
TStepFields FieldsOfStep(const TTesselAction& step);

// A new step of the kind, disabled, built from that kind's values only; the
// copy folder is kept only while the copy box is ticked. Null for a kind
// outside the list.
TTesselAction* BuildStep(const TStepFields& fields);
