#include "zeltor/rom/Maps.h"

#include <algorithm>
#include <cctype>
#include <iterator>
#include <limits>
#include <utility>

namespace zeltor {

namespace {

constexpr std::uint64_t kNoEnd = std::numeric_limits<std::uint64_t>::max();

class LinearMap final : public AddressMap {
public:
    explicit LinearMap(const char* name) : m_Name(name) {}
    const char* Name() const override { return m_Name; }
    std::optional<Place> Locate(std::uint64_t position) const override {
        return Place{position, 0, kNoEnd};
    }
    std::int64_t Linear(std::uint64_t address) const override {
        return static_cast<std::int64_t>(address);
    }
    std::optional<std::uint64_t> Position(std::uint64_t address) const override { return address; }
    std::uint64_t InBankOf(std::uint64_t, std::uint32_t value) const override { return value; }

private:
    const char* m_Name;
};

class GbaMap final : public AddressMap {
public:
    const char* Name() const override { return "Game Boy Advance"; }
    std::optional<Place> Locate(std::uint64_t position) const override {
        if (position >= kSize) {
            return std::nullopt;
        }
        return Place{kBase + position, 0, kSize - 1};
    }
    std::int64_t Linear(std::uint64_t address) const override {
        if (address >= kBase && address < kBase + 3 * kSize) {
            return static_cast<std::int64_t>((address - kBase) % kSize);
        }
        // Not the cartridge: far from every string, as the console sees it.
        return static_cast<std::int64_t>(address) - static_cast<std::int64_t>(kBase);
    }
    std::optional<std::uint64_t> Position(std::uint64_t address) const override {
        if (address < kBase || address >= kBase + 3 * kSize) {
            return std::nullopt;
        }
        return (address - kBase) % kSize;
    }

private:
    static constexpr std::uint64_t kBase = 0x08000000;
    static constexpr std::uint64_t kSize = 0x02000000;
};

// Banks of `bankSize` bytes from `start` on, each seen at `window` + its offset in the bank,
// with the bank's number above the 16th bit. `banks` is how many the console can tell apart:
// a bank number past it is a mirror.
class BankedMap : public AddressMap {
public:
    // `shows` tells, from a bank number and the address within it, whether the console sees ROM
    // there at all.
    using Shows = bool (*)(std::uint64_t bank, std::uint64_t low);
    BankedMap(const char* name, std::uint64_t start, std::uint64_t size, std::uint64_t bankSize,
              std::uint64_t window, std::uint64_t banks, Shows shows)
        : m_Name(name), m_Start(start), m_Size(size), m_BankSize(bankSize), m_Window(window),
          m_Banks(banks), m_Shows(shows) {}

