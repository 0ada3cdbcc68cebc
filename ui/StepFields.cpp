#include "ui/StepFields.h"

#include <memory>

#include "engine/StepSettings.h"

std::vector<TKindPage> KindPages(const TStepKinds& kinds) {
  std::vector<TKindPage> pages;
  for (int code : kinds.Codes()) {
    const std::unique_ptr<TTesselAction> sample(kinds.Make(code));
    if (!sample) continue;
    TKindPage page;
    page.Code = code;
    page.Choice = sample->GetChoiceText();
    page.Name = sample->GetPageName();
    for (const TStepSetting& setting : StepSettings(*sample)) page.Fields.push_back(setting.Field);
    pages.push_back(std::move(page));
  }
  return pages;
}

TStepFields FieldsOfStep(const TTesselAction& step) {
  TStepFields f;
  f.Kind = step.GetKind();
  f.WantCopy = !step.CopyTo.empty();
  f.CopyTo = step.CopyTo;
  for (const TStepSetting& setting : StepSettings(step))
    f.Values[f.Kind][setting.Field.Key] = setting.Value;
  return f;
}

TTesselAction* BuildStep(const TStepKinds& kinds, const TStepFields& f) {
  TTesselAction* step = kinds.Make(f.Kind);
  if (!step) return nullptr;
  const auto page = f.Values.find(f.Kind);
  ApplyStepSettings(*step, [&](const TStepField& field) -> std::optional<std::string> {
    if (page == f.Values.end()) return std::nullopt;
    const auto value = page->second.find(field.Key);
    if (value == page->second.end()) return std::nullopt;
    return value->second;
  });
  if (f.WantCopy) step->CopyTo = f.CopyTo;
  return step;
}
