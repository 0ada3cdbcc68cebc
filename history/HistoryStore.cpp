#include "history/HistoryStore.h"

#include <sqlite3.h>

#include <optional>

#include "engine/uFileUtil.h"
#include "engine/uTesselTypes.h"
#include "history/RecordCodec.h"
#include "history/Sha256.h"
#include "masks/FileMask.h"
#include "platform/Clock.h"
#include "platform/Cp1251.h"
#include "platform/Files.h"

namespace {

constexpr int kBusyMs = 2000;
// How often an abandonable query asks whether to go on: a few microseconds.
constexpr int kStepsBetweenAsks = 1000;

// Each entry upgrades the schema by one version; the database keeps the
// number of those it has had.
const char* const kUpgrades[] = {
    "CREATE TABLE roads ("
    " id INTEGER PRIMARY KEY, script TEXT, grp TEXT, pass_start INTEGER, source TEXT,"
    " name TEXT, size INTEGER, mtime_ns INTEGER, sha256 TEXT, steps TEXT, outcome TEXT,"
    " target TEXT, why TEXT, code INTEGER, result_size INTEGER, result_sha256 TEXT,"
    " taken_at INTEGER, done_at INTEGER, host TEXT, version TEXT, recovered INTEGER,"
    " digest TEXT NOT NULL);"
    "CREATE INDEX roads_name ON roads(name);"
    "CREATE INDEX roads_sha256 ON roads(sha256);"
    "CREATE INDEX roads_result_sha256 ON roads(result_sha256);"
    "CREATE INDEX roads_taken ON roads(taken_at);"
    "CREATE INDEX roads_source ON roads(source);"
    "CREATE TABLE anchor (digest TEXT NOT NULL);"
    // The chain's anchor before the first record.
    "INSERT INTO anchor VALUES "
    "('0000000000000000000000000000000000000000000000000000000000000000');",
    // Each index costs every record a search of its own tree. A road whose
    // steps left its bytes as taken is found by its taken digest already,
    // so the result's index keeps only the roads that changed them; and the
    // recovery's look-up by source goes through the name, which is the
    // source's last part.
    "DROP INDEX roads_source;"
    "DROP INDEX roads_result_sha256;"
    "CREATE INDEX roads_result_sha256 ON roads(result_sha256)"
    " WHERE result_sha256 IS NOT sha256;",
};
constexpr int kSchemaVersion = sizeof kUpgrades / sizeof kUpgrades[0];

// The hashed columns, in the chain's order.
const char* const kFields =
    "script, grp, pass_start, source, name, size, mtime_ns, sha256, steps, outcome, target, why,"
    " code, result_size, result_sha256, taken_at, done_at, host, version, recovered";
constexpr int kFieldCount = 20;

std::string Utf8(const std::string& text) {
  return platform::Cp1251ToUtf8(text);
}

std::vector<std::string> Fields(const THistoryRecord& r) {
  return {Utf8(r.Script),
          Utf8(r.Group),
          std::to_string(r.PassStart),
          Utf8(r.Source),
          Utf8(r.Name),
          std::to_string(r.Size),
          std::to_string(r.MtimeNs),
          r.Sha256,
          Utf8(EncodeSteps(r.Steps)),
          r.Outcome,
          Utf8(r.Target),
          Utf8(r.Why),
          std::to_string(r.Code),
          std::to_string(r.ResultSize),
          r.ResultSha256,
          std::to_string(r.TakenAt),
          std::to_string(r.DoneAt),
          Utf8(r.Host),
          Utf8(r.Version),
          r.Recovered ? "1" : "0"};
}

// A prepared statement that finalizes itself.
class Statement {
 public:
  Statement(sqlite3* db, const std::string& sql) {
    rc_ = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr);
  }
  // One the store keeps (null: it could not be prepared, for rc), reset for its next use.
  Statement(sqlite3_stmt* kept, int rc) : stmt_(kept), rc_(rc), owned_(false) {}
  ~Statement() {
    if (owned_) {
      sqlite3_finalize(stmt_);
    } else if (stmt_) {
      sqlite3_reset(stmt_);
      sqlite3_clear_bindings(stmt_);  // no text of this use is left bound to it
    }
  }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;
  int Prepared() const { return rc_; }
  void Bind(int at, const std::string& text) {
    sqlite3_bind_text(stmt_, at, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
  }
  // Without a copy: the text must stay as it is until the statement is reset.
  void BindKept(int at, const std::string& text) {
    sqlite3_bind_text(stmt_, at, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  }
  void Bind(int at, int64_t value) { sqlite3_bind_int64(stmt_, at, value); }
  int Step() { return sqlite3_step(stmt_); }
  // Ready to run again; its bindings stay until bound anew.
  void Reset() { sqlite3_reset(stmt_); }
  std::string Text(int column) const {
    const unsigned char* text = sqlite3_column_text(stmt_, column);
    return text ? std::string(reinterpret_cast<const char*>(text),
                              static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
                : std::string();
  }
  int64_t Int(int column) const { return sqlite3_column_int64(stmt_, column); }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  int rc_ = SQLITE_OK;
  bool owned_ = true;
};

int Exec(sqlite3* db, const char* sql) {
  return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

std::string ChainDigest(const std::string& previous, const std::vector<std::string>& fields) {
  return Sha256Hex(previous + CanonicalBytes(fields));
}

THistoryRecord FromRow(const Statement& s) {
  // id, then the hashed fields in their order, then the digest.
  THistoryRecord r;
  auto text = [&](int column) { return platform::Utf8ToCp1251Lossy(s.Text(column)); };
  r.Id = s.Int(0);
  r.Script = text(1);
  r.Group = text(2);
  r.PassStart = s.Int(3);
  r.Source = text(4);
  r.Name = text(5);
  r.Size = static_cast<uint64_t>(s.Int(6));
  r.MtimeNs = s.Int(7);
  r.Sha256 = s.Text(8);
  r.Steps = DecodeSteps(text(9));
  r.Outcome = s.Text(10);
  r.Target = text(11);
  r.Why = text(12);
  r.Code = static_cast<int>(s.Int(13));
  r.ResultSize = static_cast<uint64_t>(s.Int(14));
  r.ResultSha256 = s.Text(15);
  r.TakenAt = s.Int(16);
  r.DoneAt = s.Int(17);
  r.Host = text(18);
  r.Version = text(19);
  r.Recovered = s.Int(20) != 0;
  r.Digest = s.Text(21);
  return r;
}

bool HasWildcard(const std::string& mask) {
  return mask.find_first_of("*?") != std::string::npos;
}

}  // namespace

THistoryStore::THistoryStore(std::string path, Seconds clock, FailureLine failure)
    : path_(std::move(path)), clock_(std::move(clock)), failure_(std::move(failure)) {
  if (int rc = Open()) SetAside(rc);
}

THistoryStore::THistoryStore(std::string path, bool readOnly)
    : path_(std::move(path)), readOnly_(readOnly) {}

THistoryStore::~THistoryStore() {
  Close();
}

std::unique_ptr<THistoryStore> THistoryStore::OpenToRead(const std::string& path,
                                                         std::string* why) {
  std::unique_ptr<THistoryStore> store(new THistoryStore(path, true));
  if (int rc = store->Open()) {
    if (why) *why = sqlite3_errstr(rc);
    return nullptr;
  }
  return store;
}

sqlite3_stmt* THistoryStore::Kept(const std::string& sql, int& rc) {
  rc = SQLITE_OK;
  sqlite3_stmt*& kept = kept_[sql];
  if (!kept && (rc = sqlite3_prepare_v2(db_, sql.c_str(), -1, &kept, nullptr)) != SQLITE_OK) {
    sqlite3_finalize(kept);
    kept = nullptr;
  }
  return kept;
}

void THistoryStore::Close() {
  for (auto& [sql, statement] : kept_) sqlite3_finalize(statement);
  kept_.clear();
  if (db_) sqlite3_close_v2(db_);  // an open transaction goes with it
  db_ = nullptr;
  open_ = false;
}

int64_t THistoryStore::Now() const {
  return clock_ ? clock_() : platform::WallClockSeconds();
}

int THistoryStore::Open() {
  Close();
  const int flags = readOnly_ ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
  int rc = sqlite3_open_v2(Utf8(path_).c_str(), &db_, flags | SQLITE_OPEN_NOMUTEX, nullptr);
  if (rc != SQLITE_OK) return rc;
  sqlite3_busy_timeout(db_, kBusyMs);
  if (readOnly_) {
    // A read touches the file: a damaged or foreign one says so now.
    Statement probe(db_, "SELECT count(*) FROM sqlite_master");
    if (probe.Prepared() != SQLITE_OK) return probe.Prepared();
    rc = probe.Step();
    return rc == SQLITE_ROW ? SQLITE_OK : rc;
  }
  if ((rc = Exec(db_, "PRAGMA journal_mode=WAL"))) return rc;
  // A pass commits its records once, after its deliveries are on the disk
  // and before the delivery journal that could complete them is cleared; in
  // full mode that commit is on the disk too, so a power cut after it loses
  // none of them. That is one flush of the log per group's pass (never one
  // per file), against the pass's own flushes of every folder it delivered
  // to. Normal mode would spare it and lose, to a power cut, the records
  // committed since the last checkpoint: deliveries whose journal is gone,
  // left without a record. Delivery itself would stay exactly once either
  // way: the journal, not the history, keeps a file from going twice.
  if ((rc = Exec(db_, "PRAGMA synchronous=FULL"))) return rc;
  // A group's transaction stays open while its pass runs and commits when
  // the pass waits for it. The cache holds what a group's records change
  // (8 MiB: some hundreds of pages for a thousand records) until that
  // commit writes each page once; a cache smaller than that spilled index
  // pages to the log and read them back for the next record, again and
  // again, for what the commit then saved only a few writes into memory.
  if ((rc = Exec(db_, "PRAGMA cache_size=-8192"))) return rc;
  // In place of the library's own checkpoints, which run inside the commit
  // that fills the log: a pass waits for its group's commit, and should not
  // wait for a thousand pages copied and flushed.
  sqlite3_wal_hook(
      db_,
      [](void* self, sqlite3*, const char*, int frames) {
        static_cast<THistoryStore*>(self)->logFrames_ = frames;
        return SQLITE_OK;
      },
      this);
  return Upgrade();
}

int THistoryStore::Upgrade() {
  int rc = Exec(db_, "BEGIN IMMEDIATE");
  if (rc) return rc;
  rc = Exec(db_, "CREATE TABLE IF NOT EXISTS schema_version (version INTEGER NOT NULL)");
  int version = 0;
  if (!rc) {
    Statement get(db_, "SELECT version FROM schema_version");
    if ((rc = get.Prepared()) == SQLITE_OK) {
      const int step = get.Step();
      if (step == SQLITE_ROW)
        version = static_cast<int>(get.Int(0));
      else if (step != SQLITE_DONE)
        rc = step;
      else
        rc = Exec(db_, "INSERT INTO schema_version VALUES (0)");
    }
  }
  for (; !rc && version < kSchemaVersion; ++version) rc = Exec(db_, kUpgrades[version]);
  if (!rc) {
    Statement set(db_, "UPDATE schema_version SET version = ?");
    set.Bind(1, static_cast<int64_t>(version));
    rc = set.Prepared() ? set.Prepared() : set.Step() == SQLITE_DONE ? SQLITE_OK : SQLITE_ERROR;
  }
  if (rc) {
    Exec(db_, "ROLLBACK");
    return rc;
  }
  return Exec(db_, "COMMIT");
}

void THistoryStore::SetAside(int code) {
  Close();
  const std::string aside = path_ + ".aside-" + std::to_string(platform::WallClockNs() / 1'000'000);
  int err = 0;
  for (const char* suffix : {"", "-wal", "-shm"}) {
    platform::FileStat stat;
    if (platform::StatPath(path_ + suffix, stat) == 0)
      if (int e = platform::RenameFile(path_ + suffix, aside + suffix); e && !err) err = e;
  }
  if (failure_) {
    if (err)
      failure_({"Ошибка записи истории", path_, sqlite3_errstr(code), platform::ErrorText(err)});
    else
      failure_({"Ошибка записи истории, база отложена", aside, sqlite3_errstr(code)});
  }
  if (Open() != SQLITE_OK) Close();  // a history that cannot start: nothing is kept
}

void THistoryStore::Append(std::vector<THistoryRecord> records) {
  if (records.empty()) return;
  std::lock_guard<std::mutex> hold(lock_);
  const int rc = db_ ? AppendOnce(records) : SQLITE_CANTOPEN;
  if (rc != SQLITE_OK) {
    SetAside(rc);
    if (db_) (void)AppendOnce(records);
  }
  CheckpointLockedWhenDue();
}

void THistoryStore::Failed(int code, std::vector<THistoryRecord>& records) {
  std::lock_guard<std::mutex> hold(lock_);
  if (open_) (void)Fail(code);
  SetAside(code ? code : SQLITE_ERROR);
  if (db_ && !records.empty()) (void)AppendOnce(records);
  CheckpointLockedWhenDue();
}

void THistoryStore::CheckpointWhenDue() {
  std::lock_guard<std::mutex> hold(lock_);
  CheckpointLockedWhenDue();
}

void THistoryStore::CheckpointLockedWhenDue() {
  if (!db_ || open_ || logFrames_ < kCheckpointFrames) return;
  // Passive: a reader's snapshot is never waited for; what it still needs
  // is copied at a later one.
  (void)sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
  logFrames_ = 0;
}

int THistoryStore::AppendOnce(std::vector<THistoryRecord>& records) {
  int rc = BeginLocked();
  for (auto r = records.begin(); rc == SQLITE_OK && r != records.end(); ++r) rc = AddLocked(*r);
  return rc ? rc : CommitLocked();
}

int THistoryStore::Begin() {
  std::lock_guard<std::mutex> hold(lock_);
  return BeginLocked();
}

int THistoryStore::Add(THistoryRecord& record) {
  std::lock_guard<std::mutex> hold(lock_);
  return AddLocked(record);
}

int THistoryStore::Commit() {
  std::lock_guard<std::mutex> hold(lock_);
  return CommitLocked();
}

void THistoryStore::Rollback() {
  std::lock_guard<std::mutex> hold(lock_);
  if (open_) (void)Fail(SQLITE_OK);
}

int THistoryStore::Fail(int code) {
  if (db_) Exec(db_, "ROLLBACK");
  open_ = false;
  return code ? code : SQLITE_ERROR;
}

int THistoryStore::BeginLocked() {
  if (!db_) return SQLITE_CANTOPEN;
  if (open_) return SQLITE_MISUSE;  // one transaction at a time: its records would mix
  int rc = Exec(db_, "BEGIN IMMEDIATE");
  if (rc) return rc;
  open_ = true;
  int prepared = 0;
  Statement last(Kept("SELECT digest FROM roads ORDER BY id DESC LIMIT 1", prepared), prepared);
  if (last.Prepared()) return Fail(last.Prepared());
  rc = last.Step();
  if (rc == SQLITE_ROW) {
    previous_ = last.Text(0);
    return SQLITE_OK;
  }
  Statement anchor(db_, "SELECT digest FROM anchor");
  if (anchor.Prepared() || anchor.Step() != SQLITE_ROW) return Fail(anchor.Prepared());
  previous_ = anchor.Text(0);
  return SQLITE_OK;
}

int THistoryStore::AddLocked(THistoryRecord& record) {
  if (!open_) return SQLITE_MISUSE;
  static const std::string kInsert = std::string("INSERT INTO roads (") + kFields +
                                     ", digest) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";
  int prepared = 0;
  Statement insert(Kept(kInsert, prepared), prepared);
  if (insert.Prepared()) return Fail(insert.Prepared());
  const std::vector<std::string> fields = Fields(record);
  record.Digest = ChainDigest(previous_, fields);
  // Every parameter is bound anew for each record, each text kept until the reset.
  for (int i = 0; i < kFieldCount; ++i) insert.BindKept(i + 1, fields[i]);
  insert.BindKept(kFieldCount + 1, record.Digest);
  if (const int rc = insert.Step(); rc != SQLITE_DONE) return Fail(rc);
  record.Id = sqlite3_last_insert_rowid(db_);
  previous_ = record.Digest;
  return SQLITE_OK;
}

int THistoryStore::CommitLocked() {
  if (!open_) return SQLITE_MISUSE;
  if (const int rc = Exec(db_, "COMMIT")) return Fail(rc);
  open_ = false;
  return SQLITE_OK;
}

bool THistoryStore::HasDelivery(const std::string& source, uint64_t size, int64_t mtimeNs,
                                const std::string& target) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!db_) return false;
  int prepared = 0;
  Statement s(Kept("SELECT 1 FROM roads WHERE name = ? AND source = ? AND size = ? AND mtime_ns = ?"
                   " AND target = ? AND outcome IN ('delivered', 'bad') LIMIT 1",
                   prepared),
              prepared);
  if (s.Prepared()) return false;
  s.Bind(1, Utf8(ExtractFileName(source)));
  s.Bind(2, Utf8(source));
  s.Bind(3, static_cast<int64_t>(size));
  s.Bind(4, mtimeNs);
  s.Bind(5, Utf8(target));
  return s.Step() == SQLITE_ROW;
}

std::optional<TRoadEarlier> THistoryStore::LastDelivery(const std::string& group,
                                                        const std::string& sha256, int64_t since) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!db_) return std::nullopt;
  int prepared = 0;
  Statement s(Kept("SELECT name, done_at FROM roads WHERE sha256 = ? AND grp = ?"
                   " AND outcome = 'delivered' AND done_at >= ? ORDER BY id DESC LIMIT 1",
                   prepared),
              prepared);
  if (s.Prepared()) return std::nullopt;
  s.Bind(1, sha256);
  s.Bind(2, Utf8(group));
  s.Bind(3, since);
  if (s.Step() != SQLITE_ROW) return std::nullopt;
  return TRoadEarlier{platform::Utf8ToCp1251Lossy(s.Text(0)), s.Int(1)};
}

