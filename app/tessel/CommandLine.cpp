#include "app/tessel/CommandLine.h"

#include <string_view>

#include "config/uIniUtil.h"
#include "platform/Clock.h"
#include "platform/Cp1251.h"

#ifndef TESSEL_VERSION
#define TESSEL_VERSION "0"
#endif

namespace {

struct TCommandName {
  std::string_view name;
  TCommand command;
};
constexpr TCommandName kCommands[] = {
    {"run", TCommand::Run},     {"once", TCommand::Once}, {"list", TCommand::List},
    {"check", TCommand::Check}, {"history", TCommand::History}, {"help", TCommand::Help},
};

const std::string_view kHistoryOutcomes[] = {"delivered", "bad", "left", "held"};

// An option of history; false when arg is none of them.
bool TakeHistoryOption(std::string_view arg, int& i, int argc, const char* const* argv,
                       THistoryQuery& query, std::string& error) {
  if (arg == "--json" || arg == "--csv") {
    query.Shape = arg == "--json" ? THistoryQuery::Format::Json : THistoryQuery::Format::Csv;
    return true;
  }
  if (arg == "--verify") {
    query.Verify = true;
    return true;
  }
  const std::string_view option = arg.substr(0, arg.find('='));
  if (option != "--group" && option != "--sha256" && option != "--outcome" &&
      option != "--from" && option != "--to")
    return false;
  std::string_view value;
  if (arg.size() > option.size())
    value = arg.substr(option.size() + 1);
  else if (i + 1 < argc)
    value = argv[++i];
  const std::optional<std::string> text = platform::Utf8ToCp1251(value);
  if (value.empty() || !text) {
    error = "Параметр " + std::string(option) + " требует значения в кодовой странице Windows-1251.";
    return true;
  }
  if (option == "--group") {
    query.Group = *text;
  } else if (option == "--sha256") {
    query.Sha256 = *text;
    for (char& c : query.Sha256) c = c >= 'A' && c <= 'F' ? static_cast<char>(c - 'A' + 'a') : c;
  } else if (option == "--outcome") {
    bool known = false;
    for (std::string_view outcome : kHistoryOutcomes) known = known || outcome == *text;
    if (!known) error = "Итог бывает delivered, bad, left или held.";
    query.Outcome = *text;
  } else {
    const std::optional<int64_t> at = platform::ParseLocalTime(*text);
    if (!at) {
      error = "Время в параметре " + std::string(option) +
              " пишется ГГГГ-ММ-ДД или ГГГГ-ММ-ДД ЧЧ:ММ.";
      return true;
    }
    // A day alone reaches to its end.
    const bool dayOnly = text->size() == 10;
    (option == "--from" ? query.From : query.To) =
        option == "--to" && dayOnly ? *at + 86399 : *at;
  }
  return true;
}

// Paths of the command line become the system's text; a name without a
// Windows-1251 form could not be used by the rest of the system.
bool TakePath(std::string_view option, std::string_view utf8, std::string& path,
              std::string& error) {
  if (utf8.empty()) {
    error = "Параметр " + std::string(option) + " требует имени файла.";
    return false;
  }
  const std::optional<std::string> text = platform::Utf8ToCp1251(utf8);
  if (!text) {
    error = "Имя файла в параметре " + std::string(option) +
            " содержит символы вне кодовой страницы Windows-1251.";
    return false;
  }
  path = *text;
  return true;
}

bool TakeCommand(std::string_view utf8, std::string& command, std::string& error) {
  if (utf8.empty()) {
    error = "Параметр --on-failure требует команды.";
    return false;
  }
  const std::optional<std::string> text = platform::Utf8ToCp1251(utf8);
  if (!text) {
    error = "Команда в параметре --on-failure содержит символы вне кодовой страницы Windows-1251.";
    return false;
  }
  command = *text;
  return true;
}

}  // namespace

