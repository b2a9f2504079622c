#pragma once

#include "zeltor/Files.h"
#include "zeltor/Maps.h"
#include "zeltor/Outcome.h"

#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace zeltor {

struct MapChoice {
    std::unique_ptr<AddressMap> map;
    // Why this one, for the report: "cabecera interna LoROM en 0x81C0".
    std::string reason;
    MapKind kind = MapKind::Linear;
    // Recognised from a header or asked for with --map: the old values' addresses are known.
    // A plain file's linear map is a guess, and its values' base is not known.
    bool known = false;
    // The console stores its pointers most significant byte first (Mega Drive): a table is
    // then big endian unless the request says otherwise.
    bool bigEndian = false;
};

// The map `asked` for with --map, or the one the ROM's own header shows; linear when no
// header is recognised. The consoles added later (Mega Drive, Game Boy Advance) are looked for
// only in a ROM that no earlier one claims, so that none of those changes its map. A header is
// read, never trusted whole: a translation has already changed the checksum's sum, so only what a
// translation leaves alone is checked.
std::variant<MapChoice, Refusal> ChooseMap(std::optional<MapKind> asked, File& rom,
                                           std::uint64_t fileSize);

} // namespace zeltor
