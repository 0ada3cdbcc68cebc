// What the operator is told when "Пуск" cannot take the script's run lock.
#pragma once

#include <string>

// error is RunLock::Acquire's result (EWOULDBLOCK: another process holds it,
// holder its process id or 0); lockFile the lock's file.
std::string RunRefusalText(int error, long holder, const std::string& lockFile);
