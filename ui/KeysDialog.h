// "Ключи...": the key inventory of the script as saved, read only, the same
// table marvik list --script prints (runtime/KeyTable.h).
#pragma once

#include <string>

class QWidget;

// The table is named "KeysTable", the line above it "KeysSource", for tests.
void ShowKeys(QWidget* parent, const std::string& settingsFile);
