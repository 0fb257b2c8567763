// The one error type of the engine: it carries the French message shown to the user.
#pragma once

#include <stdexcept>
#include <string>

namespace glebix {

class GlebixError : public std::runtime_error {
public:
    explicit GlebixError(const std::string &message) : std::runtime_error(message) {}
};

// Messages of the floating-point faults.
inline constexpr const char *MsgInvalidOperation = "Opération en virgule flottante incorrecte";
inline constexpr const char *MsgDivisionByZero = "Division par zéro en virgule flottante";
inline constexpr const char *MsgOverflow = "Débordement en virgule flottante";
// Message of a token that is not a number of the expected kind.
inline constexpr const char *MsgBadNumber = "Saisie numérique incorrecte";

[[noreturn]] void ThrowFloatFault(const char *message);
[[noreturn]] void ThrowBadNumber();

// Message for a failed file operation with the system's error number, by cause.
// `path` is the file concerned: it tells a missing file from a missing directory.
std::string IoErrorMessage(int errnum, const std::string &path);
[[noreturn]] void ThrowIoError(int errnum, const std::string &path);

// The text shown in the error box: the message, with a full stop appended when its
// last character sorts after the full stop.
std::string ErrorBoxText(const std::string &message);

}  // namespace glebix
