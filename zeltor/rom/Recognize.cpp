#include "zeltor/rom/Recognize.h"

#include "portable/Hex.h"

#include <algorithm>
#include <iterator>

namespace zeltor {

namespace {

// Reads a header's bytes where the file has them, and remembers a read that failed.
class HeaderReader {
public:
    HeaderReader(File& rom, std::uint64_t size) : m_Rom(rom), m_Size(size) {}
    bool Read(std::uint64_t at, std::uint8_t* out, std::size_t count) {
        if (at > m_Size || m_Size - at < count) {
            return false;
        }
        if (!m_Rom.Read(at, out, count)) {
            m_Failed = true;
            return false;
        }
        return true;
    }
    std::uint64_t Size() const { return m_Size; }
    bool Failed() const { return m_Failed; }

private:
    File& m_Rom;
    std::uint64_t m_Size;
    bool m_Failed = false;
};

// A copier's header makes the file 512 bytes longer than a whole number of KiB.
std::uint64_t CopierHeader(std::uint64_t fileSize) {
    return fileSize % 1024 == 512 ? 512 : 0;
}

std::string CopierNote(std::uint64_t header) {
    return header == 0 ? "" : ", tras 512 bytes de cabecera de copión";
}

unsigned Word(const std::uint8_t* bytes) {
    return bytes[0] | (unsigned{bytes[1]} << 8);
}

// 0 when the 64 bytes at `at` are no SNES internal header of the kind asked; 2 when the title
// is plain text as well, which settles a ROM where both places look right.
int SnesScore(HeaderReader& in, std::uint64_t at, bool hiRom) {
    std::uint8_t b[0x40];
    if (!in.Read(at, b, sizeof b)) {
        return 0;
    }
    const unsigned mode = b[0x15];
    const unsigned kind = mode & 0x0F;
    const bool modeFits = (mode & 0xE0) == 0x20 &&
                          (hiRom ? kind == 1 || kind == 5 : kind == 0 || kind == 2 || kind == 3);
    const bool sizeFits = b[0x17] >= 0x07 && b[0x17] <= 0x0D; // 128 KiB to 8 MiB
    // The checksum and its complement agree with each other; their sum with the ROM's is
    // not asked for.
    const bool checksumsAgree = (Word(b + 0x1C) ^ Word(b + 0x1E)) == 0xFFFF;
    const bool resetInRom = Word(b + 0x3C) >= 0x8000;
    if (!modeFits || !sizeFits || !checksumsAgree || !resetInRom) {
        return 0;
    }
    return std::all_of(b, b + 21, [](std::uint8_t c) { return c >= 0x20 && c < 0x7F; }) ? 2 : 1;
}

std::optional<MapChoice> Snes(HeaderReader& in) {
    const std::uint64_t header = CopierHeader(in.Size());
    const int lo = SnesScore(in, header + 0x7FC0, false);
    const int hi = SnesScore(in, header + 0xFFC0, true);
    if (lo == 0 && hi == 0) {
        return std::nullopt;
    }
    const bool hiRom = hi > lo;
    const MapKind kind = hiRom ? MapKind::HiRom : MapKind::LoRom;
    const std::uint64_t at = header + (hiRom ? 0xFFC0 : 0x7FC0);
    MapChoice choice{hiRom ? MakeHiRomMap(header) : MakeLoRomMap(header),
                     std::string("cabecera interna ") + (hiRom ? "HiROM" : "LoROM") + " en " +
                         Hex(at) + CopierNote(header),
                     kind, true};
    choice.header = RecognisedHeader{kind, at, header};
    return choice;
}

// The header at 0x100-0x14F: the logo's first bytes, a ROM size code and the header's own
// checksum at 0x14D.
bool GameBoy(HeaderReader& in) {
    std::uint8_t b[0x50];
    if (in.Size() < 0x8000 || !in.Read(0x100, b, sizeof b)) {
        return false;
    }
    const std::uint8_t logo[] = {0xCE, 0xED, 0x66, 0x66};
    if (!std::equal(logo, logo + 4, b + 4) || b[0x48] > 0x08) {
        return false;
    }
    std::uint8_t sum = 0;
    for (int i = 0x34; i <= 0x4C; ++i) {
        sum = static_cast<std::uint8_t>(sum - b[i] - 1);
    }
    return sum == b[0x4D];
}

// The PRG bank that a mapper switches; 0 for a mapper not in these lists.
std::uint64_t NesBank(unsigned mapper) {
    // No switching, or 32 KiB at a time (NROM, CNROM, AxROM, GxROM...).
    static constexpr unsigned k32[] = {0, 3, 7, 11, 13, 34, 66, 87, 185};
    // 16 KiB at $8000 (MMC1, UxROM, MMC4...).
    static constexpr unsigned k16[] = {1, 2, 10, 16, 68, 70, 71, 94, 180};
    // 8 KiB (MMC3, MMC5, MMC2, the VRCs, FME-7...).
    static constexpr unsigned k8[] = {4, 5, 9, 19, 21, 22, 23, 25, 69, 85, 118, 119, 206};
    const auto in = [&](const auto& list) {
        return std::find(std::begin(list), std::end(list), mapper) != std::end(list);
    };
    return in(k32) ? 0x8000 : in(k16) ? 0x4000 : in(k8) ? 0x2000 : 0;
}

std::optional<MapChoice> Nes(HeaderReader& in) {
    std::uint8_t b[16];
    if (!in.Read(0, b, sizeof b) || !std::equal(b, b + 4, "NES\x1A")) {
        return std::nullopt;
    }
    const bool nes2 = (b[7] & 0x0C) == 0x08;
    unsigned mapper = (b[6] >> 4) | (b[7] & 0xF0);
    if (nes2) {
        mapper |= (b[8] & 0x0Fu) << 8;
    } else if (b[12] != 0 || b[13] != 0 || b[14] != 0 || b[15] != 0) {
        mapper &= 0x0F; // an old tool's signature in bytes 7-15: the high nibble is no mapper
    }
    const std::uint64_t prgStart = 16 + ((b[6] & 0x04) != 0 ? 512 : 0); // a trainer first
    const std::uint64_t units = b[4] | (nes2 ? (b[9] & 0x0Fu) << 8 : 0u);
    const std::uint64_t prgSize =
        std::min(units * 0x4000, in.Size() - std::min(in.Size(), prgStart));
    if (prgSize == 0) {
        return std::nullopt;
    }
    const std::uint64_t known = NesBank(mapper);
    const std::uint64_t bank = std::min(known != 0 ? known : 0x2000, prgSize);
    std::string reason = "cabecera iNES: mapper " + std::to_string(mapper) + ", " +
                         std::to_string(prgSize / 1024) + " KiB de PRG en bancos de " +
                         std::to_string(bank / 1024) + " KiB";
    if (known == 0) {
        reason += " (mapper sin datos: se suponen bancos de 8 KiB)";
    }
    MapChoice choice{MakeNesMap(prgStart, prgSize, bank), reason, MapKind::Nes, true};
    choice.header = RecognisedHeader{MapKind::Nes, 0, 0};
    return choice;
}

// "SEGA" at 0x100, where every Mega Drive header begins ("SEGA MEGA DRIVE", "SEGA GENESIS").
bool MegaDrive(HeaderReader& in) {
    std::uint8_t b[4];
    return in.Size() >= 0x200 && in.Read(0x100, b, sizeof b) && std::equal(b, b + 4, "SEGA");
}

// The fixed 0x96 at 0xB2, and the complement at 0xBD of the header's bytes 0xA0-0xBC, which the
// console itself checks at start.
bool Gba(HeaderReader& in) {
    std::uint8_t b[0x1E];
    if (!in.Read(0xA0, b, sizeof b) || b[0x12] != 0x96) {
        return false;
    }
    unsigned sum = 0;
    for (int i = 0; i <= 0x1C; ++i) {
        sum += b[i];
    }
    return static_cast<std::uint8_t>(0u - sum - 0x19) == b[0x1D];
}

MapChoice MegaDriveChoice(std::string reason) {
    return MapChoice{MakeMegaDriveMap(), std::move(reason), MapKind::MegaDrive, true, true};
}

std::variant<MapChoice, Refusal> Asked(MapKind kind, HeaderReader& in) {
    const std::string asked = "indicado con --map";
    const std::uint64_t header = CopierHeader(in.Size());
    switch (kind) {
    case MapKind::Linear:
        return MapChoice{MakeLinearMap(), asked, kind, true};
    case MapKind::LoRom:
        return MapChoice{MakeLoRomMap(header), asked + CopierNote(header), kind, true};
    case MapKind::HiRom:
        return MapChoice{MakeHiRomMap(header), asked + CopierNote(header), kind, true};
    case MapKind::GameBoy:
        return MapChoice{MakeGameBoyMap(), asked, kind, true};
    case MapKind::MegaDrive:
        return MegaDriveChoice(asked);
    case MapKind::Gba:
        return MapChoice{MakeGbaMap(), asked, kind, true};
    case MapKind::Nes:
        break;
    }
    if (auto nes = Nes(in)) {
        nes->reason = asked + "; " + nes->reason;
        return std::move(*nes);
    }
    return Bad(Exit::Usage, "--map nes necesita la cabecera iNES al principio del archivo, y esta "
                            "ROM no la tiene");
}

MapChoice Found(MapChoice choice, std::uint64_t at) {
    choice.header = RecognisedHeader{choice.kind, at, 0};
    return choice;
}

MapChoice Recognize(HeaderReader& in) {
    if (auto nes = Nes(in)) {
        return std::move(*nes);
    }
    if (GameBoy(in)) {
        return Found({MakeGameBoyMap(),
                      "cabecera de Game Boy en 0x100 con la suma de control de 0x14D correcta",
                      MapKind::GameBoy, true},
                     0x100);
    }
    if (auto snes = Snes(in)) {
        return std::move(*snes);
    }
    if (MegaDrive(in)) {
        return Found(MegaDriveChoice("«SEGA» en 0x100, cabecera de Mega Drive"), 0x100);
    }
    if (Gba(in)) {
        return Found({MakeGbaMap(),
                      "cabecera de Game Boy Advance: 0x96 en 0xB2 y el complemento de 0xBD "
                      "correcto",
                      MapKind::Gba, true},
                     0);
    }
    return MapChoice{MakeLinearMap(), "ninguna cabecera de consola reconocida", MapKind::Linear,
                     false};
}

// A map asked for keeps the header that recognition finds, when it is that console's: --map
// lorom on a LoROM still brings its checksum up to date, --map hirom on it does not.
void KeepHeaderOfAsked(std::variant<MapChoice, Refusal>& choice, HeaderReader& in) {
    if (auto* asked = std::get_if<MapChoice>(&choice); asked != nullptr && !asked->header) {
        std::optional<RecognisedHeader> found = Recognize(in).header;
        if (found && found->console == asked->kind) {
            asked->header = found;
        }
    }
}

} // namespace

std::variant<MapChoice, Refusal> ChooseMap(std::optional<MapKind> asked, File& rom,
                                           std::uint64_t fileSize) {
    HeaderReader in(rom, fileSize);
    std::variant<MapChoice, Refusal> choice =
        asked ? Asked(*asked, in) : std::variant<MapChoice, Refusal>(Recognize(in));
    if (asked) {
        KeepHeaderOfAsked(choice, in);
    }
    if (in.Failed()) {
        return Bad(Exit::CannotOpen,
                   "no se pudo leer la cabecera de la ROM: " + Describe(rom.Error()));
    }
    return choice;
}

} // namespace zeltor
