#include "portable/FontObject.h"

#include "portable/RuntimeError.h"

void FontObject::SetSize(Fixed4 size) {
    if (size.scaled <= 0) {
        throw RuntimeError(ErrorNumber::InvalidPropertyValue, "Valor de propiedad no válido");
    }
    m_Size = size;
}

void FontObject::SetWeight(std::int16_t weight) {
    if (weight < 0 || weight > 1000) {
        throw RuntimeError(ErrorNumber::InvalidPropertyValue, "Valor de propiedad no válido");
    }
    m_Weight = weight;
}
