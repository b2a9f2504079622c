#pragma once

#include "zeltor/Files.h"
#include "zeltor/Outcome.h"
#include "zeltor/rom/Maps.h"

#include <memory>
#include <optional>
#include <string>
#include <variant>

namespace zeltor {

// A console's header found in the ROM, whose checksum can then be brought up to date. A map
// only named with --map carries one only where that console's header is recognised as well: a
// checksum written into a ROM that does not keep one would spoil the ROM.
struct RecognisedHeader {
    // LoRom or HiRom (SNES), GameBoy, Nes, MegaDrive or Gba; never Linear.
    MapKind console = MapKind::Linear;
    // Where the header begins in the file: the SNES internal header (0x7FC0 or 0xFFC0 after
    // the copier's), 0x100 (Game Boy, Mega Drive), 0 (NES, Game Boy Advance).
    std::uint64_t at = 0;
    // SNES: the copier's header before the ROM (0 or 512 bytes), which the console never sees.
    std::uint64_t copier = 0;

    bool operator==(const RecognisedHeader&) const = default;
};

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
    // The header recognised, if any.
    std::optional<RecognisedHeader> header = std::nullopt;
};

// The map `asked` for with --map, or the one the ROM's own header shows; linear when no
// header is recognised. The consoles added later (Mega Drive, Game Boy Advance) are looked for
// only in a ROM that no earlier one claims, so that none of those changes its map. A header is
// read, never trusted whole: a translation has already changed the checksum's sum, so only what a
// translation leaves alone is checked.
std::variant<MapChoice, Refusal> ChooseMap(std::optional<MapKind> asked, File& rom,
                                           std::uint64_t fileSize);

} // namespace zeltor
