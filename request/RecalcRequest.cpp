#include "request/RecalcRequest.h"

#include "portable/JoinPath.h"
#include "portable/Utf8.h"
#include "request/CommandLine.h"
#include "request/HexWorks.h"

using HexWorks::HexToLong;

RecalcOutcome CheckRequest(const RecalcRequest& r, const FileExistsFn& fileExists) {
    using M = RecalcOutcome;
    if (!fileExists(RecalculatorPath(r.appFolder))) {
        return M::Message("Por favor copie Zeltor.exe en el mismo directorio de esta aplicación.");
    }
    if (!fileExists(JoinPath(r.appFolder, r.romName))) {
        return M::Message("La ROM debe estar en el mismo directorio de esta aplicación.");
    }
    if (r.shownRomName.empty()) {
        return M::Message("Error, por favor indicar la ROM");
    }
    if (r.textStart.empty()) {
        return M::Message("Error, por favor indicar dirección de inicio de texto");
    }
    if (r.tableStart.empty()) {
        return M::Message("Error, por favor indicar dirección de inicio de la tabla");
    }
    if (r.tableEnd.empty()) {
        return M::Message("Error, por favor indicar dirección del fin de la tabla");
    }
    if (r.separator.empty()) {
        return M::Message("Error, por favor indicar caracter separador");
    }
    if (CharCount(r.separator) < 2) {
        return M::Message("Error, indicar un byte correcto como separador");
    }
    if (HexToLong(r.textStart) > r.romLength) {
        return M::Message("Error, verifique la dirección de inicio de texto");
    }
    if (HexToLong(r.tableStart) > r.romLength) {
        return M::Message("Error, verifique el inicio de la tabla");
    }
    if (HexToLong(r.tableEnd) > r.romLength) {
        return M::Message("Error, verifique el fin de la tabla");
    }
    const std::int32_t tableEnd = HexToLong(r.tableEnd);
    if (HexToLong(r.tableStart) > tableEnd) {
        return M::Message("Dirección inicial debe ser menor a la final");
    }
    if (r.firstPointer) {
        if (r.firstPointer->empty()) {
            return M::Message("Error, por favor indicar valor del primer puntero");
        }
        // A size other than the three sets no lower bound.
        const std::optional<PointerSize> size = PointerSize::FromText(r.pointerSize);
        if (size && CharCount(*r.firstPointer) < size->Digits()) {
            return M::Message("Indique un valor de puntero correcto");
        }
    }
    return {std::nullopt, {RecalculatorPath(r.appFolder), RecalcCommandLine(r), r.romFolder}};
}

std::string RecalcCommandLine(const RecalcRequest& r) {
    return BuildCommandLine(RecalculatorPath(r.appFolder), BuildRecalcArguments({{}, r}));
}
