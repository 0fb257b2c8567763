// The sensitivity analysis of core/analysis for Python: glebix.sample() and
// glebix.analyse() write the files glebix-batch --sample and --analyse write.
#pragma once

#include <pybind11/pybind11.h>

namespace glebix::python {

// Adds write_design() and write_indices() to the module.
void AddSensitivity(pybind11::module_ &module);

}  // namespace glebix::python
