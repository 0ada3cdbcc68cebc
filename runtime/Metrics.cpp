#include "runtime/Metrics.h"

#include <algorithm>
#include <map>

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

void TMetrics::NotePass(const TTesselGroups& registry) {
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
    sum.DurationMs += pass.DurationMs;
    sum.EndTime = std::max(sum.EndTime, pass.EndTime);
  }
  for (const std::string& name : order) {
    const TGroup& pass = ran[name];
    TGroup& group = Find(name);
    group.Last = pass.Last;
    group.Total.Taken += pass.Last.Taken;
    group.Total.Delivered += pass.Last.Delivered;
    group.Total.Bad += pass.Last.Bad;
    group.Total.Left += pass.Last.Left;
    group.DurationMs = pass.DurationMs;
    group.EndTime = pass.EndTime;
  }
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
  auto outcomes = [&](const char* name, TCounts TGroup::*counts) {
    for (const TGroup& group : groups_) {
      const TCounts& c = group.*counts;
      const std::pair<const char*, int64_t> values[] = {
          {"taken", c.Taken}, {"delivered", c.Delivered}, {"bad", c.Bad}, {"left", c.Left}};
      for (const auto& [outcome, value] : values)
        sample(name, groupLabel(group) + ",outcome=\"" + outcome + "\"", std::to_string(value));
    }
  };

  header("tessel_library_open", "gauge", "Whether the crypto library is open (1) or not (0).");
  sample("tessel_library_open", "", libraryOpen_ ? "1" : "0");
  header("tessel_last_pass_files", "gauge",
         "Files of the group's last pass: taken into work, delivered, sent to the bad-files "
         "folder, left for a later pass.");
  outcomes("tessel_last_pass_files", &TGroup::Last);
  header("tessel_files_total", "counter", "The same since the program started.");
  outcomes("tessel_files_total", &TGroup::Total);
  header("tessel_last_pass_duration_seconds", "gauge", "Duration of the group's last pass.");
  for (const TGroup& group : groups_) {
    sample("tessel_last_pass_duration_seconds", groupLabel(group), Seconds(group.DurationMs));
  }
  header("tessel_last_pass_end_time_seconds", "gauge",
         "When the group's last pass ended, in seconds since 1970.");
  for (const TGroup& group : groups_)
    sample("tessel_last_pass_end_time_seconds", groupLabel(group),
           std::to_string(static_cast<int64_t>(group.EndTime)));
  return text;
}
