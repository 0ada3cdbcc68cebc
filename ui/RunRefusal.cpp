#include "ui/RunRefusal.h"

#include <cerrno>

#include "platform/Files.h"

std::string RunRefusalText(int error, long holder, const std::string& lockFile) {
  if (error == EWOULDBLOCK) {
    const std::string who = holder > 0 ? "программой с номером процесса " + std::to_string(holder)
                                       : std::string("другой программой");
    return "Сценарий уже выполняется " + who +
           " (например, службой tessel run). Пуск невозможен, пока она его выполняет.";
  }
  return "Не удалось заблокировать сценарий для выполнения: " + lockFile + " - " +
         platform::ErrorText(error) + ". Пуск невозможен.";
}
