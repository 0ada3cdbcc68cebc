#include "engine/Readiness.h"

#include <ctime>

#include "engine/uTesselTypes.h"
#include "platform/Files.h"
#include "platform/Writers.h"

std::string WaitReasonWriting() {
  return "открыт для записи";
}
std::string WaitReasonChanged() {
  return "изменился с прошлого прохода";
}
std::string WaitReasonSettling(int seconds) {
  return "изменялся менее " + std::to_string(seconds) + " с назад";
}

namespace {
TReadiness Waits(std::string reason) {
  TReadiness waits;
  waits.Ready = false;
  waits.Reason = std::move(reason);
  return waits;
}
}  // namespace

TReadiness CheckReadiness(TTesselActionList& group, const std::string& path,
                          std::chrono::steady_clock::time_point now) {
  platform::FileStat st;
  // Gone, or no longer a plain file: the take-in refuses it and says why.
  if (platform::LinkStat(path, st) != 0 || !st.isRegular) return {};
  TFileWatch& watch = group.Run().Watched[path];
  const bool same = watch.Since != std::chrono::steady_clock::time_point{} &&
                    watch.Size == st.size && watch.MtimeNs == st.mtimeNs &&
                    watch.Inode == st.inode && watch.Device == st.device;
  // A file that goes on changing keeps waiting: its wait is said only once.
  if (!same) watch = {st.size, st.device, st.inode, st.mtimeNs, now, watch.WaitSaid};
  switch (platform::CheckWriters(path)) {
    case platform::WriterState::Writing:
      return Waits(WaitReasonWriting());
    case platform::WriterState::Unknown:
      if (!same) return Waits(WaitReasonChanged());
      break;
    case platform::WriterState::None:
      break;
  }
  if (group.SettleSeconds > 0 && now - watch.Since < std::chrono::seconds(group.SettleSeconds))
    return Waits(WaitReasonSettling(group.SettleSeconds));
  TReadiness ready;
  ready.HasStat = true;
  ready.Stat = st;
  return ready;
}

std::string WaitReasonNow(const TTesselActionList& group, const std::string& path) {
  if (platform::CheckWriters(path) == platform::WriterState::Writing) return WaitReasonWriting();
  platform::FileStat st;
  if (group.SettleSeconds > 0 && platform::StatPath(path, st) == 0) {
    const int64_t age = static_cast<int64_t>(std::time(nullptr)) - st.mtimeNs / 1000000000;
    if (age < group.SettleSeconds) return WaitReasonSettling(group.SettleSeconds);
  }
  return {};
}
