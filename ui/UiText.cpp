#include "ui/UiText.h"

#include "platform/Cp1251.h"

QString ToQ(std::string_view cp1251) {
  return QString::fromStdString(platform::Cp1251ToUtf8(cp1251));
}

std::optional<std::string> FromQ(const QString& text) {
  return platform::Utf8ToCp1251(text.toStdString());
}

std::string Text(const QLineEdit* edit) {
  return FromQ(edit->text()).value_or(platform::Utf8ToCp1251Lossy(edit->text().toStdString()));
}

QValidator::State TCp1251Validator::validate(QString& input, int&) const {
  return FromQ(input) ? Acceptable : Invalid;
}
