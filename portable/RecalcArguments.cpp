#include "portable/RecalcArguments.h"

namespace {

constexpr std::size_t kFields = 6; // ROM to separator; the first pointer is the seventh

bool IsHelp(const std::string& arg) {
    return arg == "--help" || arg == "-h" || arg == "/?";
}

} // namespace

std::optional<PointerSize> PointerSize::FromText(std::string_view text) {
    for (const PointerSize size : All()) {
        if (text == size.Text()) {
            return size;
        }
    }
    return std::nullopt;
}

std::vector<std::string> BuildRecalcArguments(const RecalcArguments& a) {
    std::vector<std::string> args;
    const RecalcOptions& o = a.options;
    for (const auto& [on, name] :
         {std::pair{o.dryRun, "--dry-run"}, std::pair{o.force, "--force"},
          std::pair{o.bigEndian, "--big-endian"}, std::pair{o.split, "--split"},
          std::pair{o.keepChecksum, "--keep-checksum"}}) {
        if (on) {
            args.emplace_back(name);
        }
    }
    for (const auto& [value, name] :
         {std::pair{&o.map, "--map"}, std::pair{&o.tables, "--tables"}}) {
        if (*value) {
            args.emplace_back(name);
            args.push_back(**value);
        }
    }
    const RecalcFields& f = a.fields;
    if (!f.romName.empty() && f.romName[0] == '-') {
        args.emplace_back("--");
    }
    args.push_back(f.romName);
    if (o.tables) {
        return args;
    }
    for (const std::string* field :
         {&f.textStart, &f.tableStart, &f.tableEnd, &f.pointerSize, &f.separator}) {
        args.push_back(*field);
    }
    if (f.firstPointer) {
        args.push_back(*f.firstPointer);
    }
    return args;
}

namespace {

// Reads the options from `at` on, up to the ROM, and leaves `at` on it.
std::optional<ArgumentsError> ParseOptions(const std::vector<std::string>& args, std::size_t& at,
                                           RecalcOptions& options) {
    for (; at < args.size() && args[at].size() > 1 && args[at][0] == '-'; ++at) {
        const std::string& option = args[at];
        if (option == "--") {
            ++at;
            break;
        }
        bool* flag = option == "--dry-run"         ? &options.dryRun
                     : option == "--force"         ? &options.force
                     : option == "--big-endian"    ? &options.bigEndian
                     : option == "--split"         ? &options.split
                     : option == "--keep-checksum" ? &options.keepChecksum
                                                   : nullptr;
        std::optional<std::string>* value = option == "--map"      ? &options.map
                                            : option == "--tables" ? &options.tables
                                                                   : nullptr;
        if (flag != nullptr) {
            *flag = true;
        } else if (value == nullptr) {
            return ArgumentsError{ArgumentsError::Kind::UnknownOption, option, 0};
        } else if (at + 1 == args.size()) {
            return ArgumentsError{ArgumentsError::Kind::MissingValue, option, 0};
        } else {
            *value = args[++at];
        }
    }
    return std::nullopt;
}

} // namespace

std::variant<ParsedArguments, ArgumentsError>
ParseRecalcArguments(const std::vector<std::string>& args) {
    ParsedArguments parsed;
    if (args.size() == 1 && (IsHelp(args[0]) || args[0] == "--version")) {
        parsed.command = IsHelp(args[0]) ? RecalcCommand::Help : RecalcCommand::Version;
        return parsed;
    }
    std::size_t at = 0;
    if (auto error = ParseOptions(args, at, parsed.arguments.options)) {
        return *error;
    }
    const std::size_t count = args.size() - at;
    RecalcFields& f = parsed.arguments.fields;
    if (parsed.arguments.options.tables) {
        if (count != 1) {
            return ArgumentsError{ArgumentsError::Kind::TablesFieldCount, {}, count};
        }
        f.romName = args[at];
        return parsed;
    }
    if (count != kFields && count != kFields + 1) {
        return ArgumentsError{ArgumentsError::Kind::FieldCount, {}, count};
    }
    for (std::string* field :
         {&f.romName, &f.textStart, &f.tableStart, &f.tableEnd, &f.pointerSize, &f.separator}) {
        *field = args[at++];
    }
    if (at < args.size()) {
        f.firstPointer = args[at];
    }
    return parsed;
}

std::string LogName(const std::string& rom) {
    return rom + ".zeltor.log";
}

std::string BackupName(const std::string& rom, unsigned attempt) {
    return rom + ".bak" + (attempt == 0 ? "" : std::to_string(attempt));
}
