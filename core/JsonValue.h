// A JSON value as the manifests write it: null, a flag, a whole or real number, a text,
// an array, or an object whose members are kept in byte order of their keys. Freeing
// one never allocates (a general JSON library's values may, and their destructors then
// end the program), so a manifest made when memory runs out fails with bad_alloc, which
// the run reports.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace glebix::core {

class JsonValue {
public:
    enum class Kind { Null, Flag, Signed, Unsigned, Real, Text, Array, Object };
    using Member = std::pair<std::string, JsonValue>;

    JsonValue() = default;
    JsonValue(bool flag) : kind_(Kind::Flag), flag_(flag) {}
    template <std::signed_integral Whole>
    JsonValue(Whole v) : kind_(Kind::Signed), signed_(v) {}
    template <std::unsigned_integral Whole>
    requires(!std::same_as<Whole, bool>) JsonValue(Whole v) : kind_(Kind::Unsigned), unsigned_(v) {}
    JsonValue(double real) : kind_(Kind::Real), real_(real) {}
    JsonValue(std::string text) : kind_(Kind::Text), text_(std::move(text)) {}
    JsonValue(const char *text) : JsonValue(std::string(text)) {}
    // An array of texts.
    JsonValue(const std::vector<std::string> &texts);
    // An object of these members (a later member replaces an earlier one of its key).
    JsonValue(std::initializer_list<Member> members);

    static JsonValue Array();
    static JsonValue Object();

    // The object's member of that key, added as null when missing.
    JsonValue &operator[](const std::string &key);
    // Appends to an array.
    void PushBack(JsonValue item);

    Kind GetKind() const { return kind_; }
    bool Flag() const { return flag_; }
    std::int64_t Signed() const { return signed_; }
    std::uint64_t Unsigned() const { return unsigned_; }
    double Real() const { return real_; }
    const std::string &Text() const { return text_; }
    const std::vector<JsonValue> &Items() const { return items_; }
    const std::vector<Member> &Members() const { return members_; }

private:
    Kind kind_ = Kind::Null;
    bool flag_ = false;
    std::int64_t signed_ = 0;
    std::uint64_t unsigned_ = 0;
    double real_ = 0;
    std::string text_;
    std::vector<JsonValue> items_;
    std::vector<Member> members_;
};

}  // namespace glebix::core
