// One file's road as the history keeps it: what was taken, what each step
// did, where it ended and what was delivered, with the digest that chains
// it to the record before it. Texts are Windows-1251, as everywhere inside.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct THistoryStep {
  int Kind = 0;
  std::string Caption;
  std::string Params;  // the step's parameter text: the keys it used among it
  bool Ok = false;
  int Code = 0;
  std::string Text;      // the lines it wrote (its signature report among them)
  std::string CopiedTo;  // its copy to a copy folder; empty: none
  // Defaulted, so that a step written field by field may leave it out.
  std::string Fingerprints{};  // of the keys it used, where a key has one; blank between

  bool operator==(const THistoryStep&) const = default;
};

struct THistoryRecord {
  int64_t Id = 0;  // the database's; 0 before it is kept
  std::string Script, Group;
  int64_t PassStart = 0;  // seconds since the epoch
  std::string Source;     // the path it was taken from
  std::string Name;       // its name
  uint64_t Size = 0;
  int64_t MtimeNs = 0;
  std::string Sha256;  // of the bytes taken, hex; empty: not known (a recovered record)
  std::vector<THistoryStep> Steps;
  std::string Outcome;  // "delivered", "bad", "left", "held"
  std::string Target;   // delivered, bad: the path it went to
  std::string Why;
  int Code = 0;
  uint64_t ResultSize = 0;
  std::string ResultSha256;  // of the bytes delivered, hex
  int64_t TakenAt = 0, DoneAt = 0;  // seconds since the epoch
  std::string Host, Version;
  bool Recovered = false;  // completed from the delivery journal after a kill
  std::string Digest;      // hex: chained to the record before

  bool operator==(const THistoryRecord&) const = default;
};

// Makes record as a new one, keeping the room its texts and steps have:
// the pass fills records used before without asking for memory.
void Recycle(THistoryRecord& record);

// The copies its steps made.
std::vector<std::string> CopiesOf(const THistoryRecord& record);
