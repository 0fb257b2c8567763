// What the R entry points share: texts handed to R as UTF-8, the engine's error as
// a value that the R side turns into a condition of class glebix_error, and the
// check for an interrupt whose jump crosses C++ frames only as an exception.
#pragma once

#include <Rcpp.h>

#include <cstdint>
#include <new>
#include <string>
#include <vector>

#include "Errors.h"
#include "Messages.h"

namespace glebix::r {

// A text as an R string marked UTF-8 (the engine's messages are UTF-8 whatever the
// session's locale).
Rcpp::String Utf8(const std::string &text);
Rcpp::CharacterVector Utf8Vector(const std::vector<std::string> &texts);

// The engine's error as a list of class "glebix_failure": message, the context's
// fields (setting, path, line, column, token) and the context in words. The R side
// raises it (a longjmp from here would skip the C++ destructors).
Rcpp::List Failure(const GlebixError &error);

// Runs `body`, returning its value, or the failure when the engine raises or memory
// runs out.
template <typename Body>
SEXP Guarded(Body body) {
    try {
        return body();
    } catch (const GlebixError &e) { return Failure(e); } catch (const std::bad_alloc &) {
        return Failure(GlebixError(MsgOutOfMemory));
    }
}

// Lets R act on a pending user interrupt or a time limit passed (setTimeLimit). R's
// jump out is carried through the C++ frames as Rcpp::LongjumpException, which the
// entry point's END_RCPP resumes: R then sees an interrupt as an interrupt, and a time
// limit as its usual error. A caller that must stop threads first catches it and
// rethrows.
void CheckInterrupt();

// A text argument of length one (NA and NULL are refused by the R side).
std::string Text(SEXP x);

}  // namespace glebix::r
