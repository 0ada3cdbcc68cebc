#include "ui/WindowNotices.h"

namespace {
std::string Quoted(const std::string& text) {
  return "\"" + text + "\"";
}
std::string Where(const TFailureEvent& failure) {
  std::string where = "группа " + Quoted(failure.Group);
  if (!failure.File.empty()) where += ", файл " + failure.File;
  return where;
}
}  // namespace

std::string LastFailureText(const TFailureEvent& failure) {
  return "Последний сбой: " + Where(failure) + ": " + failure.Reason;
}

std::string FailureNoticeTitle(const TFailureEvent& failure) {
  return failure.Class == TFailureClass::File ? "Tessel scripts: \"плохой\" файл"
                                              : "Tessel scripts: сбой";
}

std::string FailureNoticeText(const TFailureEvent& failure) {
  return Where(failure) + "\n" + failure.Reason;
}

std::string LibraryClosedText() {
  return "Библиотека не открыта: действия с ключами не выполняются.";
}

std::string OtherRunnerText(long holder) {
  const std::string who = holder > 0 ? "программой с номером процесса " + std::to_string(holder)
                                     : std::string("другой программой");
  return "Сценарий выполняется " + who +
         ": она выполняет сохранённый в файле вариант, изменения на экране дойдут до неё только "
         "после сохранения и перечитывания настроек.";
}

std::string TrayTipText(TTrayLook look, int unseen) {
  switch (look) {
    case TTrayLook::Running:
      return "Tessel scripts: выполняется";
    case TTrayLook::Failures:
      return "Tessel scripts: сбоев с последнего просмотра: " + std::to_string(unseen);
    case TTrayLook::Idle:
      break;
  }
  return "Tessel scripts: остановлен";
}

std::string SaveConflictText(const std::string& settingsFile) {
  return "Файл настроек " + settingsFile +
         " изменён другой программой после того, как был прочитан или сохранён здесь.\n\n"
         "\"Перезаписать\" - сохранить сценарий с экрана, изменения в файле будут потеряны.\n"
         "\"Прочитать\" - прочитать файл заново, несохранённые изменения на экране будут "
         "потеряны.\n"
         "\"Отмена\" - ничего не менять.";
}

std::string RestoreQuestionText() {
  return "Настройки не сохранены! Восстановить сохранённые и потерять изменения?";
}

std::string DeleteGroupQuestionText(const std::string& group) {
  return "Удалить группу " + Quoted(group) + " со всеми её действиями?";
}

std::string DeleteStepsQuestionText(int steps) {
  return steps == 1 ? std::string("Удалить выбранное действие?")
                    : "Удалить выбранные действия (" + std::to_string(steps) + ")?";
}
