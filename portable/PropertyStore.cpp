#include "portable/PropertyStore.h"

#include <algorithm>
#include <cctype>

std::string PropertyKey(std::string_view key) {
    std::string lower(key);
    for (char& c : lower) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return lower;
}

std::vector<PropertyStore::Entry>::iterator PropertyStore::Find(std::string_view key) {
    const std::string lower = PropertyKey(key);
    return std::find_if(m_Entries.begin(), m_Entries.end(),
                        [&](const Entry& e) { return e.first == lower; });
}

std::vector<PropertyStore::Entry>::const_iterator PropertyStore::Find(std::string_view key) const {
    const std::string lower = PropertyKey(key);
    return std::find_if(m_Entries.begin(), m_Entries.end(),
                        [&](const Entry& e) { return e.first == lower; });
}

void PropertyStore::Write(std::string_view key, const PropertyValue& value,
                          const PropertyValue& defaultValue) {
    if (SameValue(value, defaultValue)) {
        Remove(key);
    } else {
        Set(key, value);
    }
}

PropertyValue PropertyStore::Read(std::string_view key, const PropertyValue& defaultValue) const {
    const auto found = Find(key);
    return found == m_Entries.end() ? defaultValue : found->second;
}

void PropertyStore::Set(std::string_view key, PropertyValue value) {
    const auto found = Find(key);
    if (found == m_Entries.end()) {
        m_Entries.emplace_back(PropertyKey(key), std::move(value));
    } else {
        found->second = std::move(value);
    }
}

bool PropertyStore::Contains(std::string_view key) const {
    return Find(key) != m_Entries.end();
}

void PropertyStore::Remove(std::string_view key) {
    const auto found = Find(key);
    if (found != m_Entries.end()) {
        m_Entries.erase(found);
    }
}
