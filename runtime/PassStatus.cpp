#include "runtime/PassStatus.h"

#include <algorithm>

#include "platform/Files.h"

namespace {

std::string Number(int n) {
  return std::to_string(n);
}

// Milliseconds as seconds with one decimal, the decimal comma as in Russian.
std::string Seconds(int64_t ms) {
  const int64_t tenths = (ms + 50) / 100;
  return std::to_string(tenths / 10) + "," + std::to_string(tenths % 10) + " с";
}

// A file this large shows the bytes done of the step in hand.
constexpr uint64_t kLargeFile = 16 << 20;

std::string Mebibytes(uint64_t bytes) {
  return std::to_string(bytes >> 20);
}

}  // namespace

void MeasureProgress(TBackgroundPass::TProgress& progress) {
  platform::FileStat stat;
  if (!progress.Output.empty() && platform::StatPath(progress.Output, stat) == 0)
    progress.Done = stat.size;
}

void TPassTally::Before(const TTesselGroups& groups) {
  before_.clear();
  for (int i = 0; i < groups.GroupCount(); ++i) {
    const TTesselActionList* group = groups.GetGroup(i);
    if (group && group->Enabled) before_.emplace_back(group, group->Run().Passes);
  }
}

void TPassTally::After(const TTesselGroups& groups, TRunTotals& totals,
                       const std::string& timeText) {
  for (const auto& [group, passes] : before_) {
    const TGroupRunState& run = group->Run();
    if (run.Passes == passes) continue;  // not reached by this pass
    const TPassCounts& pass = run.LastPass;
    // A result passed on to another group leaves the script with that group.
    totals.Delivered += pass.Delivered - pass.PassedOn;
    totals.Bad += pass.Bad;
    last_[group] = pass;
  }
  before_.clear();
  // What waits now: each enabled group's files as its last pass left them.
  std::map<const TTesselActionList*, TPassCounts> kept;
  totals.Left = totals.Held = totals.Refused = totals.Writing = totals.Stopped = 0;
  for (int i = 0; i < groups.GroupCount(); ++i) {
    const TTesselActionList* group = groups.GetGroup(i);
    const auto it = group && group->Enabled ? last_.find(group) : last_.end();
    if (it == last_.end()) continue;
    const TPassCounts& pass = it->second;
    totals.Left += pass.Left;
    totals.Held += pass.Held;
    totals.Refused += pass.Refused;
    totals.Writing += pass.Writing + pass.Fresh;
    totals.Stopped += pass.Stopped;
    kept.insert(*it);
  }
  last_ = std::move(kept);
  totals.LastPassTime = timeText;
}

std::string StatusLineText(const TRunTotals& totals,
                           const std::optional<TBackgroundPass::TProgress>& progress,
                           const std::string& groupName, bool stopping) {
  std::string text = "Последний проход: " +
                     (totals.LastPassTime.empty() ? std::string("не было") : totals.LastPassTime);
  text += ".  После пуска: доставлено " + Number(totals.Delivered) + ", в ошибки " +
          Number(totals.Bad) + ".  Ожидают: " + Number(totals.Left);
  std::string why;
  auto reason = [&why](int n, const char* text) {
    if (n > 0) why += (why.empty() ? "" : ", ") + std::string(text) + " " + Number(n);
  };
  reason(totals.Held, "ключ или библиотека");
  reason(totals.Refused, "папка не принимает");
  reason(totals.Writing, "идёт запись");
  reason(totals.Stopped, "стоп");
  if (!why.empty()) text += " (" + why + ")";
  text += ".";
  if (stopping) {
    text += "  Стоп: проход закончится после текущего файла.";
  } else if (progress && progress->File > 0) {
    text += "  Проход: группа \"" + groupName + "\", файл " + Number(progress->File) + " из " +
            Number(progress->Files);
    if (!progress->What.empty()) {
      text += ", " + progress->What;
      if (progress->Bytes >= kLargeFile)
        text += ": " + Mebibytes(std::min(progress->Done, progress->Bytes)) + " из " +
                Mebibytes(progress->Bytes) + " МиБ";
    }
    text += ".";
  } else if (progress && !progress->What.empty()) {
    text += "  Проход: ";
    if (progress->Group >= 0) text += "группа \"" + groupName + "\", ";
    text += progress->What + ".";
  }
  return text;
}

std::string GroupPassText(const TPassCounts& c) {
  if (c.EndTime == 0) return "Проходов ещё не было";
  std::string text = "Последний проход: найдено " + Number(c.Found) + ", взято " + Number(c.Taken) +
                     ", доставлено " + Number(c.Delivered) + ", в ошибки " + Number(c.Bad) +
                     ", оставлено " + Number(c.Left) + " (" + Seconds(c.DurationMs) + ")";
  if (c.SourceMissing) text += "\nПапка исходных файлов не найдена или не читается";
  return text;
}
