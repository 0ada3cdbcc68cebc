// What "Пуск" tells the operator when the script's run lock is not to be had.
#include <gtest/gtest.h>

#include <cerrno>

#include "platform/Files.h"
#include "ui/RunRefusal.h"

namespace {

TEST(RunRefusal, NamesTheHolderOrTheLockFilesError) {
  EXPECT_EQ(RunRefusalText(EWOULDBLOCK, 4321, "/s.ini.lock"),
            "Сценарий уже выполняется программой с номером процесса 4321 (например, службой "
            "tessel run). Пуск невозможен, пока она его выполняет.");
  EXPECT_NE(RunRefusalText(EWOULDBLOCK, 0, "/s.ini.lock").find("другой программой"),
            std::string::npos);
  const std::string text = RunRefusalText(EACCES, 0, "/ro/s.ini.lock");
  EXPECT_NE(text.find("/ro/s.ini.lock"), std::string::npos);
  EXPECT_NE(text.find(platform::ErrorText(EACCES)), std::string::npos);
}

}  // namespace
