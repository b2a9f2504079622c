#pragma once

#include <string>
#include <string_view>

// The fields of a recalculation as the window labels them. The window shows these captions and
// Zeltor.exe's messages name a field by them, so a translator reads one name for one field in
// both programs; neither copies them.
namespace field_labels {
inline constexpr char kTextStart[] = "Posición inicial del texto:";
inline constexpr char kTableStart[] = "Posición inicial de la tabla de punteros:";
inline constexpr char kTableEnd[] = "Posición final de la tabla de punteros:";
inline constexpr char kPointerSize[] = "Tamaño de cada puntero";
inline constexpr char kSeparator[] = "Valor hexadecimal del caracter separador:";
inline constexpr char kFirstPointer[] = "Valor del primer puntero(Little Endian):";
} // namespace field_labels

// In the order a message names them when several disagree: the table first, then what is read
// through it.
enum class Field { TableStart, TableEnd, PointerSize, Separator, TextStart, FirstPointer };

// The window's caption for the field.
std::string_view FieldLabel(Field field);

// The caption as a message quotes it, without its colon or its note in brackets:
// «Posición inicial del texto».
std::string FieldName(Field field);
