// The application's standard error box: a critical message box captioned "Glebix"
// with the message (a full stop appended when needed) and an OK button. Where the
// fault lies (the setting, the file, the line, column and token), when known, is the
// box's detailed text, so the message itself reads as it always has. Tests replace
// the handler so that no box blocks them.
#pragma once

#include <functional>
#include <memory>
#include <string>

class QMessageBox;
class QWidget;

namespace glebix {

class GlebixError;

// Shows `message` in the error box, with `details` (if any) as its detailed text (or
// hands both to the handler a test installed).
void ShowErrorBox(const std::string &message, const std::string &details = {});
// Shows an engine error: its message, and its context as the details.
void ShowErrorBox(const GlebixError &error);

// The box that ShowErrorBox shows, not yet shown.
std::unique_ptr<QMessageBox> MakeErrorBox(const std::string &message, const std::string &details, QWidget *parent);

using ErrorBoxHandler = std::function<void(const std::string &text, const std::string &details)>;
// Replaces the box; `text` is what the box would show, `details` its detailed text.
// An empty handler restores it.
void SetErrorBoxHandler(ErrorBoxHandler handler);

}  // namespace glebix
