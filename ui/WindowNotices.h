// What the window tells an operator who is not watching it: the status
// line's additions, the tray icon's tip, the desktop notification of a
// failure, and the questions asked before something is lost.
#pragma once

#include <string>

#include "engine/PassContext.h"
#include "runtime/TrayState.h"

// The status line's word on the last failure: group, file and reason.
std::string LastFailureText(const TFailureEvent& failure);
// The notification of a failure episode's start: its title and text.
std::string FailureNoticeTitle(const TFailureEvent& failure);
std::string FailureNoticeText(const TFailureEvent& failure);
// "Пуск" was pressed, the library did not open.
std::string LibraryClosedText();
// Another process (its id) holds the script's run lock.
std::string OtherRunnerText(long holder);
// The tray icon's tip.
std::string TrayTipText(TTrayLook look, int unseen);

// The questions.
std::string SaveConflictText(const std::string& settingsFile);
std::string RestoreQuestionText();
std::string DeleteGroupQuestionText(const std::string& group);
std::string DeleteStepsQuestionText(int steps);
