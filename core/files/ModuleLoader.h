// Modules: the parts of Glebix that need large libraries most runs never use (those of
// rasters, those of pictures), built as shared libraries
// beside the programs and opened on first need. Each module gives the core one table
// of what it does, through a C function whose name says the table's version; the core
// calls through the table only (GisModule.h, PictureModule.h).
#pragma once

#include <string>
#include <vector>

namespace glebix {

struct ModuleName {
    const char *File;   // "glebix-gis.so"
    const char *Entry;  // its C function that returns the table
    const char *Needs;  // the libraries it brings, for the message when it is missing
};

// The folders where the modules of this program lie, in the order they are looked in:
// the folder of the program or of the library holding the core (the build tree, the
// Python package), then lib/glebix beside the program's bin folder (an installation).
std::vector<std::string> ModuleFolders();

// The table of module `name`, which is opened the first time. Raises GlebixError
// naming the module and the folders looked in when it is missing or cannot be
// loaded; a failure is kept, so that every later call says the same at once.
const void *ModuleTable(const ModuleName &name);
// The table of module `name` when it is already open, else null: for a stand-in with
// nothing to do unless the module was used (a destructor).
const void *OpenModuleTable(const ModuleName &name);

}  // namespace glebix
