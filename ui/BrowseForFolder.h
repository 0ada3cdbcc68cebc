// The folder picker behind every folder field's browse button.
#pragma once

#include <QString>
#include <string>

class QWidget;

// Shows a modal chooser of file-system folders with the title, the current
// folder preselected when it exists. True when the operator chose a folder:
// folder then holds its path as the platform gives it. A current folder that
// does not exist comes back empty.
bool BrowseForFolder(const QString& title, std::string& folder, QWidget* owner = nullptr);
