#include "engine/uTesselTypes.h"

TTesselGroups* ScriptRegistry = nullptr;

namespace {
TKeyLoaderHooks& KeyLoaderHooks() {
  static TKeyLoaderHooks hooks;
  return hooks;
}
}  // namespace

void SetKeyLoaderHooks(TKeyLoaderHooks hooks) {
  KeyLoaderHooks() = hooks;
}

TTesselGroups::TTesselGroups() {
  if (KeyLoaderHooks().Create) KeyLoader = KeyLoaderHooks().Create(*this);
}

TTesselGroups::~TTesselGroups() {
  ClearGroups();
  if (KeyLoader && KeyLoaderHooks().Destroy) KeyLoaderHooks().Destroy(KeyLoader);
  KeyLoader = nullptr;
}

TTesselActionList* TTesselGroups::AddGroup(const std::string& name) {
  auto* group = new TTesselActionList(name);
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

void InitEngine() {
  if (!ScriptRegistry) ScriptRegistry = new TTesselGroups;
}

void DoneEngine() {
  delete ScriptRegistry;
  ScriptRegistry = nullptr;
}
