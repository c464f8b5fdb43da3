// The keys of a list view's items or an image list's pictures, in the order they were
// added, so a key finds its position and a position its key.
#pragma once

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tarn::toolkit {

class KeyedCollection {
public:
    // Adds an entry and returns its position. An empty key is "no key": such entries are
    // never found by key and never collide. A key already present throws PlatformError
    // and adds nothing.
    std::size_t add(const std::string& key);
    // Checks that `key` could be added, without adding it.
    void checkUnique(const std::string& key) const;
    [[nodiscard]] std::optional<std::size_t> find(const std::string& key) const;
    // The position of `key`; throws PlatformError when no entry has it.
    [[nodiscard]] std::size_t at(const std::string& key) const;
    [[nodiscard]] const std::string& keyAt(std::size_t position) const { return keys_.at(position); }
    [[nodiscard]] std::size_t size() const { return keys_.size(); }
    void clear();

private:
    std::vector<std::string> keys_;
    std::map<std::string, std::size_t> positions_;
};

}  // namespace tarn::toolkit
