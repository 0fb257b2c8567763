// The messages of the batch tool and the language packages, in the user's language
// (Language.h). Each message is one entry of the catalogue (MessageCatalogue.cpp): a
// key, its French text and its English text, which name the same placeholders {0},
// {1}, ... The engine's messages stay French, as the windows show them; FromFrench
// gives them in the user's language where they leave the engine.
#pragma once

#include <exception>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Errors.h"
#include "Language.h"

namespace glebix::batch {

struct CatalogueEntry {
    const char *Key;
    const char *French;
    const char *English;
};

// Every entry: the core's, then the engine's (EngineMessageCatalogue.cpp), whose
// patterns are tried in their order.
std::span<const CatalogueEntry> Catalogue();
std::span<const CatalogueEntry> EngineCatalogue();

// `text` with each placeholder {k} replaced by args[k]; a placeholder without its
// argument is left as written.
std::string FillPlaceholders(std::string_view text, const std::vector<std::string> &args);

// The message `key` in `language`, filled with `args`. An unknown key gives the key
// itself, so that nothing is lost.
std::string MessageIn(Language language, std::string_view key, const std::vector<std::string> &args);
// The same in the user's language.
std::string Message(std::string_view key, std::initializer_list<std::string> args = {});

// An engine's French message in `language`: in English, the English text of the first
// "engine." entry whose French text it matches, each placeholder filled with the part
// it matched (itself given by FromFrench); unchanged in French or when none matches.
std::string FromFrenchIn(Language language, const std::string &french);
std::string FromFrench(const std::string &french);

// "<label> : <text>" in the user's language.
std::string Labelled(const std::string &label, const std::string &text);

// The engine's ErrorContext, IoErrorMessage, MessageWithContext and ExceptionMessage
// in the user's language.
std::string LocalDescribeContext(const ErrorContext &context);
std::string LocalMessageWithContext(const GlebixError &error);
std::string LocalExceptionMessage(const std::exception &error);
std::string LocalIoErrorMessage(int errnum, const std::string &path);

}  // namespace glebix::batch
