// Lets tests make the platform's file operations fail on demand.
//
// Why it stays in the product rather than in a pass's context: the crash
// campaign and the delivery tests kill and fail the very binaries that ship
// (the release build, hardened as shipped), at every file operation of the
// platform, including those a pass reaches through the settings file, the
// durable writes and the journal, which no pass context reaches. Unset, it
// costs a test of an empty function per operation; nothing in the product
// sets it.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace platform {

// Called before each file operation the platform performs, with the
// operation's name and the path it works on (Windows-1251). Returning 0 lets
// the operation run; any other value fails it with that errno value.
// Operation names: "copy" (before a copy starts, target path), "copy-data"
// (source fully read, nothing committed yet; source path), "delete", "rename"
// (target path), "mkdir", "rmdir", "append", "write" (whole-file replacement),
// "sync" (a file or a folder's file system flushed to the disk), "create"
// (a side-named file, native path converted), "link" and "rename" (a new
// file taking its side name or its own), "marker" (a working folder's
// marker), "truncate", "probe" (whether a folder could take a file),
// "space" (a non-zero result reads as a full file system).
using FaultHook = std::function<int(std::string_view operation, const std::string& path)>;

void SetFaultHook(FaultHook hook);
int InjectedFault(std::string_view operation, const std::string& path);
// Whether a hook is set: callers skip preparing a path for none.
bool FaultHookSet();

}  // namespace platform
