#include "runtime/Metrics.h"

#include <algorithm>
#include <map>
#include <optional>
#include <string_view>

#include "engine/uTesselTypes.h"
#include "platform/Cp1251.h"

std::string MetricLabelValue(const std::string& cp1251) {
  std::string out;
  for (char c : platform::Cp1251ToUtf8(cp1251)) {
    if (c == '\\')
      out += "\\\\";
    else if (c == '"')
      out += "\\\"";
    else if (c == '\n')
      out += "\\n";
    else
      out += c;
  }
  return out;
}

namespace {

// Milliseconds as decimal seconds with a point, whatever the locale's decimal sign.
std::string Seconds(int64_t ms) {
  if (ms < 0) ms = 0;
  std::string fraction = std::to_string(ms % 1000);
  fraction.insert(0, 3 - fraction.size(), '0');
  return std::to_string(ms / 1000) + "." + fraction;
}

}  // namespace

TMetrics::TGroup& TMetrics::Find(const std::string& name) {
  for (TGroup& group : groups_)
    if (group.Name == name) return group;
  groups_.push_back({});
  groups_.back().Name = name;
  return groups_.back();
}

namespace {

// Since when the group's oldest waiting file has waited, as far as its run
// state knows: a fault that holds it, a refusal, a write not yet done.
std::optional<std::chrono::steady_clock::time_point> OldestWait(const TGroupRunState& run) {
  std::optional<std::chrono::steady_clock::time_point> oldest;
  auto consider = [&oldest](std::chrono::steady_clock::time_point since) {
    if (!oldest || since < *oldest) oldest = since;
  };
  if (run.Hold && run.LastPass.Held > 0) consider(run.Hold->Since);
  for (const auto& [path, fault] : run.DeliveryFaults) consider(fault.Since);
  for (const auto& [path, watch] : run.Watched) consider(watch.Since);
  return oldest;
}

}  // namespace

void TMetrics::NotePass(const TTesselGroups& registry, std::chrono::steady_clock::time_point now) {
  std::map<std::string, TGroup> ran;
  std::vector<std::string> order;
  for (int i = 0; i < registry.GroupCount(); ++i) {
    const TTesselActionList* group = registry.GetGroup(i);
    if (!group || group->Run().LastPass.EndTime == 0) continue;
    const TPassCounts& pass = group->Run().LastPass;
    auto [it, added] = ran.try_emplace(group->Name);
    if (added) order.push_back(group->Name);
    TGroup& sum = it->second;
    sum.Last.Taken += pass.Taken;
    sum.Last.Delivered += pass.Delivered;
    sum.Last.Bad += pass.Bad;
    sum.Last.Left += pass.Left;
    sum.Waiting.Held += pass.Held;
    sum.Waiting.Refused += pass.Refused;
    sum.Waiting.Writing += pass.Writing;
    sum.Waiting.Fresh += pass.Fresh;
    sum.Waiting.Stopped += pass.Stopped;
    sum.SourceMissing = sum.SourceMissing || pass.SourceMissing;
    if (const auto since = OldestWait(group->Run()))
      sum.OldestWaitingSeconds =
          std::max<int64_t>(sum.OldestWaitingSeconds,
                            std::chrono::duration_cast<std::chrono::seconds>(now - *since).count());
    sum.DurationMs += pass.DurationMs;
    sum.EndTime = std::max(sum.EndTime, pass.EndTime);
    scriptDelivered_ += pass.Delivered - pass.PassedOn;
    scriptBad_ += pass.Bad;
  }
  for (const std::string& name : order) {
    const TGroup& pass = ran[name];
    TGroup& group = Find(name);
    group.Last = pass.Last;
    // Delivered and bad files are each counted once; taken counts a file
    // taken again after a refusal again. Waiting files are a gauge.
    group.Total.Taken += pass.Last.Taken;
    group.Total.Delivered += pass.Last.Delivered;
    group.Total.Bad += pass.Last.Bad;
    group.Waiting = pass.Waiting;
    group.OldestWaitingSeconds = pass.OldestWaitingSeconds;
    group.SourceMissing = pass.SourceMissing;
    group.DurationMs = pass.DurationMs;
    group.EndTime = pass.EndTime;
  }
}

void TMetrics::NoteFailure(const TFailureEvent& event) {
  if (event.Cleared) return;
  static const char* const kClasses[] = {"file", "environment", "delivery"};
  ++failures_[{event.Group, kClasses[static_cast<int>(event.Class)], event.Code}];
}

void TMetrics::KeepOnly(const TTesselGroups& registry) {
  std::erase_if(groups_, [&](const TGroup& group) {
    for (int i = 0; i < registry.GroupCount(); ++i)
      if (registry.GetGroup(i)->Name == group.Name) return false;
    return true;
  });
}

