#pragma once

#include "portable/PropertyValue.h"

#include <cstdint>
#include <string>
#include <string_view>

// The standard font object that a control and its host share by reference
// (std::shared_ptr): a description only, with no system font behind it.
class FontObject {
public:
    const std::string& Name() const { return m_Name; }
    void SetName(std::string name) { m_Name = std::move(name); }

    // Size in points with four decimals. A size given as text ("8", "8.25") or as any stored
    // number is converted; a size of zero or less is refused (380).
    Fixed4 Size() const { return m_Size; }
    void SetSize(Fixed4 size);
    void SetSize(std::string_view text) { SetSize(ParseFixed4(text)); }
    void SetSize(const PropertyValue& value) { SetSize(AsFixed4(value)); }

    // Bold and Weight are two views of one thing: Bold sets 700 or 400, and a weight of 600
    // or more reads as bold.
    bool Bold() const { return m_Weight >= 600; }
    void SetBold(bool bold) { m_Weight = bold ? 700 : 400; }
    std::int16_t Weight() const { return m_Weight; }
    void SetWeight(std::int16_t weight);

    bool Italic() const { return m_Italic; }
    void SetItalic(bool italic) { m_Italic = italic; }
    bool Underline() const { return m_Underline; }
    void SetUnderline(bool underline) { m_Underline = underline; }
    bool Strikethrough() const { return m_Strikethrough; }
    void SetStrikethrough(bool strikethrough) { m_Strikethrough = strikethrough; }

private:
    std::string m_Name = "MS Sans Serif";
    Fixed4 m_Size{80000};
    std::int16_t m_Weight = 400;
    bool m_Italic = false;
    bool m_Underline = false;
    bool m_Strikethrough = false;
};
