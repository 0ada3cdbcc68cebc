#include "engine/uTesselTypes.h"

#include <memory>

TTesselGroups* ScriptRegistry = nullptr;

TTesselGroups::TTesselGroups(const TStepKinds& kinds) : kinds_(kinds) {
  if (kinds_.KeyCache().Create) KeyLoader = kinds_.KeyCache().Create(*this);
}

TTesselGroups::~TTesselGroups() {
  ClearGroups();
  if (KeyLoader && kinds_.KeyCache().Destroy) kinds_.KeyCache().Destroy(KeyLoader);
  KeyLoader = nullptr;
}

TTesselActionList* TTesselGroups::AddGroup(const std::string& name) {
  // The state's node is made first and stays where it is until the group goes.
  auto state = std::make_unique<TGroupRunState>();
  auto* group = new TTesselActionList(name, kinds_, *state);
  runStates_[group] = std::move(state);
  Groups.Add(group);
  return group;
}

void TTesselGroups::DeleteGroup(int index) {
  if (index < 0 || index >= GroupCount()) return;  // silently, unlike the list's own check
  TTesselActionList* group = Groups.Get(index);
  Groups.Delete(index);
  delete group;
  runStates_.erase(group);
}

void TTesselGroups::ClearGroups() {
  for (int i = 0; i < Groups.Count(); ++i) delete Groups.Get(i);
  Groups.Clear();
  runStates_.clear();
}

void InitEngine(const TStepKinds& kinds) {
  if (!ScriptRegistry) ScriptRegistry = new TTesselGroups(kinds);
}

void DoneEngine() {
  delete ScriptRegistry;
  ScriptRegistry = nullptr;
}
