// What a log line reports.
#pragma once

// Failures (a step or library call that failed, a file sent to the bad-files
// folder, a file not taken or left, a copy or delivery error) are shown
// apart; the log file's bytes are the same for both.
enum class TLogKind { Normal, Failure };
