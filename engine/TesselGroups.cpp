#include "engine/uTesselTypes.h"

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
  auto* group = new TTesselActionList(name, kinds_);
  Groups.Add(group);
  return group;
}

void TTesselGroups::DeleteGroup(int index) {
  if (index < 0 || index >= GroupCount()) return;  // silently, unlike the list's own check
  TTesselActionList* group = Groups.Get(index);
  Groups.Delete(index);
  delete group;
}

void TTesselGroups::ClearGroups() {
  for (int i = 0; i < Groups.Count(); ++i) delete Groups.Get(i);
  Groups.Clear();
}

void InitEngine(const TStepKinds& kinds) {
  if (!ScriptRegistry) ScriptRegistry = new TTesselGroups(kinds);
}

void DoneEngine() {
  delete ScriptRegistry;
  ScriptRegistry = nullptr;
}