    const char* Name() const override { return m_Name; }
    std::optional<Place> Locate(std::uint64_t position) const override {
        if (position < m_Start || position - m_Start >= m_Size) {
            return std::nullopt;
        }
        const std::uint64_t bank = (position - m_Start) / m_BankSize;
        const std::uint64_t first = m_Start + bank * m_BankSize;
        return Place{(bank << 16) + m_Window + (position - first), first, first + m_BankSize - 1};
    }
    std::int64_t Linear(std::uint64_t address) const override {
        const std::uint64_t bank = (address >> 16) % m_Banks;
        return static_cast<std::int64_t>(bank * m_BankSize + (address & (m_BankSize - 1)));
    }
    std::optional<std::uint64_t> Position(std::uint64_t address) const override {
        const std::uint64_t low = address & 0xFFFF;
        const std::uint64_t bank = (address >> 16) % m_Banks;
        const std::uint64_t window = m_Window & 0xFFFF;
        if (!m_Shows(address >> 16, low) || low < window || bank * m_BankSize >= m_Size) {
            return std::nullopt;
        }
        // A window wider than a bank (an NES mapper's 8 KiB banks seen anywhere in $8000-$FFFF,
        // or its fixed last bank at $C000) shows the bank at any multiple of its size.
        return m_Start + bank * m_BankSize + (low - window) % m_BankSize;
    }

private:
    const char* m_Name;
    std::uint64_t m_Start, m_Size, m_BankSize, m_Window, m_Banks;
    Shows m_Shows;
};

// Bank 0 is always at $0000-$3FFF; the others take turns at $4000-$7FFF.
class GameBoyMap final : public AddressMap {
public:
    const char* Name() const override { return "Game Boy"; }
    std::optional<Place> Locate(std::uint64_t position) const override {
        const std::uint64_t bank = position / kBank;
        const std::uint64_t first = bank * kBank;
        const std::uint64_t window = bank == 0 ? 0 : kBank;
        return Place{(bank << 16) + window + (position - first), first, first + kBank - 1};
    }
    std::int64_t Linear(std::uint64_t address) const override {
        const std::uint64_t low = address & 0xFFFF;
        const std::uint64_t bank = address >> 16;
        if (bank == 0 && low < kBank) {
            return static_cast<std::int64_t>(low);
        }
        return static_cast<std::int64_t>(std::max<std::uint64_t>(bank, 1) * kBank +
                                         (low & (kBank - 1)));
    }
    std::optional<std::uint64_t> Position(std::uint64_t address) const override {
        const std::uint64_t low = address & 0xFFFF;
        const std::uint64_t bank = address >> 16;
        if (low >= 2 * kBank || (low < kBank && bank != 0)) {
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(Linear(address));
    }
    std::uint64_t InBankOf(std::uint64_t position, std::uint32_t value) const override {
        // Bank 0 is always there; the window above it shows the text's bank.
        return value < kBank ? value : ((position / kBank) << 16) | value;
    }

private:
    static constexpr std::uint64_t kBank = 0x4000;
};

// --map's names.
constexpr std::pair<std::string_view, MapKind> kNames[] = {
    {"linear", MapKind::Linear}, {"lorom", MapKind::LoRom}, {"hirom", MapKind::HiRom},
    {"gb", MapKind::GameBoy},    {"nes", MapKind::Nes},     {"md", MapKind::MegaDrive},
    {"gba", MapKind::Gba}};

} // namespace

std::optional<MapKind> MapFromName(std::string_view name) {
    const auto same = [&](std::string_view text) {
        return std::equal(name.begin(), name.end(), text.begin(), text.end(), [](char a, char b) {
            return std::tolower(static_cast<unsigned char>(a)) == b;
        });
    };
    for (const auto& [text, kind] : kNames) {
        if (same(text)) {
            return kind;
        }
    }
    return std::nullopt;
}

std::uint64_t AddressMap::InBankOf(std::uint64_t position, std::uint32_t value) const {
    const std::optional<Place> place = Locate(position);
    return place ? (place->address & ~std::uint64_t{0xFFFF}) | (value & 0xFFFF) : value;
}

std::string MapNames() {
    const std::size_t count = std::size(kNames);
    std::string names(kNames[0].first);
    for (std::size_t i = 1; i < count; ++i) {
        names += (i + 1 == count ? " o " : ", ") + std::string(kNames[i].first);
    }
    return names;
}

std::unique_ptr<AddressMap> MakeLinearMap() {
    return std::make_unique<LinearMap>("lineal");
}

std::unique_ptr<AddressMap> MakeMegaDriveMap() {
    return std::make_unique<LinearMap>("Mega Drive");
}

std::unique_ptr<AddressMap> MakeGbaMap() {
    return std::make_unique<GbaMap>();
}

// $00-$7D and their mirrors $80-$FF: 128 banks.
std::unique_ptr<AddressMap> MakeLoRomMap(std::uint64_t header) {
    // $7E-$7F and their mirrors are work RAM, not ROM.
    return std::make_unique<BankedMap>(
        "LoROM", header, kNoEnd - header, 0x8000, 0x8000, 0x80,
        [](std::uint64_t bank, std::uint64_t) { return (bank & 0x7F) < 0x7E; });
}

// $C0-$FF, mirrored at $40-$7F and, for their upper halves, at $00-$3F and $80-$BF: 64 banks.
std::unique_ptr<AddressMap> MakeHiRomMap(std::uint64_t header) {
    // $40-$7D and $C0-$FF show whole banks; $00-$3F and $80-$BF their upper halves only.
    return std::make_unique<BankedMap>("HiROM", header, kNoEnd - header, 0x10000, 0xC00000, 0x40,
                                       [](std::uint64_t bank, std::uint64_t low) {
                                           return (bank & 0x40) != 0 ? (bank & 0x7F) < 0x7E
                                                                     : low >= 0x8000;
                                       });
}

std::unique_ptr<AddressMap> MakeGameBoyMap() {
    return std::make_unique<GameBoyMap>();
}

std::unique_ptr<AddressMap> MakeNesMap(std::uint64_t prgStart, std::uint64_t prgSize,
                                       std::uint64_t bankSize) {
    return std::make_unique<BankedMap>("NES", prgStart, prgSize, bankSize, 0x8000, 0x100,
                                       [](std::uint64_t, std::uint64_t) { return true; });
}

} // namespace zeltor
