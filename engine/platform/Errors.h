// The one error type of the engine: it carries the message by key with its arguments
// (EngineMessages.h), its French text shown to the user (what()) and, besides it, where
// the fault lies: the setting, the file, and for a file's contents the line, the column
// and the refused token. The message never includes the context, so the windows can
// show it unchanged.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "EngineMessages.h"

namespace glebix {

// Where an error lies; empty fields and zero positions are unknown.
struct ErrorContext {
    std::string Setting;      // the setting's batch name, as the settings registry gives it
    std::string Path;         // the file concerned, as given
    std::int64_t Line = 0;    // line of the file, from 1
    std::int64_t Column = 0;  // column (character) of the file, from 1
    std::string Token;        // the refused text
    // The message names a cell of the plot by its row and column: the file's line is
    // then called "ligne du fichier" and its column left out, so that neither is taken
    // for the plot's.
    bool NamesPlotCell = false;
    // A grid's value: its line from the top and column from the west, each from 1, by
    // which a raster read as its grid text (a GeoTIFF, ...) is cited.
    std::int64_t GridLine = 0, GridColumn = 0;
};

class GlebixError : public std::runtime_error {
public:
    explicit GlebixError(EngineMessage message, ErrorContext context = {})
        : std::runtime_error(message.French()), message_(std::move(message)), context_(std::move(context)) {}
    // A text made outside the engine, already in the user's language.
    explicit GlebixError(const std::string &text, ErrorContext context = {})
        : GlebixError(EngineMessage::Text(text), std::move(context)) {}
    const EngineMessage &Message() const { return message_; }
    const ErrorContext &Context() const { return context_; }
    ErrorContext &Context() { return context_; }

private:
    EngineMessage message_;
    ErrorContext context_;
};

// The words DescribeContext puts between the context's parts; French by default, as the
// windows show them.
struct ContextWords {
    const char *OpenQuote = "« ";
    const char *CloseQuote = " »";
    const char *Line = "ligne ";
    const char *FileLine = "ligne du fichier ";  // when the message names a cell of the plot
    const char *Column = "colonne ";
    const char *Separator = " : ";
};

// The context in words, in the order setting « path », ligne L, colonne C : « token »;
// empty when nothing is known. Used before the message: "<context> : <message>".
std::string DescribeContext(const ErrorContext &context, const ContextWords &words = {});
// "<context> : <message>", or the message alone without context.
std::string MessageWithContext(const GlebixError &error);

// Sets the context's line and column (each from 1, the column counted in characters)
// of the byte at `offset` of a file's text, and its token, cut to a readable length.
void LocateInText(ErrorContext &context, std::string_view text, std::size_t offset, std::string_view token);

// Messages of the floating-point faults.
inline constexpr MessageKey MsgInvalidOperation = "engine.invalid_operation";
inline constexpr MessageKey MsgDivisionByZero = "engine.division_by_zero";
inline constexpr MessageKey MsgOverflow = "engine.overflow";
// Message of an allocation that failed.
inline constexpr MessageKey MsgOutOfMemory = "engine.out_of_memory";
// The message of any exception an operation ends with, without its context: a
// GlebixError's, MsgOutOfMemory for a failed allocation, the input/output message of a
// system error, else its what() as a text.
EngineMessage ErrorMessageOf(const std::exception &error);
// The French message of any exception an operation ends with: a GlebixError with its
// context (MessageWithContext), else ErrorMessageOf in French.
std::string ExceptionMessage(const std::exception &error);
// Message of a token that is not a number of the expected kind.
inline constexpr MessageKey MsgBadNumber = "engine.bad_number";
// A count of a grid written as a real that is not a whole number.
inline constexpr MessageKey MsgCountNotWhole = "engine.count_not_whole";

[[noreturn]] void ThrowFloatFault(MessageKey message);
[[noreturn]] void ThrowBadNumber();

// Message for a failed file operation with the system's error number, by cause.
// `path` is the file concerned: it tells a missing file from a missing directory.
EngineMessage IoErrorMessage(int errnum, const std::string &path);
// Whether IoErrorMessage says what is wrong with a path that leads nowhere: "Chemin
// vide", or "Dossier inexistant « <the outermost missing folder> »". Off, it says
// "Nom de fichier incorrect" as the windows do; the batch tool and the language
// packages turn it on when they start.
void NameMissingFolders(bool on);
[[noreturn]] void ThrowIoError(int errnum, const std::string &path);

// The text shown in the error box: the message, with a full stop appended when its
// last character sorts after the full stop.
std::string ErrorBoxText(const std::string &message);

}  // namespace glebix
