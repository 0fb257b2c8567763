// The main menu window TForm4 and the parameter dialogs TForm5 to TForm12.
#pragma once

namespace glebix {

// Creates the main menu window (shown) and the seven dialogs (hidden), in their
// order. The program entry calls it after the launcher, plot and chart windows.
void CreateMenuAndDialogs();

}  // namespace glebix
