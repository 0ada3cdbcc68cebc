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

namespace {
thread_local TPassContext* g_passContext = nullptr;
}  // namespace

TPassContext* CurrentPassContext() {
  return g_passContext;
}

TScopedPassContext::TScopedPassContext(TPassContext& context) : previous_(g_passContext) {
  g_passContext = &context;
}

TScopedPassContext::~TScopedPassContext() {
  g_passContext = previous_;
}

bool TTesselActionList::CopyFileTo(const std::string& source, const std::string& target,
                                   int* error) {
  platform::CopyOptions options;
  platform::CopyJournal journal;
  // Inside a pass the copy is journalled and no more open than its source.
  if (const TPassContext* context = CurrentPassContext()) {
    options.modeCap = context->ModeCap;
    if (context->Journal) {
      journal = context->Journal->ForCopy();
      options.journal = &journal;
    }
  }
  const int err = platform::CopyFile(source, target, options);
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
