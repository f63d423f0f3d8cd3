// The two message boxes used throughout the system: the error box and the
// warning question. The core cannot draw them; the program installs handlers
// (the GUI a modal box, the command line a line on stderr, tests a recorder).
#pragma once

#include <functional>
#include <string>

namespace veltrano {

using TErrorBoxHandler = std::function<void(const std::string& text)>;
using TAskWarningHandler = std::function<bool(const std::string& text)>;

// Shows `text` with the caption "Error" and the error icon; returns when closed.
void ShowErrorBox(const std::string& text);

// Asks a Yes/No question with the caption "Warning"; true for Yes.
bool AskWarning(const std::string& text);

// Replace the handlers; each returns the previous one. An empty handler
// restores the default (stderr for errors, "No" for questions).
TErrorBoxHandler SetErrorBoxHandler(TErrorBoxHandler handler);
TAskWarningHandler SetAskWarningHandler(TAskWarningHandler handler);

}  // namespace veltrano
