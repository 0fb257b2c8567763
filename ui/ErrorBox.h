// The application's standard error box: a critical message box captioned "Glebix"
// with the message (a full stop appended when needed) and an OK button. Tests
// replace the handler so that no box blocks them.
#pragma once

#include <functional>
#include <string>

namespace glebix {

// Shows `message` in the error box (or hands it to the handler a test installed).
void ShowErrorBox(const std::string &message);

using ErrorBoxHandler = std::function<void(const std::string &text)>;
// Replaces the box; `text` is what the box would show. An empty handler restores it.
void SetErrorBoxHandler(ErrorBoxHandler handler);

}  // namespace glebix
