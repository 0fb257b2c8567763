// The messages of the batch tool and the language packages, in the user's language
// (Language.h). Each message is one entry of the catalogue (MessageCatalogue.cpp): a
// key, its French text and its English text, which name the same placeholders {0},
// {1}, ... The engine's messages carry their key and arguments (EngineMessage); their
// French is the engine's, as the windows show them, and RenderIn gives them in either
// language.
#pragma once

#include <exception>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Errors.h"
#include "Language.h"
#include "SettingsRegistry.h"

namespace glebix::core {

struct CatalogueEntry {
    const char *Key;
    const char *French;
    const char *English;
};

// The English of a text of the engine whose French the engine holds.
struct EnglishRow {
    const char *Key;
    const char *English;
};

// Every entry: the core's, then the engine's, each message of EngineMessages.h and each
// setting's description with its English from EngineEnglish() (EngineMessageCatalogue.cpp).
std::span<const CatalogueEntry> Catalogue();
std::span<const EnglishRow> EngineEnglish();

// The key of the description of a setting: "engine.describe.<name in lower case>".
std::string SettingDescriptionKey(const SettingRow &row);
// The description of a setting in the user's language.
std::string SettingDescription(const SettingRow &row);

// The message `key` in `language`, filled with `args`. An unknown key gives the key
// itself, so that nothing is lost.
std::string MessageIn(Language language, std::string_view key, const std::vector<std::string> &args);
// The same in the user's language.
std::string Message(std::string_view key, std::initializer_list<std::string> args = {});

// An engine's message in `language`: the text of its key, each argument that is a
// message made in the same language; a text without key as it is.
std::string RenderIn(Language language, const EngineMessage &message);
// The same in the user's language.
std::string LocalMessage(const EngineMessage &message);

// "<label> : <text>" in the user's language.
std::string Labelled(const std::string &label, const std::string &text);

// The engine's ErrorContext, IoErrorMessage, MessageWithContext and ExceptionMessage
// in the user's language.
std::string LocalDescribeContext(const ErrorContext &context);
std::string LocalMessageWithContext(const GlebixError &error);
std::string LocalExceptionMessage(const std::exception &error);
std::string LocalIoErrorMessage(int errnum, const std::string &path);

}  // namespace glebix::core
