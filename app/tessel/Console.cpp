#include "app/tessel/Console.h"

#include "platform/Cp1251.h"

std::string ForTerminal(const std::string& cp1251) {
  std::string text = cp1251;
  for (char& c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && c != '\t' && c != '\n') || byte == 0x7f) c = '?';
  }
  return platform::Cp1251ToUtf8(text);
}

void PrintText(std::FILE* stream, const std::string& cp1251) {
  const std::string text = ForTerminal(cp1251);
  std::fwrite(text.data(), 1, text.size(), stream);
  // Each line at once: the journal and a reader of a pipe see it as it happens.
  std::fflush(stream);
}

void PrintLine(const std::string& cp1251) {
  PrintText(stdout, cp1251 + "\n");
}

void PrintError(const std::string& cp1251) {
  PrintText(stderr, "tessel: " + cp1251 + "\n");
}

void TConsoleLog::AddLine(const std::string& line, TLogKind) {
  // A line with a line feed of its own (a file name can hold one) stays one line.
  std::string oneLine = line;
  for (char& c : oneLine)
    if (c == '\n') c = '?';
  PrintLine(oneLine);
}
