#include "toolkit/keyed_collection.h"

#include "platform/messages.h"
#include "platform/platform.h"

namespace tarn::toolkit {

void KeyedCollection::checkUnique(const std::string& key) const {
    if (!key.empty() && positions_.count(key) > 0) throw PlatformError(messages::kKeyNotUnique);
}

std::size_t KeyedCollection::add(const std::string& key) {
    checkUnique(key);
    const std::size_t position = keys_.size();
    keys_.push_back(key);
    if (!key.empty()) positions_.emplace(key, position);
    return position;
}

std::optional<std::size_t> KeyedCollection::find(const std::string& key) const {
    if (key.empty()) return std::nullopt;
    const auto it = positions_.find(key);
    if (it == positions_.end()) return std::nullopt;
    return it->second;
}

std::size_t KeyedCollection::at(const std::string& key) const {
    const auto position = find(key);
    if (!position) throw PlatformError(messages::kElementNotFound);
    return *position;
}

void KeyedCollection::clear() {
    keys_.clear();
    positions_.clear();
}

}  // namespace tarn::toolkit