std::vector<THistoryRecord> THistoryStore::Find(const THistoryFilter& filter,
                                                const std::atomic<bool>* abandoned) {
  std::lock_guard<std::mutex> hold(lock_);
  std::vector<THistoryRecord> found;
  if (!db_) return found;
  // A scan the mask refuses row by row runs long: the library asks whether
  // to go on every so many steps, and an abandoned one ends with SQLITE_INTERRUPT.
  struct TAbandonable {
    sqlite3* db;
    TAbandonable(sqlite3* d, const std::atomic<bool>* flag) : db(flag ? d : nullptr) {
      if (db)
        sqlite3_progress_handler(
            db, kStepsBetweenAsks,
            [](void* f) { return static_cast<const std::atomic<bool>*>(f)->load() ? 1 : 0; },
            const_cast<std::atomic<bool>*>(flag));
    }
    ~TAbandonable() {
      if (db) sqlite3_progress_handler(db, 0, nullptr, nullptr);
    }
  } abandonable(db_, abandoned);
  std::string sql = std::string("SELECT id, ") + kFields + ", digest FROM roads WHERE 1";
  std::vector<std::string> texts;
  std::vector<int64_t> numbers;
  const bool exactName = !filter.NameMask.empty() && !HasWildcard(filter.NameMask);
  if (exactName) sql += " AND name = ?1";
  if (!filter.Group.empty()) sql += " AND grp = ?2";
  // Spelled as the result's index is made, so that both indexes serve it.
  if (!filter.Sha256.empty())
    sql += " AND (sha256 = ?3 OR (result_sha256 = ?3 AND result_sha256 IS NOT sha256))";
  if (!filter.Outcome.empty()) sql += " AND outcome = ?4";
  if (filter.From) sql += " AND taken_at >= ?5";
  if (filter.To) sql += " AND taken_at <= ?6";
  sql += " ORDER BY id DESC";
  Statement s(db_, sql);
  if (s.Prepared()) return found;
  if (exactName) s.Bind(1, Utf8(filter.NameMask));
  if (!filter.Group.empty()) s.Bind(2, Utf8(filter.Group));
  if (!filter.Sha256.empty()) s.Bind(3, filter.Sha256);
  if (!filter.Outcome.empty()) s.Bind(4, filter.Outcome);
  if (filter.From) s.Bind(5, filter.From);
  if (filter.To) s.Bind(6, filter.To);
  std::optional<TFileMask> mask;
  if (!filter.NameMask.empty() && !exactName) mask.emplace(filter.NameMask);
  while (s.Step() == SQLITE_ROW) {
    // A mask looks at the name and folder alone: a row it refuses is not decoded.
    if (mask && !mask->Matches(platform::Utf8ToCp1251Lossy(s.Text(5)),
                               ExtractFileFolder(platform::Utf8ToCp1251Lossy(s.Text(4)))))
      continue;
    found.push_back(FromRow(s));
    if (filter.Limit && found.size() >= filter.Limit) break;
  }
  return {found.rbegin(), found.rend()};
}

