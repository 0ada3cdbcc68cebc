// What the pass tells the copies its steps make while one file is processed:
// the journal that records them and the permissions they may have at most
// (those of the source file as it was taken).
#pragma once

class TDeliveryJournal;

struct TPassContext {
  TDeliveryJournal* Journal = nullptr;
  unsigned ModeCap = 0666;
  // Set by a step that failed on its working files (no room, an I/O error),
  // not on the file's content: the file then waits instead of going bad.
  bool WorkingSpaceFault = false;
};

// The context of the file in hand on this thread, or null outside a pass.
TPassContext* CurrentPassContext();
// A step's failure lies with its working files; nothing outside a pass.
void NoteWorkingSpaceFault();

class TScopedPassContext {
 public:
  explicit TScopedPassContext(TPassContext& context);
  ~TScopedPassContext();
  TScopedPassContext(const TScopedPassContext&) = delete;
  TScopedPassContext& operator=(const TScopedPassContext&) = delete;

 private:
  TPassContext* previous_;
};
