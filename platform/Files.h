// File services the engine uses. Every path is Windows-1251 text; the
// conversion to the file system's UTF-8 names happens here. Functions that can
// fail return 0 on success and an errno value otherwise.
#pragma once

#include <cstdint>
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
};

// Follows symbolic links, as attribute queries do.
int StatPath(const std::string& path, FileStat& stat);
bool IsFolder(const std::string& path);

enum class EntryKind { Regular, Folder, Other };
struct DirEntry {
  std::string name;  // bare name, Windows-1251
  EntryKind kind;    // of the entry itself: a symbolic link is Other
};

// The folder's entries in the order the file system returns them, without "."
// and "..". Names with no Windows-1251 form are left out.
int ListFolder(const std::string& folder, std::vector<DirEntry>& entries);

enum class Durability { Buffered, Synced };
// Whether a symbolic link at src is followed. A file taken from a folder that
// others write to is refused when a link has been put in its place.
enum class SourceLink { Follow, Refuse };

// Copies src to dst, replacing dst. The new content is complete before it
// takes dst's name, so readers never see half a file. Synced also flushes the
// data and the target folder to the disk before returning 0. Only a regular
// file is copied: a folder gives EISDIR, a pipe, device or socket EINVAL
// (without waiting for a writer), a refused link ELOOP.
int CopyFile(const std::string& src, const std::string& dst, Durability durability,
             SourceLink link = SourceLink::Follow);
int DeleteFile(const std::string& path);
int RenameFile(const std::string& from, const std::string& to);
// Creates a folder with the given mode; EEXIST when the name is taken.
int CreateFolder(const std::string& path, unsigned mode = 0700);
int RemoveFolder(const std::string& path);

// Flushes a file's data and its folder entry to the disk.
int SyncFile(const std::string& path);
// Flushes everything written to the file system that holds the folder.
int SyncFileSystem(const std::string& folder);

// Appends bytes to a file with one write, creating it when missing. *opened
// (when given) tells whether the file could be opened at all.
int AppendToFile(const std::string& path, const std::string& bytes, bool* opened = nullptr);

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
