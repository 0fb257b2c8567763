// Checked real arithmetic: the floating-point faults that end a computation
// (invalid operation, division by zero, overflow) are raised as GlebixError before a
// faulty value can be stored. Underflow and inexact results stay silent.
#pragma once

#include <cfloat>
#include <cmath>

#include "Errors.h"

namespace glebix {

// A real result rounded to a double for storing.
inline double StoreDouble(long double x) {
    if (std::isnan(x)) ThrowFloatFault(MsgInvalidOperation);
    if (!(std::fabs(x) <= static_cast<long double>(DBL_MAX))) {
        // A result just above DBL_MAX that rounds down to it is not an overflow.
        const double d = static_cast<double>(x);
        if (std::isinf(d)) ThrowFloatFault(MsgOverflow);
        return d;
    }
    return static_cast<double>(x);
}

inline long double Divide(long double a, long double b) {
    if (b == 0) ThrowFloatFault(a == 0 || std::isnan(a) ? MsgInvalidOperation : MsgDivisionByZero);
    const long double q = a / b;
    if (std::isnan(q)) ThrowFloatFault(MsgInvalidOperation);
    if (std::isinf(q) && std::isfinite(a)) ThrowFloatFault(MsgOverflow);
    return q;
}

inline long double Ln(long double x) {
    if (std::isnan(x) || x < 0) ThrowFloatFault(MsgInvalidOperation);
    if (x == 0) ThrowFloatFault(MsgDivisionByZero);
    return std::log(x);
}

inline long double Exp(long double x) {
    if (std::isnan(x)) ThrowFloatFault(MsgInvalidOperation);
    const long double e = std::exp(x);
    if (std::isinf(e)) ThrowFloatFault(MsgOverflow);
    return e;
}

// A product or sum whose operands are finite: infinity means overflow, NaN an
// invalid operation (such as infinity times zero).
inline long double Checked(long double x) {
    if (std::isnan(x)) ThrowFloatFault(MsgInvalidOperation);
    if (std::isinf(x)) ThrowFloatFault(MsgOverflow);
    return x;
}

}  // namespace glebix
