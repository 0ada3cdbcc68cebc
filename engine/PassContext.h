// What the pass tells the copies its steps make while one file is processed:
// the journal that records them and the permissions they may have at most
// (those of the source file as it was taken).
#pragma once

class TDeliveryJournal;

struct TPassContext {
  TDeliveryJournal* Journal = nullptr;
  unsigned ModeCap = 0666;
};

// The context of the file in hand on this thread, or null outside a pass.
TPassContext* CurrentPassContext();

class TScopedPassContext {
 public:
  explicit TScopedPassContext(TPassContext& context);
  ~TScopedPassContext();
  TScopedPassContext(const TScopedPassContext&) = delete;
  TScopedPassContext& operator=(const TScopedPassContext&) = delete;

 private:
  TPassContext* previous_;
};
