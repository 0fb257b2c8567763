// Replacing a file only by a complete one: the contents go to a temporary file beside
// the target, are flushed to the disk, and the temporary file is renamed over the
// target. A failure at any point removes the temporary file and leaves the earlier
// file as it was.
#pragma once

#include <string>
#include <string_view>

namespace glebix {

// Writes `contents` to `path` as above, through ResultWrite (ResultFile.h). Raises
// GlebixError with the message by cause of the failed operation and `path` in its
// context.
void ReplaceFile(const std::string &path, std::string_view contents);

}  // namespace glebix
