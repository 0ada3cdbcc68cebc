#include "engine/uTesselTypes.h"
#include "platform/Files.h"

TTesselActionList::TTesselActionList(std::string name) : Name(std::move(name)) {}

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

bool TTesselActionList::CopyFileTo(const std::string& source, const std::string& target,
                                   int* error) {
  const int err = platform::CopyFile(source, target, platform::Durability::Buffered);
  if (error) *error = err;
  return err == 0;
}

bool TTesselActionList::MoveFileTo(const std::string& source, const std::string& target,
                                   int* error) {
  // The source goes only once its copy is complete and on the disk.
  int err = platform::CopyFile(source, target, platform::Durability::Synced);
  if (err == 0) platform::DeleteFile(source);
  if (error) *error = err;
  return err == 0;
}
