// The widget edge of the system's Windows-1251 text.
#pragma once

#include <QLineEdit>
#include <QString>
#include <QValidator>
#include <optional>
#include <string>
#include <string_view>

QString ToQ(std::string_view cp1251);
// Empty when the text holds a character that Windows-1251 cannot represent.
std::optional<std::string> FromQ(const QString& text);
// A field's text; the fields' validators let only Windows-1251 text in.
std::string Text(const QLineEdit* edit);

// Refuses input that Windows-1251 cannot represent, so every field's text
// can reach the script unchanged.
class TCp1251Validator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& pos) const override;
};
