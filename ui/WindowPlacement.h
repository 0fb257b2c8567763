// Placement of the program's windows: a fixed position and outer size, showing that
// brings a window to the front, and closing that only hides.
#pragma once

class QString;
class QWidget;

namespace glebix {

// Moves `window` to (left, top) and gives it the outer size width x height, frame
// included. The frame is known only once the window is shown, so the client area is
// fitted again whenever the window system reports other frame margins.
void PlaceWindow(QWidget *window, int left, int top, int width, int height);

// Gives a menu or dialog window its caption and place, the compact font its
// controls' positions are laid out for, and a closing that only hides it (the
// launcher alone ends the program).
void SetUpWindow(QWidget *window, const QString &caption, int left, int top, int width, int height);

// Shows `window` (restoring it when minimised) and brings it to the front without
// taking the keyboard focus from the window the user works in.
void ShowInFront(QWidget *window);
// The same, and makes it the active window.
void ShowAndRaise(QWidget *window);

}  // namespace glebix
