#include "engine/Readiness.h"

#include <ctime>

#include "engine/uTesselTypes.h"
#include "platform/Clock.h"
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
std::function<int64_t()>& WallClockOverride() {
  static std::function<int64_t()> clock;
  return clock;
}
}  // namespace

int64_t PassWallClockNs() {
  return WallClockOverride() ? WallClockOverride()() : platform::WallClockNs();
}

void SetPassWallClock(std::function<int64_t()> clock) {
  WallClockOverride() = std::move(clock);
}

namespace {
// A copy of up to this much is over in a moment (see CheckReadiness).
constexpr uint64_t kLeasedCopyBytes = uint64_t{1} << 20;

TReadiness Waits(std::string reason) {
  TReadiness waits;
  waits.Ready = false;
  waits.Reason = std::move(reason);
  return waits;
}
// Changed less than kFreshChangeWait ago by the wall clock, or at a time
// still ahead of it.
bool ChangedJustNow(const platform::FileStat& st, int64_t wallNowNs) {
  return wallNowNs - st.mtimeNs <
         std::chrono::duration_cast<std::chrono::nanoseconds>(kFreshChangeWait).count();
}

}  // namespace

TReadiness CheckReadiness(TTesselActionList& group, const std::string& path,
                          std::chrono::steady_clock::time_point now, int64_t wallNowNs,
                          const std::set<TFileIdentity>* delivered) {
  // The take copies a ready file at once: a small one's copy is over in a
  // moment, so its lease may last until the copy closes it.
  platform::TakeCheck check = platform::OpenToTake(path, kLeasedCopyBytes);
  platform::FileStat& st = check.stat;
  // Gone, or no longer a plain file: the take-in refuses it and says why.
  // One that cannot be opened is judged as it looks, and its take says why.
  if (check.error && platform::LinkStat(path, st) != 0) return {};
  if (!st.isRegular) return {};
  TFileWatch& watch = group.Run().Watched[path];
  const bool same = watch.Since != std::chrono::steady_clock::time_point{} &&
                    watch.Size == st.size && watch.MtimeNs == st.mtimeNs &&
                    watch.Inode == st.inode && watch.Device == st.device;
  // A file that goes on changing keeps waiting: its wait is said only once.
  if (!same) watch = {st.size, st.device, st.inode, st.mtimeNs, now, watch.WaitSaid};
  switch (check.writers) {
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
  if (ChangedJustNow(st, wallNowNs) && now - watch.Since < kFreshChangeWait &&
      !(delivered && delivered->count({st.device, st.inode, st.size, st.mtimeNs}))) {
    TReadiness fresh = Waits(WaitReasonSettling(static_cast<int>(kFreshChangeWait.count())));
    fresh.Fresh = true;
    return fresh;
  }
  TReadiness ready;
  ready.HasStat = true;
  ready.Stat = st;
  ready.Opened = std::move(check.opened);
  return ready;
}

std::string WaitReasonNow(const TTesselActionList& group, const std::string& path) {
  if (platform::CheckWriters(path) == platform::WriterState::Writing) return WaitReasonWriting();
  platform::FileStat st;
  if (platform::StatPath(path, st) != 0) return {};
  const int64_t age = static_cast<int64_t>(std::time(nullptr)) - st.mtimeNs / 1000000000;
  if (group.SettleSeconds > 0 && age < group.SettleSeconds)
    return WaitReasonSettling(group.SettleSeconds);
  if (ChangedJustNow(st, PassWallClockNs()))
    return WaitReasonSettling(static_cast<int>(kFreshChangeWait.count()));
  return {};
}
