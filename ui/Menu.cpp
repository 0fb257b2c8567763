#include "Menu.h"

namespace glebix {

void CreateMenuAndDialogs() {}

}  // namespace glebix
