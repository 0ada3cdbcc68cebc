// File services the engine uses. Every path is Windows-1251 text; the
// conversion to the file system's UTF-8 names happens here. Functions that can
// fail return 0 on success and an errno value otherwise.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace platform {

inline constexpr char kPathDelimiter = '/';

struct FileStat {
  bool isFolder = false;
  bool isRegular = false;
  uint64_t size = 0;
  int64_t mtimeNs = 0;
  uint64_t device = 0;
  uint64_t inode = 0;
  unsigned mode = 0;   // permission bits
  unsigned owner = 0;  // user id
};

// Follows symbolic links, as attribute queries do.
[[nodiscard]] int StatPath(const std::string& path, FileStat& stat);
// Of the entry itself: a symbolic link is neither folder nor regular file.
[[nodiscard]] int LinkStat(const std::string& path, FileStat& stat);
// Of an open descriptor.
[[nodiscard]] int DescriptorStat(int fd, FileStat& stat);
bool IsFolder(const std::string& path);

enum class EntryKind { Regular, Folder, Other };
struct DirEntry {
  std::string name;  // bare name, Windows-1251
  EntryKind kind;    // of the entry itself: a symbolic link is Other
};

// The folder's entries in the order the file system returns them, without "."
// and "..". Names with no Windows-1251 form are left out.
// Those names go, in a form shown with '?' for what has none, to *unnamed.
[[nodiscard]] int ListFolder(const std::string& folder, std::vector<DirEntry>& entries,
                             std::vector<std::string>* unnamed = nullptr);

enum class Durability { Buffered, Synced };
// Whether a symbolic link at src is followed. A file taken from a folder that
// others write to is refused when a link has been put in its place.
enum class SourceLink { Follow, Refuse };

// Copies src to dst, replacing dst. The new content is complete before it
// takes dst's name, so readers never see half a file. Synced also flushes the
// data and the target folder to the disk before returning 0. Only a regular
// file is copied: a folder gives EISDIR, a pipe, device or socket EINVAL
// (without waiting for a writer), a refused link ELOOP.
// The copy's permissions are the source's, within 0666 and the umask.
[[nodiscard]] int CopyFile(const std::string& src, const std::string& dst, Durability durability,
                           SourceLink link = SourceLink::Follow);

// What a crash journal is told about a copy's commit (see Durable.h).
struct CopyJournal {
  // Before the copy's side name can appear in the target's folder (native path).
  std::function<int(const std::string& nativeSide)> BeforeSideName;
  // The copy is whole and about to take the target's name; its identity.
  std::function<int(uint64_t device, uint64_t inode)> BeforeCommit;
};
// Sees the bytes a copy makes, for a digest made beside the copy rather
// than by reading the file after it. A file the tap offers a buffer for is
// read into it whole, written from it and handed to Read; any other is
// copied by the kernel, a piece at a time, each told to Copied once the
// target holds it (for the tap to read there, on a thread of its own).
class CopyTap {
 public:
  virtual ~CopyTap() = default;
  // A buffer to hold the whole file of that size; empty: none.
  virtual std::span<char> Buffer(uint64_t size) = 0;
  // The buffer's first count bytes were read and written to the copy.
  virtual void Read(size_t count) = 0;
  // The copy's target holds its first bytes, that many of them.
  virtual void Copied(uint64_t bytes) = 0;
};

class OpenedFile;  // platform/Writers.h

// A folder held open, so that the files made and deleted in it are found by
// their name alone instead of by walking the whole path each time. It stays
// the folder it was when opened, whatever takes its path later.
class FolderHandle {
 public:
  FolderHandle() = default;
  ~FolderHandle() { Close(); }
  FolderHandle(const FolderHandle&) = delete;
  FolderHandle& operator=(const FolderHandle&) = delete;
  [[nodiscard]] int Open(const std::string& folder);
  bool IsOpen() const { return fd_ >= 0; }
  void Close();

 private:
  friend int CopyFile(const std::string& src, const std::string& dst,
                      const struct CopyOptions& options);
  friend int DeleteFileIn(const FolderHandle& folder, const std::string& path);
  int fd_ = -1;
};

struct CopyOptions {
  Durability durability = Durability::Buffered;
  SourceLink link = SourceLink::Follow;
  // Permission bits the copy may have at most, besides the source's own.
  unsigned modeCap = 0666;
  const CopyJournal* journal = nullptr;  // optional
  // The target's folder is the caller's private working folder, which no
  // scan lists and nobody else can enter: the copy is written under its
  // name at once (replacing what is there), with no unnamed file to name
  // afterwards. A failed copy removes what it wrote.
  bool privateTarget = false;
  // Shown the bytes copied; null: nobody looks.
  CopyTap* tap = nullptr;
  // The source as the writers' check opened it: read from it, not opened
  // again by its name (emptied by the copy). Null or empty: opened here.
  OpenedFile* opened = nullptr;
  // The opened file is only read, and stays open for a later copy.
  bool lendOpened = false;
  // A private target only: dst's folder, held open (dst is made in it).
  const FolderHandle* privateFolder = nullptr;
  // A private target kept open only: the copy is made without a name, in
  // dst's folder, where the file system can (*unnamed tells); nothing is
  // left to delete, and nobody can open it but through the kept file.
  bool* unnamed = nullptr;
  // A private target only: receives the copy, open for reading, for the
  // next copy of the same bytes (which then opens nothing).
  OpenedFile* keepTarget = nullptr;
  // Receives the copy's attributes as made (not for a private target).
  FileStat* made = nullptr;
  // Set when the source was an opened file whose read lease lasted through
  // the whole copy: nobody can have written to it meanwhile, so the copy is
  // whole without a second look at the source.
  bool* sourceSteady = nullptr;
};
[[nodiscard]] int CopyFile(const std::string& src, const std::string& dst,
                           const CopyOptions& options);
