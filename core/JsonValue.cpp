#include "JsonValue.h"

#include <algorithm>

namespace glebix::core {

JsonValue::JsonValue(const std::vector<std::string> &texts) : kind_(Kind::Array) {
    items_.assign(texts.begin(), texts.end());
}

JsonValue::JsonValue(std::initializer_list<Member> members) : kind_(Kind::Object) {
    for (const Member &member : members) (*this)[member.first] = member.second;
}

JsonValue JsonValue::Array() {
    JsonValue value;
    value.kind_ = Kind::Array;
    return value;
}

JsonValue JsonValue::Object() {
    JsonValue value;
    value.kind_ = Kind::Object;
    return value;
}

JsonValue &JsonValue::operator[](const std::string &key) {
    kind_ = Kind::Object;
    auto at = std::lower_bound(members_.begin(), members_.end(), key,
                               [](const Member &member, const std::string &k) { return member.first < k; });
    if (at == members_.end() || at->first != key) at = members_.insert(at, Member{key, JsonValue()});
    return at->second;
}

void JsonValue::PushBack(JsonValue item) {
    kind_ = Kind::Array;
    items_.push_back(std::move(item));
}

}  // namespace glebix::core
