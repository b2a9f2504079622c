#include "RecalcRequest.h"

#include "HexWorks.h"
#include "JoinPath.h"

using HexWorks::CharCount;
using HexWorks::HexToLong;

namespace {
// The fewest digits the first pointer's value may have for the pointer size; 0 for a size
// that is not one of the three.
std::size_t MinValueDigits(const std::string& size) {
    if (size == "2") {
        return 4;
    }
    if (size == "3") {
        return 6;
    }
    if (size == "4") {
        return 8;
    }
    return 0;
}
} // namespace

RecalcOutcome CheckRequest(const RecalcRequest& r, const FileExistsFn& fileExists) {
    using M = RecalcOutcome;
    if (!fileExists(JoinPath(r.appFolder, "zeltor.exe"))) {
        return M::Message("Por favor copie Zeltor.exe en el mismo directorio de esta aplicación.");
    }
    if (!fileExists(JoinPath(r.appFolder, r.RomFileName))) {
        return M::Message("La ROM debe estar en el mismo directorio de esta aplicación.");
    }
    if (r.lblROM.empty()) {
        return M::Message("Error, por favor indicar la ROM");
    }
    if (r.txtInitext.empty()) {
        return M::Message("Error, por favor indicar dirección de inicio de texto");
    }
    if (r.txtIniPunt.empty()) {
        return M::Message("Error, por favor indicar dirección de inicio de la tabla");
    }
    if (r.txtFinPunt.empty()) {
        return M::Message("Error, por favor indicar dirección del fin de la tabla");
    }
    if (r.txtSeparador.empty()) {
        return M::Message("Error, por favor indicar caracter separador");
    }
    if (CharCount(r.txtSeparador) < 2) {
        return M::Message("Error, indicar un byte correcto como separador");
    }
    if (HexToLong(r.txtInitext) > r.RomLength) {
        return M::Message("Error, verifique la dirección de inicio de texto");
    }
    if (HexToLong(r.txtIniPunt) > r.RomLength) {
        return M::Message("Error, verifique el inicio de la tabla");
    }
    if (HexToLong(r.txtFinPunt) > r.RomLength) {
        return M::Message("Error, verifique el fin de la tabla");
    }
    const std::int32_t tableEnd = HexToLong(r.txtFinPunt);
    if (HexToLong(r.txtIniPunt) > tableEnd) {
        return M::Message("Dirección inicial debe ser menor a la final");
    }
    if (r.ckValPunt) {
        if (r.txtValPunt.empty()) {
            return M::Message("Error, por favor indicar valor del primer puntero");
        }
        if (CharCount(r.txtValPunt) < MinValueDigits(r.cboTam)) {
            return M::Message("Indique un valor de puntero correcto");
        }
    }
    return {std::nullopt, RecalculatorPath(r.appFolder), BuildCommandLine(r)};
}