int DeleteFile(const std::string& path);
// The same for a file of a folder held open: path names it in that folder.
int DeleteFileIn(const FolderHandle& folder, const std::string& path);
[[nodiscard]] int RenameFile(const std::string& from, const std::string& to);
// Creates a folder with the given mode; EEXIST when the name is taken.
[[nodiscard]] int CreateFolder(const std::string& path, unsigned mode = 0700);
[[nodiscard]] int RemoveFolder(const std::string& path);

// Flushes a file's data and its folder entry to the disk.
[[nodiscard]] int SyncFile(const std::string& path);
// Flushes everything written to the file system that holds the folder.
[[nodiscard]] int SyncFileSystem(const std::string& folder);

// Whether a new file of the size could be written into the folder now: 0, or
// the error a write would meet (a missing or read-only folder, no space).
[[nodiscard]] int ProbeFolder(const std::string& folder, uint64_t bytes);
// Bytes free for us on the file system that holds the folder; 0 with *error
// set when it cannot be told.
uint64_t FreeSpace(const std::string& folder, int* error = nullptr);

// Appends bytes to a file with one write, creating it when missing. *opened
// (when given) tells whether the file could be opened at all.
[[nodiscard]] int AppendToFile(const std::string& path, const std::string& bytes,
                               bool* opened = nullptr, unsigned mode = 0644);
// A file kept open for appending, for a writer of many small records.
class AppendHandle {
 public:
  AppendHandle() = default;
  AppendHandle(const AppendHandle&) = delete;
  AppendHandle& operator=(const AppendHandle&) = delete;
  ~AppendHandle() { Close(); }
  // Appends with one write, opening (and creating) the file on first use; a
  // link at the path is refused unless followed as AppendToFile does.
  [[nodiscard]] int Append(const std::string& path, const std::string& bytes, unsigned mode,
                           bool followLink = false);
  // The same for a file only this user may touch: an existing file that is
  // not private as ReadPrivateFile requires is not written to: EPERM.
  [[nodiscard]] int AppendPrivate(const std::string& path, const std::string& bytes);
  // Flushes what was appended to the disk; 0 when nothing is open.
  [[nodiscard]] int Sync();
  bool IsOpen() const { return fd_ >= 0; }
  void Close();

 private:
  int Open(const std::string& path, unsigned mode, bool privateOnly, bool followLink);

  int fd_ = -1;
  std::string path_;
};

// The whole content of a (small) file.
[[nodiscard]] int ReadWholeFile(const std::string& path, std::string& bytes);
// The same for a file this process may trust: a regular file (its name not a
// symbolic link, no second hard link) owned by this process's user, mode
// 0600 or stricter. EPERM when it is not such a file, ENOENT when it is missing.
[[nodiscard]] int ReadPrivateFile(const std::string& path, std::string& bytes);
// Hands the file's bytes to chunk a piece at a time (a large file is never
// held whole); 0 or the errno value of the failed open or read.
[[nodiscard]] int ReadFileChunks(const std::string& path,
                                 const std::function<void(const char*, size_t)>& chunk);
// A file open to read a piece at a time, from where its reader asks: one
// that another writes meanwhile is read as far as it has been written.
class FileReader {
 public:
  FileReader() = default;
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;
  ~FileReader() { Close(); }
  [[nodiscard]] int Open(const std::string& path);
  // Up to count bytes from offset into data; *read: how many (0: at the end).
  [[nodiscard]] int ReadAt(uint64_t offset, char* data, size_t count, size_t& read);
  void Close();

 private:
  int fd_ = -1;
};
// Empties a file that exists and is private as ReadPrivateFile requires
// (EPERM otherwise); a missing one is left missing.
[[nodiscard]] int TruncatePrivateFile(const std::string& path);

// $TMPDIR when it names a folder, else /tmp; always ends in "/".
std::string TempPath();
// The running executable's full path.
std::string ProgramPath();
// The path with the extension of its file name (from the last ".") replaced,
// or appended when it has none: "/d/scripts.exe", ".log" -> "/d/scripts.log".
std::string ReplaceExtension(const std::string& path, const std::string& extension);
// The program's folder, then the folders of $PATH, in search order.
std::vector<std::string> SearchPathFolders();

// The platform's message for an error number in the user's language, as
// Windows-1251, with trailing blanks, control characters and full stops removed.
std::string ErrorText(int error);

}  // namespace platform