int64_t THistoryStore::Verify(std::string* why) {
  std::lock_guard<std::mutex> hold(lock_);
  if (!db_) {
    if (why) *why = "база не открыта";
    return -1;
  }
  std::string previous;
  {
    Statement anchor(db_, "SELECT digest FROM anchor");
    if (anchor.Prepared() || anchor.Step() != SQLITE_ROW) {
      if (why) *why = "нет начала цепочки";
      return -1;
    }
    previous = anchor.Text(0);
  }
  Statement s(db_, std::string("SELECT id, ") + kFields + ", digest FROM roads ORDER BY id");
  if (s.Prepared()) return -1;
  while (s.Step() == SQLITE_ROW) {
    std::vector<std::string> fields;
    for (int i = 1; i <= kFieldCount; ++i) fields.push_back(s.Text(i));
    const std::string digest = s.Text(kFieldCount + 1);
    if (ChainDigest(previous, fields) != digest) {
      if (why) *why = "запись изменена, удалена или вставлена";
      return s.Int(0);
    }
    previous = digest;
  }
  return 0;
}

int THistoryStore::Prune(int days) {
  std::lock_guard<std::mutex> hold(lock_);
  // Within a writer's transaction: at its next call, once that is committed.
  if (!db_ || days <= 0 || open_) return 0;
  const int64_t cutoff = Now() - static_cast<int64_t>(days) * 86400;
  // The oldest records up to the last one done before the cutoff go: the
  // chain stays whole from the new anchor.
  if (Exec(db_, "BEGIN IMMEDIATE")) return 0;
  int64_t last = 0;
  std::string anchor;
  {
    Statement s(db_,
                "SELECT id, digest FROM roads WHERE id = "
                "(SELECT max(id) FROM roads WHERE done_at < ?)");
    s.Bind(1, cutoff);
    if (s.Prepared() == SQLITE_OK && s.Step() == SQLITE_ROW) {
      last = s.Int(0);
      anchor = s.Text(1);
    }
  }
  int removed = 0;
  if (last) {
    Statement del(db_, "DELETE FROM roads WHERE id <= ?");
    del.Bind(1, last);
    Statement set(db_, "UPDATE anchor SET digest = ?");
    set.Bind(1, anchor);
    if (del.Step() == SQLITE_DONE) {
      removed = sqlite3_changes(db_);
      if (set.Step() != SQLITE_DONE) removed = 0;
    }
  }
  if (Exec(db_, "COMMIT")) {
    Exec(db_, "ROLLBACK");
    return 0;
  }
  CheckpointLockedWhenDue();
  return removed;
}

std::string HistoryPath() {
  return platform::ReplaceExtension(LogFilePath(), ".history");
}
