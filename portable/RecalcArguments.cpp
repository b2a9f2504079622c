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
    if (a.options.dryRun) {
        args.emplace_back("--dry-run");
    }
    if (a.options.force) {
        args.emplace_back("--force");
    }
    if (a.options.map) {
        args.emplace_back("--map");
        args.push_back(*a.options.map);
    }
    const RecalcFields& f = a.fields;
    if (!f.romName.empty() && f.romName[0] == '-') {
        args.emplace_back("--");
    }
    for (const std::string* field :
         {&f.romName, &f.textStart, &f.tableStart, &f.tableEnd, &f.pointerSize, &f.separator}) {
        args.push_back(*field);
    }
    if (f.firstPointer) {
        args.push_back(*f.firstPointer);
    }
    return args;
}

std::variant<ParsedArguments, ArgumentsError>
ParseRecalcArguments(const std::vector<std::string>& args) {
    ParsedArguments parsed;
    if (args.size() == 1 && (IsHelp(args[0]) || args[0] == "--version")) {
        parsed.command = IsHelp(args[0]) ? RecalcCommand::Help : RecalcCommand::Version;
        return parsed;
    }
    RecalcOptions& options = parsed.arguments.options;
    std::size_t at = 0;
    for (; at < args.size() && args[at].size() > 1 && args[at][0] == '-'; ++at) {
        const std::string& option = args[at];
        if (option == "--") {
            ++at;
            break;
        }
        if (option == "--dry-run") {
            options.dryRun = true;
        } else if (option == "--force") {
            options.force = true;
        } else if (option == "--map") {
            if (at + 1 == args.size()) {
                return ArgumentsError{ArgumentsError::Kind::MissingValue, option, 0};
            }
            options.map = args[++at];
        } else {
            return ArgumentsError{ArgumentsError::Kind::UnknownOption, option, 0};
        }
    }
    const std::size_t count = args.size() - at;
    if (count != kFields && count != kFields + 1) {
        return ArgumentsError{ArgumentsError::Kind::FieldCount, {}, count};
    }
    RecalcFields& f = parsed.arguments.fields;
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
