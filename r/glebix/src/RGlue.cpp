#include "RGlue.h"

#include <R_ext/Utils.h>

namespace glebix::r {

Rcpp::String Utf8(const std::string &text) { return Rcpp::String(text, CE_UTF8); }

Rcpp::CharacterVector Utf8Vector(const std::vector<std::string> &texts) {
    Rcpp::CharacterVector out(texts.size());
    for (std::size_t k = 0; k < texts.size(); ++k) out[k] = Utf8(texts[k]);
    return out;
}

Rcpp::List Failure(const GlebixError &error) {
    const ErrorContext &c = error.Context();
    Rcpp::List failure = Rcpp::List::create(
        Rcpp::Named("message") = Utf8(core::LocalMessage(error.Message())), Rcpp::Named("setting") = Utf8(c.Setting),
        Rcpp::Named("path") = Utf8(c.Path), Rcpp::Named("line") = static_cast<double>(c.Line),
        Rcpp::Named("column") = static_cast<double>(c.Column), Rcpp::Named("token") = Utf8(c.Token),
        Rcpp::Named("where") = Utf8(core::LocalDescribeContext(c)));
    failure.attr("class") = "glebix_failure";
    return failure;
}

void CheckInterrupt() {
    Rcpp::unwindProtect([]() -> SEXP {
        R_CheckUserInterrupt();
        return R_NilValue;
    });
}

std::string Text(SEXP x) { return Rcpp::as<std::string>(x); }

}  // namespace glebix::r
