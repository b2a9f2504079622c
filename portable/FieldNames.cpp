#include "portable/FieldNames.h"

#include <algorithm>

std::string_view FieldLabel(Field field) {
    switch (field) {
    case Field::TableStart:
        return field_labels::kTableStart;
    case Field::TableEnd:
        return field_labels::kTableEnd;
    case Field::PointerSize:
        return field_labels::kPointerSize;
    case Field::Separator:
        return field_labels::kSeparator;
    case Field::TextStart:
        return field_labels::kTextStart;
    case Field::FirstPointer:
        break;
    }
    return field_labels::kFirstPointer;
}

std::string FieldName(Field field) {
    std::string_view label = FieldLabel(field);
    label = label.substr(0, std::min(label.find('('), label.find(':')));
    return "«" + std::string(label) + "»";
}
