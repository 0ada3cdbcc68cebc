#include "engine/DeliveryJournal.h"
#include "engine/PassContext.h"
#include "engine/uTesselTypes.h"
#include "platform/Files.h"

TTesselActionList::TTesselActionList(std::string name, const TStepKinds& kinds, TGroupRunState& run)
    : Name(std::move(name)), kinds_(kinds), run_(run) {}

TTesselActionList::~TTesselActionList() {
  ClearActions();
}

void TTesselActionList::DeleteAction(int index) {
  TTesselAction* action = Actions.Get(index);
  if (!action) return;
  Actions.Delete(index);
  delete action;
}

void TTesselActionList::ReplaceAction(TTesselAction* oldAction, TTesselAction* newAction) {
  const int index = IndexOfAction(oldAction);
  if (index >= 0) Actions.Put(index, newAction);
}

void TTesselActionList::ClearActions() {
  for (int i = 0; i < Actions.Count(); ++i) delete Actions.Get(i);
  Actions.Clear();
}

bool TTesselActionList::MoveFileTo(const std::string& source, const std::string& target,
                                   int* error) {
  // The source goes only once its copy is complete and on the disk.
  int err = platform::CopyFile(source, target, platform::Durability::Synced);
  if (err == 0) platform::DeleteFile(source);
  if (error) *error = err;
  return err == 0;
}
