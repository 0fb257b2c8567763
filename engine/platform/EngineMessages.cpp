#include "EngineMessages.h"

#include <optional>

namespace glebix {

namespace {

// The placeholder {k} that starts at text[at], as k, with its length.
std::optional<std::size_t> PlaceholderAt(std::string_view text, std::size_t at, std::size_t &length) {
    if (text[at] != '{') return std::nullopt;
    const auto close = text.find('}', at);
    constexpr std::size_t longestNumber = 2;
    if (close == std::string_view::npos || close == at + 1 || close > at + 1 + longestNumber) return std::nullopt;
    std::size_t k = 0;
    for (std::size_t i = at + 1; i < close; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        k = k * 10 + static_cast<std::size_t>(text[i] - '0');
    }
    length = close - at + 1;
    return k;
}

std::string_view FrenchTemplate(MessageKey key) { return key.French(); }

}  // namespace

std::string FillPlaceholders(std::string_view text, const std::vector<std::string> &args) {
    std::string out;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = 0;
        const auto k = PlaceholderAt(text, at, length);
        if (k && *k < args.size()) {
            out += args[*k];
            at += length;
        } else {
            out += text[at++];
        }
    }
    return out;
}

EngineMessage::EngineMessage(MessageKey key) : key_(key) {}

EngineMessage::EngineMessage(MessageKey key, std::vector<MessageArg> args) : key_(key), args_(std::move(args)) {}

EngineMessage EngineMessage::Text(std::string text) {
    EngineMessage message;
    message.text_ = std::move(text);
    return message;
}

std::string EngineMessage::Render(TemplateOf templateOf) const {
    if (!key_) return text_;
    std::vector<std::string> args;
    args.reserve(args_.size());
    for (const MessageArg &arg : args_) args.push_back(arg.Message() ? arg.Message()->Render(templateOf) : arg.Text());
    return FillPlaceholders(templateOf(key_), args);
}

std::string EngineMessage::French() const { return Render(FrenchTemplate); }

}  // namespace glebix
