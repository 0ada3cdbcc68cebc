#include "history/HistoryRecord.h"

std::vector<std::string> CopiesOf(const THistoryRecord& record) {
  std::vector<std::string> copies;
  for (const THistoryStep& step : record.Steps)
    if (!step.CopiedTo.empty()) copies.push_back(step.CopiedTo);
  return copies;
}
