#include "platform/Profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

#include "platform/Cp1251.h"
#include "platform/FaultInjection.h"
#include "platform/FileDescriptor.h"

namespace platform {
namespace {

// ---------------------------------------------------------------------------
// Text helpers. ASCII literals only: the fuzzing build cannot convert others.

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (UpperCp1251(static_cast<unsigned char>(a[i])) !=
        UpperCp1251(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

bool IsQuote(char c) {
  return c == '"' || c == '\'';
}

// Windows drops one pair of matching quotation marks around a value.
std::string_view Unquote(std::string_view v) {
  if (v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front())
    return v.substr(1, v.size() - 2);
  return v;
}

// A value that reading would change (outer blanks trimmed, outer quotes
// dropped) is stored inside one more pair of quotes, so it reads back as it was.
std::string Encode(const std::string& v) {
  const bool changes =
      !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()) ||
                     (v.size() >= 2 && IsQuote(v.front()) && v.back() == v.front()));
  return changes ? '"' + v + '"' : v;
}

// Line ends would split the line; a zero byte would cut the zero-separated lists.
bool UnfitForALine(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != s.npos;
}

// ---------------------------------------------------------------------------
// Files

std::string Native(const std::string& path) {
  return Cp1251ToUtf8(path);
}

int ReadWhole(const std::string& file, std::string& bytes) {
  bytes.clear();
  // Non-blocking, so that a pipe in the file's place cannot hang the program.
  Fd fd(::open(Native(file).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (fd.get() < 0) return errno;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return errno;
  if (!S_ISREG(st.st_mode)) return EISDIR;
  bytes.reserve(static_cast<size_t>(st.st_size));
  char chunk[65536];
  for (;;) {
    ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return 0;
    bytes.append(chunk, static_cast<size_t>(n));
  }
}

int WriteAll(int fd, const std::string& bytes) {
  for (size_t done = 0; done < bytes.size();) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    done += static_cast<size_t>(n);
  }
  return 0;
}

std::string FolderOf(const std::string& nativePath) {
  auto slash = nativePath.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : nativePath.substr(0, slash);
}

// Opens the side file locked for us alone. Two writers of one file take turns
// here instead of writing into each other's side file.
int OpenSide(const std::string& nativeSide, Fd& fd) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    fd.reset(::open(nativeSide.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.get() < 0) {
      if (errno == ELOOP && ::unlink(nativeSide.c_str()) == 0)
        continue;  // never write through a link
      return errno;
    }
    while (::flock(fd.get(), LOCK_EX) != 0)
      if (errno != EINTR) return errno;
    // The previous holder may have renamed or removed the name meanwhile.
    struct stat mine {
    }, named{};
    if (::fstat(fd.get(), &mine) == 0 && ::lstat(nativeSide.c_str(), &named) == 0 &&
        mine.st_dev == named.st_dev && mine.st_ino == named.st_ino)
      return 0;
  }
  return EBUSY;
}

ProfileWriteStats g_stats;

// The size of the file at the path; -1 when there is none. A folder is no file,
// while a file we may not read still is one.
int64_t SizeOnDisk(const std::string& file) {
  struct stat st {};
  if (::stat(Native(file).c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

// Replaces the file with the bytes in one step: the side file (the file's
// name followed by "_tmp") is written and flushed, then renamed over the file.
// A crash leaves either the old or the new file, at worst with a side file,
// which is never read and is replaced by the next write.
int ReplaceFile(const std::string& file, const std::string& bytes) {
  if (int fault = InjectedFault("write", file)) return fault;
  const std::string native = Native(file);
  const std::string side = Native(file + "_tmp");

  struct stat old {};
  const bool hadFile = ::stat(native.c_str(), &old) == 0;
  if (hadFile && !S_ISREG(old.st_mode)) return EISDIR;
  // A read-only settings file stays as it is, as it would on Windows: no
  // write permission for us, or none for anybody (which root would ignore).
  if (hadFile && (old.st_mode & 0222) == 0) return EACCES;
  if (hadFile && ::access(native.c_str(), W_OK) != 0) return errno;

  Fd fd;
  if (int err = OpenSide(side, fd)) return err;
  auto fail = [&](int err) {
    ::unlink(side.c_str());
    return err;
  };
  if (::ftruncate(fd.get(), 0) != 0) return fail(errno);
  if (int err = WriteAll(fd.get(), bytes)) return fail(err);
  if (hadFile && ::fchmod(fd.get(), old.st_mode & 07777) != 0) return fail(errno);
  if (::fsync(fd.get()) != 0) return fail(errno);
  if (int fault = InjectedFault("rename", file)) return fail(fault);
  if (::rename(side.c_str(), native.c_str()) != 0) return fail(errno);
  fd.reset();

  // The rename itself reaches the disk with the folder.
  Fd dir(::open(FolderOf(native).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  ++g_stats.files;
  g_stats.bytes += bytes.size();
  return 0;
}

// Copies zero-separated items into a caller's buffer the way Windows does:
// every item ends in a zero byte and the whole in one more; what does not fit
// is cut, and the buffer still ends in two zero bytes.
size_t CopyItems(const std::vector<std::string>& items, char* buffer, size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  if (size == 1) {
    buffer[0] = 0;
    return 0;
  }
  size_t pos = 0;
  for (const std::string& item : items) {
    if (pos + item.size() + 2 > size) {
      const size_t keep = size - 2;
      if (pos < keep) std::memcpy(buffer + pos, item.data(), keep - pos);
      buffer[keep] = 0;
      buffer[keep + 1] = 0;
      return keep;
    }
    std::memcpy(buffer + pos, item.data(), item.size());
    pos += item.size();
    buffer[pos++] = 0;
  }
  buffer[pos] = 0;
  if (pos + 1 < size) buffer[pos + 1] = 0;
  return pos;
}

}  // namespace

// ---------------------------------------------------------------------------
// ProfileImage

ProfileImage ProfileImage::Parse(std::string_view bytes) {
  ProfileImage image;
  // Every leading byte-order mark goes, so the first line we write back never
  // starts with one that the next read would drop.
  while (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  size_t pos = 0;
  while (pos < bytes.size()) {
    size_t end = pos;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    const std::string_view raw = bytes.substr(pos, end - pos);
    pos = end;
    if (pos < bytes.size())
      pos += (bytes[pos] == '\r' && pos + 1 < bytes.size() && bytes[pos + 1] == '\n') ? 2 : 1;

    const std::string_view t = Trim(raw);
    if (!t.empty() && t.front() == '[') {
      // The last "]" closes the name, so a name holding "]" survives.
      const size_t close = t.rfind(']');
      if (close != std::string_view::npos) {
        Section section;
        section.name = std::string(t.substr(1, close - 1));
        section.header = std::string(raw);
        image.index_.emplace(UpperCase(section.name), image.sections_.size());
        image.sections_.push_back(std::move(section));
        continue;
      }
    }
    Line line;
    line.text = std::string(raw);
    if (!t.empty() && t.front() != ';' && t.front() != '[') {
      const size_t eq = t.find('=');
      if (eq == std::string_view::npos) {
        line.kind = Kind::Bare;
        line.key = std::string(t);
      } else {
        line.kind = Kind::Value;
        line.key = std::string(Trim(t.substr(0, eq)));
        line.value = std::string(Trim(t.substr(eq + 1)));
      }
    }
    (image.sections_.empty() ? image.preamble_ : image.sections_.back().lines)
        .push_back(std::move(line));
  }
  return image;
}

std::string ProfileImage::Serialize() const {
  std::string out;
  auto put = [&out](const std::string& text) {
    out += text;
    out += "\r\n";
  };
  for (const Line& line : preamble_) put(line.text);
  for (const Section& section : sections_) {
    put(section.header);
    for (const Line& line : section.lines) put(line.text);
  }
  return out;
}

const ProfileImage::Section* ProfileImage::FindSection(std::string_view name) const {
  auto it = index_.find(UpperCase(name));
  return it == index_.end() ? nullptr : &sections_[it->second];
}

ProfileImage::Section* ProfileImage::FindSection(std::string_view name) {
  return const_cast<Section*>(std::as_const(*this).FindSection(name));
}

bool ProfileImage::Find(std::string_view section, std::string_view key, std::string& value) const {
  const Section* s = FindSection(section);
  if (s == nullptr) return false;
  key = Trim(key);
  for (const Line& line : s->lines) {
    if (line.kind == Kind::Value && SameName(line.key, key)) {
      value = std::string(Unquote(line.value));
      return true;
    }
  }
  return false;
}

std::vector<std::string> ProfileImage::SectionNames() const {
  std::vector<std::string> names;
  names.reserve(sections_.size());
  for (const Section& section : sections_) names.push_back(section.name);
  return names;
}

std::vector<std::string> ProfileImage::SectionLines(std::string_view section) const {
  std::vector<std::string> lines;
  const Section* s = FindSection(section);
  if (s == nullptr) return lines;
  for (const Line& line : s->lines) {
    if (line.kind == Kind::Value)
      lines.push_back(line.key + '=' + std::string(Unquote(line.value)));
    else if (line.kind == Kind::Bare)
      lines.push_back(line.key);
  }
  return lines;
}

bool ProfileImage::Write(std::string_view section, std::string_view key, const std::string* value) {
  const std::string_view k = Trim(key);
  if (UnfitForALine(section) || UnfitForALine(key) || key.find('=') != key.npos ||
      (!k.empty() && (k.front() == '[' || k.front() == ';')) || (value && UnfitForALine(*value)))
    return false;

  auto makeLine = [value](std::string_view storedKey) {
    Line line;
    line.kind = Kind::Value;
    line.key = std::string(storedKey);
    line.value = Encode(*value);
    line.text = line.key + '=' + line.value;
    return line;
  };

  Section* s = FindSection(section);
  if (s == nullptr) {
    if (value == nullptr) return true;
    Section added;
    added.name = std::string(section);
    added.header = '[' + added.name + ']';
    added.lines.push_back(makeLine(k));
    index_.emplace(UpperCase(added.name), sections_.size());
    sections_.push_back(std::move(added));
    return true;
  }

  std::vector<Line>& lines = s->lines;
  auto isKey = [&](const Line& line) { return line.kind == Kind::Value && SameName(line.key, k); };
  if (value == nullptr) {
    // A hand-edited file may name the key twice; a removed key must not
    // come back from its second line.
    std::erase_if(lines, isKey);
    return true;
  }
  size_t after = 0;  // just below the last value line
  for (size_t i = 0; i < lines.size(); ++i) {
    if (isKey(lines[i])) {
      lines[i] = makeLine(lines[i].key);  // the stored spelling of the key stays
      return true;
    }
    if (lines[i].kind != Kind::Other) after = i + 1;
  }
  lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(after), makeLine(k));
  return true;
}

// ---------------------------------------------------------------------------
// The operations, with or without a batch

namespace {
thread_local ProfileBatch* g_batch = nullptr;
}  // namespace

struct ProfileAccess {
  static ProfileBatch* For(const std::string& file) {
    for (ProfileBatch* batch = g_batch; batch != nullptr; batch = batch->outer_)
      if (batch->file_ == file) return batch;
    return nullptr;
  }

  // The file's image: the batch's, or a fresh read into scratch.
  static const ProfileImage& Load(const std::string& file, ProfileImage& scratch) {
    if (ProfileBatch* batch = For(file)) return batch->image_;
    std::string bytes;
    ReadWhole(file, bytes);
    scratch = ProfileImage::Parse(bytes);
    return scratch;
  }

  // A refused or failed write leaves its reason in errno for the caller.
  static bool Failed(int err) {
    errno = err;
    return false;
  }

  static bool Write(const std::string& section, const std::string& key, const std::string* value,
                    const std::string& file) {
    ProfileBatch* batch = For(file);
    if (batch != nullptr && batch->mode_ == ProfileBatch::Mode::Rewrite) {
      // A write that fails spoils the batch: the file keeps its old contents.
      if (int fault = InjectedFault("write", file)) {
        if (batch->failure_ == 0) batch->failure_ = fault;
        return Failed(fault);
      }
      return batch->image_.Write(section, key, value) || Failed(EINVAL);
    }

    std::string bytes;
    const int readError = ReadWhole(file, bytes);
    // A file that exists but cannot be read must not be overwritten.
    if (readError != 0 && readError != ENOENT) return Failed(readError);
    ProfileImage image = ProfileImage::Parse(bytes);
    const std::string before = image.Serialize();
    if (!image.Write(section, key, value)) return Failed(EINVAL);
    std::string after = image.Serialize();
    // Nothing changed (removing what is not there creates no file).
    if (after == before) return true;
    if (int err = ReplaceFile(file, after)) return Failed(err);
    if (batch != nullptr) {
      batch->image_ = std::move(image);
      batch->exists_ = true;
    }
    return true;
  }

  static int64_t Size(const std::string& file) {
    if (ProfileBatch* batch = For(file))
      return batch->exists_ ? static_cast<int64_t>(batch->image_.Serialize().size()) : -1;
    return SizeOnDisk(file);
  }

  static void Begin(ProfileBatch& batch) {
    batch.outer_ = g_batch;
    g_batch = &batch;
    batch.active_ = true;
    if (batch.mode_ == ProfileBatch::Mode::Snapshot) {
      // Existence is the disk's answer, as without a batch: an unreadable file
      // is there and empty, not absent.
      batch.exists_ = SizeOnDisk(batch.file_) >= 0;
      std::string bytes;
      ReadWhole(batch.file_, bytes);
      batch.image_ = ProfileImage::Parse(bytes);
    } else {
      batch.exists_ = true;  // the new contents, empty so far
    }
  }

  static void Leave(ProfileBatch& batch) {
    batch.active_ = false;
    // Unlinked wherever it stands, should batches end out of order.
    for (ProfileBatch** link = &g_batch; *link != nullptr; link = &(*link)->outer_) {
      if (*link == &batch) {
        *link = batch.outer_;
        break;
      }
    }
  }

  static int End(ProfileBatch& batch) {
    if (!batch.active_) return 0;
    Leave(batch);
    if (batch.mode_ == ProfileBatch::Mode::Snapshot) return 0;
    if (batch.failure_ != 0) return batch.failure_;
    return ReplaceFile(batch.file_, batch.image_.Serialize());
  }
};

size_t GetPrivateProfileStringA(const std::string& section, const std::string& key,
                                const std::string& defaultValue, char* buffer, size_t size,
                                const std::string& file) {
  if (buffer == nullptr || size == 0) return 0;
  ProfileImage scratch;
  const ProfileImage& image = ProfileAccess::Load(file, scratch);
  std::string value;
  const std::string& result = image.Find(section, key, value) ? value : defaultValue;
  const size_t n = std::min(result.size(), size - 1);
  std::memcpy(buffer, result.data(), n);
  buffer[n] = 0;
  return n;
}

bool WritePrivateProfileStringA(const std::string& section, const std::string& key,
                                const std::string* value, const std::string& file) {
  return ProfileAccess::Write(section, key, value, file);
}

size_t GetPrivateProfileSectionNamesA(char* buffer, size_t size, const std::string& file) {
  ProfileImage scratch;
  return CopyItems(ProfileAccess::Load(file, scratch).SectionNames(), buffer, size);
}

size_t GetPrivateProfileSectionA(const std::string& section, char* buffer, size_t size,
                                 const std::string& file) {
  ProfileImage scratch;
  return CopyItems(ProfileAccess::Load(file, scratch).SectionLines(section), buffer, size);
}

int64_t ProfileFileSize(const std::string& file) {
  return ProfileAccess::Size(file);
}

int64_t ReadableFileSize(const std::string& path) {
  Fd fd(::open(Native(path).c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
  return static_cast<int64_t>(st.st_size);
}

ProfileBatch::ProfileBatch(const std::string& file, Mode mode) : file_(file), mode_(mode) {
  ProfileAccess::Begin(*this);
}

ProfileBatch::~ProfileBatch() {
  if (active_) ProfileAccess::Leave(*this);
}

int ProfileBatch::Commit() {
  return ProfileAccess::End(*this);
}

ProfileWriteStats GetProfileWriteStats() {
  return g_stats;
}

}  // namespace platform
