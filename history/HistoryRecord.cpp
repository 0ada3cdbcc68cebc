#include "history/HistoryRecord.h"

// A field added to the record is to be cleared below as well.
static_assert(sizeof(void*) != 8 || sizeof(THistoryRecord) == 480, "Recycle clears every field");

void Recycle(THistoryRecord& r) {
  r.Id = 0;
  for (std::string* text : {&r.Script, &r.Group, &r.Source, &r.Name, &r.Sha256, &r.Outcome,
                            &r.Target, &r.Why, &r.ResultSha256, &r.Host, &r.Version, &r.Digest})
    text->clear();
  r.PassStart = r.MtimeNs = r.TakenAt = r.DoneAt = 0;
  r.Size = r.ResultSize = 0;
  r.Steps.clear();
  r.Code = 0;
  r.Recovered = false;
}

std::vector<std::string> CopiesOf(const THistoryRecord& record) {
  std::vector<std::string> copies;
  for (const THistoryStep& step : record.Steps)
    if (!step.CopiedTo.empty()) copies.push_back(step.CopiedTo);
  return copies;
}