std::string TMetrics::Text() const {
  std::string text;
  auto header = [&](const char* name, const char* type, const char* help) {
    text += std::string("# HELP ") + name + " " + help + "\n";
    text += std::string("# TYPE ") + name + " " + type + "\n";
  };
  auto sample = [&](const char* name, const std::string& labels, const std::string& value) {
    text += name;
    if (!labels.empty()) text += "{" + labels + "}";
    text += " " + value + "\n";
  };
  auto groupLabel = [](const TGroup& group) {
    return "group=\"" + MetricLabelValue(group.Name) + "\"";
  };
  auto outcomes = [&](const char* name, TCounts TGroup::*counts, bool total) {
    for (const TGroup& group : groups_) {
      const TCounts& c = group.*counts;
      const std::pair<const char*, int64_t> values[] = {
          {"taken", c.Taken}, {"delivered", c.Delivered}, {"bad", c.Bad}, {"left", c.Left}};
      for (const auto& [outcome, value] : values) {
        if (total && std::string_view(outcome) == "left") continue;  // waiting is no total
        sample(name, groupLabel(group) + ",outcome=\"" + outcome + "\"", std::to_string(value));
      }
    }
  };

  header("tessel_library_open", "gauge", "Whether the crypto library is open (1) or not (0).");
  sample("tessel_library_open", "", libraryOpen_ ? "1" : "0");
  header("tessel_last_pass_files", "gauge",
         "Files of the group's last pass: taken into work, delivered, sent to the bad-files "
         "folder, left for a later pass.");
  outcomes("tessel_last_pass_files", &TGroup::Last, false);
  header("tessel_files_total", "counter",
         "Files since the program started: taken into work (again after a refusal), delivered, "
         "sent to the bad-files folder.");
  outcomes("tessel_files_total", &TGroup::Total, true);
  header("tessel_script_files_total", "counter",
         "Distinct files since the program started that left the script: delivered (not to "
         "another group's source folder) or sent to a bad-files folder.");
  sample("tessel_script_files_total", "outcome=\"delivered\"", std::to_string(scriptDelivered_));
  sample("tessel_script_files_total", "outcome=\"bad\"", std::to_string(scriptBad_));
  header("tessel_files_waiting", "gauge",
         "Files the group's last pass left in its source folder, by reason: held by a key or "
         "library fault, refused by a folder, still being written, changed a moment ago, not "
         "reached before a stop.");
  for (const TGroup& group : groups_) {
    const std::pair<const char*, int64_t> reasons[] = {{"held", group.Waiting.Held},
                                                       {"refused", group.Waiting.Refused},
                                                       {"writing", group.Waiting.Writing},
                                                       {"fresh", group.Waiting.Fresh},
                                                       {"stopped", group.Waiting.Stopped}};
    for (const auto& [reason, value] : reasons)
      sample("tessel_files_waiting", groupLabel(group) + ",reason=\"" + reason + "\"",
             std::to_string(value));
  }
  header("tessel_oldest_waiting_file_age_seconds", "gauge",
         "How long the group's oldest waiting file has waited (0: none).");
  for (const TGroup& group : groups_)
    sample("tessel_oldest_waiting_file_age_seconds", groupLabel(group),
           std::to_string(group.OldestWaitingSeconds));
  header("tessel_source_folder_missing", "gauge",
         "Whether the group's source folder could not be read on its last pass.");
  for (const TGroup& group : groups_)
    sample("tessel_source_folder_missing", groupLabel(group), group.SourceMissing ? "1" : "0");
  header("tessel_failures_total", "counter",
         "Failures since the program started by group, whose fault (file, environment, "
         "delivery) and code: each file sent to a bad-files folder, each fault that began to "
         "hold or refuse files.");
  for (const auto& [key, count] : failures_) {
    const auto& [group, failureClass, code] = key;
    sample("tessel_failures_total",
           "group=\"" + MetricLabelValue(group) + "\",class=\"" + failureClass + "\",code=\"" +
               std::to_string(code) + "\"",
           std::to_string(count));
  }
  header("tessel_last_pass_duration_seconds", "gauge", "Duration of the group's last pass.");
  for (const TGroup& group : groups_) {
    sample("tessel_last_pass_duration_seconds", groupLabel(group), Seconds(group.DurationMs));
  }
  header("tessel_last_pass_end_time_seconds", "gauge",
         "When the group's last pass ended, in seconds since 1970.");
  for (const TGroup& group : groups_)
    sample("tessel_last_pass_end_time_seconds", groupLabel(group),
           std::to_string(static_cast<int64_t>(group.EndTime)));
  auto keyLabels = [](const TKeyGauge& key) {
    return "key=\"" + MetricLabelValue(key.Id) + "\",folder=\"" +
           (key.Secret ? "secret" : "public") + "\",format=\"" + key.Format + "\"";
  };
  header("tessel_key_expiry_timestamp_seconds", "gauge",
         "When a key a step uses expires, in seconds since 1970; keys without an end and "
         "keys no file provides have no sample.");
  for (const TKeyGauge& key : keys_)
    if (key.Expires != 0)
      sample("tessel_key_expiry_timestamp_seconds", keyLabels(key), std::to_string(key.Expires));
  header("tessel_key_usable", "gauge",
         "Whether a key a step uses is there and usable (1) or missing, expired, revoked, weak "
         "or refused (0).");
  for (const TKeyGauge& key : keys_)
    sample("tessel_key_usable", keyLabels(key), key.Usable ? "1" : "0");
  return text;
}