TCommandLine ParseCommandLine(int argc, const char* const* argv) {
  TCommandLine line;
  auto fail = [&line](std::string message) {
    if (line.Error.empty()) line.Error = std::move(message);
    return line;
  };
  bool optionsEnded = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (!optionsEnded && arg == "--") {
      optionsEnded = true;
      continue;
    }
    if (!optionsEnded && arg.starts_with("-")) {
      if (line.Command == TCommand::History &&
          TakeHistoryOption(arg, i, argc, argv, line.History, line.Error)) {
        if (!line.Error.empty()) return line;
        continue;
      }
      if (arg == "--help" || arg == "-h") {
        line.Command = TCommand::Help;
        return line;
      }
      if (arg == "--version") {
        line.Command = TCommand::Version;
        return line;
      }
      if (arg == "--strict") {
        line.Strict = true;
        continue;
      }
      const std::string_view option = arg.substr(0, arg.find('='));
      if (option != "--settings" && option != "--metrics" && option != "--on-failure")
        return fail("Неизвестный параметр: " + platform::Utf8ToCp1251Lossy(arg));
      std::string_view value;
      if (arg.size() > option.size())
        value = arg.substr(option.size() + 1);
      else if (i + 1 < argc)
        value = argv[++i];
      if (option == "--on-failure") {
        if (!line.OnFailure.empty()) return fail("Параметр --on-failure указан дважды.");
        if (!TakeCommand(value, line.OnFailure, line.Error)) return line;
        continue;
      }
      // check takes several scripts; the command may come later, so that is
      // settled at the end.
      if (option == "--settings" && !line.SettingsFile.empty()) {
        if (!TakePath(option, value, line.MoreSettingsFiles.emplace_back(), line.Error)) return line;
        continue;
      }
      std::string& target = option == "--settings" ? line.SettingsFile : line.MetricsFile;
      if (!target.empty()) return fail("Параметр " + std::string(option) + " указан дважды.");
      if (!TakePath(option, value, target, line.Error)) return line;
      continue;
    }
    if (line.Command == TCommand::None) {
      for (const TCommandName& known : kCommands)
        if (arg == known.name) line.Command = known.command;
      if (line.Command == TCommand::None)
        return fail("Неизвестная команда: " + platform::Utf8ToCp1251Lossy(arg));
      continue;
    }
    if (line.Command == TCommand::List) {
      const std::optional<std::string> name = platform::Utf8ToCp1251(arg);
      if (!name) return fail("Название группы содержит символы вне кодовой страницы Windows-1251.");
      line.Groups.push_back(*name);
      continue;
    }
    if (line.Command == TCommand::History && line.History.Name.empty()) {
      const std::optional<std::string> name = platform::Utf8ToCp1251(arg);
      if (!name) return fail("Имя файла содержит символы вне кодовой страницы Windows-1251.");
      line.History.Name = *name;
      continue;
    }
    return fail("Лишний аргумент: " + platform::Utf8ToCp1251Lossy(arg));
  }
  if (line.Command == TCommand::None) return fail("Не указана команда.");
  if (!line.MoreSettingsFiles.empty() && line.Command != TCommand::Check)
    return fail("Параметр --settings указан дважды.");
  if (!line.MetricsFile.empty() && line.Command != TCommand::Run && line.Command != TCommand::Once &&
      line.Command != TCommand::Check)
    return fail("Параметр --metrics относится только к командам run, once и check.");
  if (!line.OnFailure.empty() && line.Command != TCommand::Run && line.Command != TCommand::Once)
    return fail("Параметр --on-failure относится только к командам run и once.");
  if (line.Strict && line.Command != TCommand::Run)
    return fail("Параметр --strict относится только к команде run.");
  return line;
}

std::string UsageText() {
  return "Использование: tessel [--settings ФАЙЛ] [--metrics ФАЙЛ] [--on-failure КОМАНДА]\n"
         "              [--strict] КОМАНДА\n"
         "\n"
         "Выполняет сценарий окна TesselScripts без окна.\n"
         "\n"
         "Команды:\n"
         "  run          служба: проход каждые INTERVAL секунд; SIGTERM или SIGINT\n"
         "               завершают обрабатываемый файл и останавливают её, SIGHUP\n"
         "               перечитывает сценарий между проходами\n"
         "  once         открыть библиотеку, выполнить один проход, закрыть; код\n"
         "               выхода 0 - все взятые файлы доставлены, 1 - файл ушёл в\n"
         "               папку ошибок или оставлен на потом, 2 - ошибка работы\n"
         "  list [ГРУППА...]\n"
         "               что маска каждой включённой группы (или названных групп)\n"
         "               берёт сейчас, что исключает, и включённые шаги; ничего\n"
         "               не трогает\n"
         "  check        проверить сценарий на этой машине: строка на замечание,\n"
         "               код выхода 1 при любой ошибке; с несколькими --settings -\n"
         "               каждый сценарий и папки исходных файлов, общие у двух\n"
         "               сценариев\n"
         "  history [ИМЯ] [--group ГРУППА] [--from ВРЕМЯ] [--to ВРЕМЯ]\n"
         "          [--sha256 ДАЙДЖЕСТ] [--outcome delivered|bad|left|held]\n"
         "          [--json | --csv] [--verify]\n"
         "               история файлов: что взято, какими шагами, куда\n"
         "               доставлено; ИМЯ - маска или имя (имя - весь путь\n"
         "               каждого файла); --verify - проверить цепочку записей;\n"
         "               работает и при запущенной службе\n"
         "  help         эта справка\n"
         "\n"
         "Параметры:\n"
         "  --settings ФАЙЛ  файл настроек; по умолчанию TesselScripts.ini в папке\n"
         "                   программы, тот же, что у окна; check принимает\n"
         "                   несколько\n"
         "  --metrics ФАЙЛ   (run, once) после каждого прохода записать показатели\n"
         "                   в текстовом формате Prometheus; (check) проверить,\n"
         "                   что папка файла доступна для записи\n"
         "  --on-failure КОМАНДА\n"
         "                   (run, once) выполнить /bin/sh -c КОМАНДА, когда начинается\n"
         "                   сбой: группа, файл, причина и код - в переменных\n"
         "                   TESSEL_GROUP, TESSEL_FILE, TESSEL_REASON, TESSEL_CODE; не\n"
         "                   чаще раза в минуту; без параметра - ON_FAILURE сценария\n"
         "  --strict         (run) не запускаться, если библиотека не открылась\n"
         "                   (код выхода 2); без него группы с ключами ждут её\n"
         "  --help           эта справка\n"
         "  --version        версия\n"
         "\n"
         "Журнал событий - файл настроек с расширением .log; run и once дописывают\n"
         "в него те же строки, что и окно, и выводят каждую на стандартный вывод.\n";
}

std::string VersionText() {
  return std::string("tessel ") + TESSEL_VERSION + "\n";
}

std::string DefaultSettingsFile(const std::string& programPath) {
  const size_t slash = programPath.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : programPath.substr(0, slash + 1);
  return SettingsFilePathFor(folder + "TesselScripts");
}
