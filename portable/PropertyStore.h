#pragma once

#include "portable/PropertyValue.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The host's store of a control's saved properties. Keys match without regard to case and
// are kept in lower case, in the order they were first written.
class PropertyStore {
public:
    using Entry = std::pair<std::string, PropertyValue>;

    // Saves a value, unless it equals the default: then any earlier value goes too, so that
    // reading gives back the reader's default.
    void Write(std::string_view key, const PropertyValue& value, const PropertyValue& defaultValue);

    // The stored value, or the default when the key is absent.
    PropertyValue Read(std::string_view key, const PropertyValue& defaultValue) const;

    // Puts a value in directly, as a host does with data it saved earlier.
    void Set(std::string_view key, PropertyValue value);

    bool Contains(std::string_view key) const;
    void Remove(std::string_view key);

    const std::vector<Entry>& Entries() const { return m_Entries; }

private:
    std::vector<Entry>::iterator Find(std::string_view key);
    std::vector<Entry>::const_iterator Find(std::string_view key) const;

    std::vector<Entry> m_Entries;
};

// The key as the store keeps it.
std::string PropertyKey(std::string_view key);
