// What an earlier study left in the places a new study writes to: the run and point
// folders of runs the new study does not have.
#pragma once

#include <string>

#include "StudyOptions.h"

namespace glebix::invocation {

// The core's names are this layer's words.
using namespace glebix::core;

// Whether `name` is one of the folders the study layout makes ("run-004", "point-012").
bool IsStudyFolderName(const std::string &name);

// Removes from every output place of `options` the study folders it did not write, so
// that a reused place holds this study's runs only. To be called once every run has
// completed and its manifest is in place: until then the earlier study stays whole.
// Only folders of the layout's names are touched, never a link or a file. With
// --points or --slice, the other points' folders belong to other invocations and stay;
// only the earlier runs within this invocation's points go.
void RemoveEarlierStudy(const BatchOptions &options);

}  // namespace glebix::invocation
