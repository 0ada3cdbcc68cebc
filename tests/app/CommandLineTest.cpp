// tessel's command line: commands and options in any order, and every way
// to get it wrong told apart.
#include <gtest/gtest.h>

#include <initializer_list>

#include "app/tessel/CommandLine.h"

namespace {

// The terminal's UTF-8 (the test's own literals are Windows-1251).
const char* U(const char8_t* text) {
  return reinterpret_cast<const char*>(text);
}

TCommandLine Parse(std::initializer_list<const char*> args) {
  std::vector<const char*> argv = {"tessel"};
  argv.insert(argv.end(), args);
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data());
}

TEST(CommandLine, CommandsAndOptionsInEitherOrderAndForm) {
  TCommandLine line = Parse({"run", "--settings", "/srv/ex.ini", "--metrics=/m/t.prom"});
  EXPECT_EQ(line.Error, "");
  EXPECT_EQ(line.Command, TCommand::Run);
  EXPECT_EQ(line.SettingsFile, "/srv/ex.ini");
  EXPECT_EQ(line.MetricsFile, "/m/t.prom");

  line = Parse({U(u8"--settings=/срв/обмен.ini"), "once"});
  EXPECT_EQ(line.Command, TCommand::Once);
  // The terminal's UTF-8 becomes the system's Windows-1251.
  EXPECT_EQ(line.SettingsFile, "/срв/обмен.ini");

  line = Parse({"check"});
  EXPECT_EQ(line.Command, TCommand::Check);
  EXPECT_EQ(line.SettingsFile, "") << "the window's file is chosen later";

  // check takes the scripts of a machine together, before or after the command.
  line = Parse({"--settings", "/a.ini", "check", "--settings=/b.ini", "--settings", "/c.ini"});
  EXPECT_EQ(line.Error, "");
  EXPECT_EQ(line.SettingsFile, "/a.ini");
  EXPECT_EQ(line.MoreSettingsFiles, (std::vector<std::string>{"/b.ini", "/c.ini"}));

  line = Parse({"list", U(u8"Исходящие"), "--", U(u8"-минус")});
  EXPECT_EQ(line.Error, "");
  EXPECT_EQ(line.Groups, (std::vector<std::string>{"Исходящие", "-минус"}));

  // The failure command is one argument, whatever it holds.
  line = Parse({"--strict", "run", "--on-failure", U(u8"mail -s 'сбой' ops </dev/null")});
  EXPECT_EQ(line.Error, "");
  EXPECT_TRUE(line.Strict);
  EXPECT_EQ(line.OnFailure, "mail -s 'сбой' ops </dev/null");
  line = Parse({"once", "--on-failure=/usr/local/bin/hook --flag"});
  EXPECT_EQ(line.OnFailure, "/usr/local/bin/hook --flag");
  EXPECT_FALSE(line.Strict);
}

TEST(CommandLine, HelpAndVersionWinOverEverythingElse) {
  EXPECT_EQ(Parse({"--help"}).Command, TCommand::Help);
  EXPECT_EQ(Parse({"run", "-h", "--bogus"}).Command, TCommand::Help);
  EXPECT_NE(Parse({"run", "--bogus", "-h"}).Error, "") << "the first mistake is told";
  EXPECT_EQ(Parse({"help"}).Command, TCommand::Help);
  EXPECT_EQ(Parse({"once", "--version"}).Command, TCommand::Version);
  EXPECT_EQ(Parse({"--version"}).Error, "");
  EXPECT_NE(UsageText().find("--settings"), std::string::npos);
  EXPECT_EQ(VersionText().rfind("tessel ", 0), 0u);
}

TEST(CommandLine, MistakesAreNamed) {
  struct Case {
    std::initializer_list<const char*> args;
    const char* error;
  };
  const Case cases[] = {
      {{}, "Не указана команда."},
      {{"start"}, "Неизвестная команда: start"},
      {{"run", "--sttings", "x"}, "Неизвестный параметр: --sttings"},
      {{"run", "--settings"}, "Параметр --settings требует имени файла."},
      {{"run", "--settings="}, "Параметр --settings требует имени файла."},
      {{"run", "--settings", "a", "--settings", "b"}, "Параметр --settings указан дважды."},
      {{"--settings", "a", "--settings", "b", "list"}, "Параметр --settings указан дважды."},
      {{"check", "--settings", "a", "--settings="}, "Параметр --settings требует имени файла."},
      {{"once", "extra"}, "Лишний аргумент: extra"},
      {{"list", "--metrics", "m"}, "Параметр --metrics относится только к командам run, once и check."},
      {{"run", "--settings", "/tmp/\xe4\xb8\xad.ini"},
       "Имя файла в параметре --settings содержит символы вне кодовой страницы Windows-1251."},
      {{"run", "--on-failure"}, "Параметр --on-failure требует команды."},
      {{"run", "--on-failure=a", "--on-failure=b"}, "Параметр --on-failure указан дважды."},
      {{"check", "--on-failure", "x"}, "Параметр --on-failure относится только к командам run и once."},
      {{"once", "--strict"}, "Параметр --strict относится только к команде run."},
      {{"run", "--on-failure", "\xe4\xb8\xad"},
       "Команда в параметре --on-failure содержит символы вне кодовой страницы Windows-1251."},
      {{"list", "\xe4\xb8\xad"},
       "Название группы содержит символы вне кодовой страницы Windows-1251."},
  };
  for (const Case& c : cases) EXPECT_EQ(Parse(c.args).Error, c.error) << c.error;
}

TEST(CommandLine, TheDefaultSettingsFileIsTheWindowProgramsInTheSameFolder) {
  EXPECT_EQ(DefaultSettingsFile("/opt/tessel/bin/tessel"), "/opt/tessel/bin/TesselScripts.ini");
  EXPECT_EQ(DefaultSettingsFile("/папка.1/tessel"), "/папка.1/TesselScripts.ini");
  EXPECT_EQ(DefaultSettingsFile("tessel"), "TesselScripts.ini");
}

}  // namespace
