// Small pieces the main window's source files share: the step a row of the
// step list carries, a field's text as the system's text, and the filling flag.
#pragma once

#include <QLineEdit>
#include <QTreeWidgetItem>
#include <string>

#include "engine/uTesselTypes.h"
#include "platform/Cp1251.h"
#include "ui/UiText.h"

namespace main_form {

inline constexpr int kStepRole = Qt::UserRole;

inline TTesselAction* StepOf(const QTreeWidgetItem* item) {
  return item ? reinterpret_cast<TTesselAction*>(item->data(0, kStepRole).value<quintptr>())
              : nullptr;
}

// Sets a flag for the lifetime of the object and restores its old value.
class Raise {
 public:
  explicit Raise(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
  ~Raise() { flag_ = old_; }
  Raise(const Raise&) = delete;
  Raise& operator=(const Raise&) = delete;

 private:
  bool& flag_;
  bool old_;
};

}  // namespace main_form
