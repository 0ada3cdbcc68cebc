// The system journal, written directly when standard output leads to it:
// each entry then carries its priority and fields of its own instead of
// being one more line of the output stream.
#pragma once

#include <string>
#include <vector>

namespace platform {

// True when the descriptor is the journal's stream (JOURNAL_STREAM names
// its device and inode), as standard output and error are under a service
// manager that logs them.
bool IsJournalStream(int fd);
bool StandardOutputIsJournal();
// True when standard output leads to /dev/null (a job started with
// ">/dev/null"): lines written there would only cost a system call each.
bool StandardOutputIsDiscarded();

// One entry of "NAME=value" fields, values UTF-8 (MESSAGE, PRIORITY, ...).
// 0, or the errno value of a failure.
int SendJournalEntry(const std::vector<std::string>& fields);

}  // namespace platform
