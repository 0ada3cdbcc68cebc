#include "runtime/BackgroundPass.h"

TBackgroundPass::TBackgroundPass(std::function<void()> wake) : wake_(std::move(wake)) {}

TBackgroundPass::~TBackgroundPass() {
  {
    std::lock_guard lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool TBackgroundPass::Start(std::function<void()> pass) {
  std::unique_lock lock(mutex_);
  if (inFlight_) return false;
  // The thread may still be leaving the last pass, whose end was taken already.
  changed_.wait(lock, [this] { return !running_; });
  inFlight_ = true;
  running_ = true;
  job_ = std::move(pass);
  if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
  lock.unlock();
  changed_.notify_all();
  return true;
}

bool TBackgroundPass::InFlight() const {
  std::lock_guard lock(mutex_);
  return inFlight_;
}

void TBackgroundPass::WaitForEnd() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return !running_; });
}

TBackgroundPass::TReport TBackgroundPass::Take() {
  std::lock_guard lock(mutex_);
  TReport report = std::move(report_);
  report_ = {};
  waiting_ = false;
  if (report.PassEnded) inFlight_ = false;
  return report;
}

std::vector<TBackgroundPass::TLine> TBackgroundPass::TakeLines() {
  std::lock_guard lock(mutex_);
  std::vector<TLine> lines = std::move(report_.Lines);
  report_.Lines.clear();
  return lines;
}

bool TBackgroundPass::MarkWaiting() {
  if (waiting_) return false;
  waiting_ = true;
  return true;
}

void TBackgroundPass::AddLine(std::string text, TLogKind kind) {
  bool wake;
  {
    std::lock_guard lock(mutex_);
    report_.Lines.push_back({std::move(text), kind});
    wake = MarkWaiting();
  }
  if (wake && wake_) wake_();
}

void TBackgroundPass::SetProgress(int group, int file, int files) {
  bool wake;
  {
    std::lock_guard lock(mutex_);
    last_ = TProgress{group, file, files, {}, {}, 0, 0};
    report_.Progress = last_;
    wake = MarkWaiting();
  }
  if (wake && wake_) wake_();
}

void TBackgroundPass::SetActivity(int group, std::string what, std::string output, uint64_t bytes) {
  bool wake;
  {
    std::lock_guard lock(mutex_);
    TProgress progress = report_.Progress.value_or(last_);
    progress.Group = group;
    progress.What = std::move(what);
    progress.Output = std::move(output);
    progress.Bytes = bytes;
    if (progress.Output.empty()) progress.File = 0;  // between files
    last_ = progress;
    report_.Progress = std::move(progress);
    wake = MarkWaiting();
  }
  if (wake && wake_) wake_();
}

void TBackgroundPass::AddFailure(TFailureEvent failure) {
  bool wake;
  {
    std::lock_guard lock(mutex_);
    report_.Failures.push_back(std::move(failure));
    wake = MarkWaiting();
  }
  if (wake && wake_) wake_();
}

void TBackgroundPass::Loop() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return quit_ || job_; });
    if (!job_) return;
    std::function<void()> job = std::move(job_);
    job_ = nullptr;
    lock.unlock();
    job();
    lock.lock();
    report_.PassEnded = true;
    const bool wake = MarkWaiting();
    // Woken before the pass counts as over, so that whoever waits for the
    // end (the window's destructor) cannot be gone while it is woken.
    if (wake && wake_) {
      lock.unlock();
      wake_();
      lock.lock();
    }
    running_ = false;
    changed_.notify_all();
  }
}
