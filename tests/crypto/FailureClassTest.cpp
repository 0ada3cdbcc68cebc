// Which failures send a file to the bad-files folder and which hold it.
#include <gtest/gtest.h>

#include "crypto/FailureClass.h"

namespace {

TEST(FailureClass, TheFilesOwnFaultsGoBadAndKeyLibraryAndWorkingSpaceFaultsHold) {
  // Tampered, not encrypted, not signed, not addressed to us, malformed,
  // negative check, wrong sender, OpenPGP without integrity protection.
  for (uint16_t code : {4, 26, 29, 30, 42, 125, 129, 600, 703})
    for (TStepRole role : {TStepRole::Makes, TStepRole::Reads})
      EXPECT_EQ(ClassifyResult(code, role), TFailureClass::File) << code;
  // Memory, library not open, key missing, working files, key folders and
  // media, key damaged, expired, weak, protected, ambiguous.
  for (uint16_t code : {1, 6, 7, 8, 21, 25, 117, 121, 122, 128, 700, 702, 704, 706, 4099})
    for (TStepRole role : {TStepRole::Makes, TStepRole::Reads})
      EXPECT_EQ(ClassifyResult(code, role), TFailureClass::Environment) << code;
  // Two formats in one step: the script's keys when making, the partner's
  // file when reading.
  EXPECT_EQ(ClassifyResult(705, TStepRole::Makes), TFailureClass::Environment);
  EXPECT_EQ(ClassifyResult(705, TStepRole::Reads), TFailureClass::File);
  // A code the table does not know keeps the old rule.
  EXPECT_EQ(ClassifyResult(5000, TStepRole::Reads), TFailureClass::File);
}

}  // namespace
