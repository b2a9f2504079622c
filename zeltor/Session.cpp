#include "zeltor/Session.h"

#include "portable/FieldNames.h"
#include "portable/Hex.h"
#include "zeltor/judge/Plan.h"
#include "zeltor/rom/Checksum.h"
#include "zeltor/words/Help.h"
#include "zeltor/words/Report.h"
#include "zeltor/words/TableFile.h"
#include "zeltor/words/Text.h"
#include "zeltor/write/Backup.h"
#include "zeltor/write/Safeguard.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace zeltor {

namespace {

using Body = std::function<void(Pieces&)>;

// Ranges that follow one another in the file become one: one write, one read back and one
// range in the note for the slices of a table or a checksum and its complement. `joined`
// keeps the bytes of the ranges made here.
std::vector<Range> Joined(const std::vector<Range>& ranges,
                          std::vector<std::vector<std::uint8_t>>& joined) {
    std::vector<Range> out;
    for (std::size_t i = 0; i < ranges.size();) {
        std::size_t j = i + 1;
        std::uint64_t end = ranges[i].offset + ranges[i].original.size();
        for (; j < ranges.size() && ranges[j].offset == end; ++j) {
            end += ranges[j].original.size();
        }
        if (j == i + 1) {
            out.push_back(ranges[i]);
        } else {
            std::vector<std::uint8_t> original, replacement;
            for (std::size_t k = i; k < j; ++k) {
                original.insert(original.end(), ranges[k].original.begin(),
                                ranges[k].original.end());
                replacement.insert(replacement.end(), ranges[k].replacement.begin(),
                                   ranges[k].replacement.end());
            }
            joined.push_back(std::move(original));
            joined.push_back(std::move(replacement));
            // Moving a vector keeps its bytes where they are: the spans stay good.
            out.push_back(Range{ranges[i].offset, joined[joined.size() - 2], joined.back()});
        }
        i = j;
    }
    return out;
}

// A table file is text of a few lines per table: anything larger is no table file.
constexpr std::uint64_t kTableFileMost = std::uint64_t{16} << 20;

// A report up to this size is made once for the log and stdout; a larger one, for each.
constexpr std::size_t kReportKeptMost = std::size_t{16} << 20;

// One run, from its arguments to its exit code. What goes to stderr is kept until the end, so
// that the ROM is put right and the log written before anything is printed, and so that an
// error line is always the last. Every way a run ends goes through End, but for a run that has
// no memory left, which ends with EndWithoutMemory.
class Session {
public:
    Session(FileSystem& files, std::ostream& out, std::ostream& err)
        : m_Files(files), m_Out(out), m_Err(err) {}

    int Run(const std::vector<std::string>& args);
    // Says what became of the ROM when the run was cut short by an exception.
    int EndWithoutMemory();

private:
    int Recalculate(const std::vector<std::string>& args, const RecalcArguments& arguments);
    // The run's tables: the command line's one, or every line of the table file.
    std::variant<std::vector<TableJob>, Refusal> Jobs(const RecalcArguments& arguments);
    std::variant<std::string, Refusal> ReadTableFile(const std::string& path);
    // The console's checksum as the tables will leave it, worked out before anything is
    // written, over the ROM as the run will find it (a torn table mended).
    std::optional<Refusal> PlanChecksums(File& rom);
    int Carry(File& rom);
    std::string WhatFailed(const Settled& settled, const std::string& system) const;
    Refusal WriteFailure(const Settled& settled, const std::string& system) const;

    // The ending of every run: with a plan, the report and `after` go to the log and to
    // stdout; without one, the error line alone goes to the log when `logged` is set. Then
    // stderr: the notice of an interrupted run, warnings (on success), the summary or the
    // error line, last.
    int End(Exit code, const std::string& after = "", const std::string& errorLine = "",
            const char* logged = nullptr);
    int End(const Refusal& refusal, const char* logged = nullptr);
    // The last line of a run that went through: what it did, and where to look.
    std::string Summary() const;
    // "; suma de comprobación: 47AD → 096C" for each checksum the run changes; else empty.
    std::string ChecksumsSaid() const;
    bool ChecksumStale() const;
    // The backup that a message points at, quoted.
    std::string BackupNamed() const;
    // How a failed run leaves the ROM, when it mended a torn table before it failed.
    std::string NothingWritten() const;
    std::string AsItWas() const;
    // Appends one entry to the log: the header, then whatever `body` writes.
    void Log(const Body& body);
    void Print(const Body& body);

    FileSystem& m_Files;
    std::ostream& m_Out;
    std::ostream& m_Err;
    bool m_Logging = false;
    bool m_DryRun = false;
    std::string m_RomName, m_LogPath, m_Header;
    std::string m_Recovered; // what was found of an interrupted run: printed whatever the end
    std::optional<std::string> m_LogFailure; // why the log could not be written
    std::vector<TableJob> m_Jobs;
    std::optional<RunPlan> m_Plan;
    std::vector<ChecksumField> m_Checksums;          // the header's, in file order; stale or not
    std::vector<std::vector<std::uint8_t>> m_Joined; // bytes of the ranges joined for the write
    // What the run does to the ROM, and what it holds, for a run cut short by an exception.
    std::optional<Safeguard> m_Guard;
};

// The line that says no more memory was to be had. Plain literals and no string of its own:
// the memory has run out.
constexpr char kNoMemoryEnd[] = "no hay memoria suficiente para terminar; ";

int Session::EndWithoutMemory() {
    // Memory ran out, or something else threw, after the ROM was settled: the write lets
    // nothing escape.
    const RomState state = m_Guard ? m_Guard->State() : RomState::Untouched;
    if (m_Guard) {
        m_Guard->Abandon();
    }
    const bool mended = m_Guard && m_Guard->Mended();
    switch (state) {
    case RomState::Written:
        m_Err << "Hecho: la tabla se ha escrito y comprobado, pero no quedó memoria para el "
                 "informe ni el registro.\n";
        return static_cast<int>(Exit::Ok);
    case RomState::Restored:
        PutErrorLine(m_Err, Exit::WriteFailed,
                     mended ? "no se pudo escribir la tabla y no quedó memoria para decir por "
                              "qué; la ROM está byte a byte como estaba tras reponer la tabla "
                              "que un recálculo anterior dejó a medias"
                            : "no se pudo escribir la tabla y no quedó memoria para decir por "
                              "qué; la ROM está byte a byte como estaba")
            << '\n';
        return static_cast<int>(Exit::WriteFailed);
    case RomState::Mending:
    case RomState::Writing:
    case RomState::Damaged: {
        const std::string* whole = m_Guard->WholeBackup();
        PutErrorStart(m_Err, Exit::RestoreFailed)
            << (state == RomState::Mending
                    ? "no se pudo reponer la tabla que un recálculo anterior dejó a medias; "
                    : "no se pudo escribir la tabla ni reponer los bytes originales; ")
            << "la ROM puede estar dañada: recupérela de "
            << (whole != nullptr ? "la copia de seguridad «"
                                 : "una copia de antes de la "
                                   "interrupción");
        if (whole != nullptr) {
            m_Err << *whole << "»";
        }
        m_Err << ".\n";
        return static_cast<int>(Exit::RestoreFailed);
    }
    case RomState::Mended:
    case RomState::Untouched:
        break;
    }
    PutErrorStart(m_Err, Exit::WriteFailed)
        << kNoMemoryEnd
        << (mended ? "en la ROM solo se ha repuesto la tabla que un recálculo anterior dejó a "
                     "medias.\n"
                   : "no se ha escrito nada en la ROM.\n");
    return static_cast<int>(Exit::WriteFailed);
}

int Session::End(Exit code, const std::string& after, const std::string& errorLine,
                 const char* logged) {
    if (m_Plan) {
        const Body report = [&](Pieces& to) {
            WriteReport(*m_Plan, m_Jobs, to);
            to << after;
        };
        // Made once and kept for both the log and stdout; made again for each when it is too
        // large to keep.
        std::vector<std::string> made;
        std::size_t size = 0;
        Pieces keep([&](const std::string& piece) {
            size += piece.size();
            made.push_back(piece);
            return size <= kReportKeptMost;
        });
        report(keep);
        const bool kept = keep.Flush();
        if (!kept) {
            made = {};
        }
        const Body replay = [&](Pieces& to) {
            for (const std::string& piece : made) {
                to << piece;
            }
        };
        const Body& body = kept ? replay : report;
        Log(body);
        Print(body);
        m_Out.flush(); // the report before stderr's lines, where both go to one console
    } else if (logged != nullptr) {
        Log([&](Pieces& to) { to << errorLine + logged + "\n"; });
    }
    // Nothing written here is checked: a closed stdout or stderr must not change the outcome.
    // What was done to mend an interrupted run comes first, whatever the end. Warnings only
    // with a run that went through; on failure the error line says what matters, and it is
    // the last line.
    if (!m_Recovered.empty()) {
        m_Err << m_Recovered << '\n';
    }
    if (errorLine.empty() && m_Plan) {
        for (const Plan* plan : m_Plan->Plans()) {
            for (const std::string& warning : plan->warnings) {
                m_Err << warning << '\n';
            }
        }
    }
    if (m_LogFailure) {
        // Before an error line, it must not read as that error's cause.
        m_Err << (errorLine.empty() ? "Aviso: no se pudo"
                                    : "Aviso: aparte del error que sigue, no se pudo")
              << " escribir el registro " << Quote(m_LogPath) << ": " << *m_LogFailure << ".\n";
    }
    const std::string last = errorLine.empty() && m_Plan ? Summary() : errorLine;
    if (!last.empty()) {
        m_Err << last << '\n';
    }
    m_Err.flush();
    m_Out.flush();
    return static_cast<int>(code);
}

int Session::End(const Refusal& refusal, const char* logged) {
    return End(refusal.code, "", ErrorLine(refusal), logged);
}

std::string Session::Summary() const {
    std::size_t changed = 0;
    std::size_t entries = 0;
    const std::vector<const Plan*> plans = m_Plan->Plans();
    for (const Plan* plan : plans) {
        changed += ChangedEntries(*plan);
        entries += plan->entries;
    }
    const std::string tables =
        plans.size() > 1 ? " en " + Count(plans.size(), "tabla", "tablas") : "";
    const std::string of = " de " + Count(entries, "entrada", "entradas") + tables + "; mapa " +
                           plans.front()->mapName;
    const std::string log =
        m_LogFailure ? "sin registro" : "registro " + Quote(RomBaseName(m_LogPath));
    if (m_DryRun) {
        return "Simulación: " + std::string(changed == 1 ? "cambiaría " : "cambiarían ") +
               std::to_string(changed) + of + ChecksumsSaid() + "; no se ha escrito nada.";
    }
    if (changed == 0 && !m_Guard->Mended() && !ChecksumStale()) {
        return "Hecho: la tabla ya estaba al día (no cambia ninguna" + of +
               "); no se ha escrito nada; " + log + ".";
    }
    return "Hecho: " + std::string(changed == 1 ? "cambia " : "cambian ") +
           std::to_string(changed) + of + ChecksumsSaid() + "; copia de seguridad " +
           BackupNamed() + "; " + log + ".";
}

bool Session::ChecksumStale() const {
    return std::any_of(m_Checksums.begin(), m_Checksums.end(),
                       [](const ChecksumField& field) { return field.Stale(); });
}

std::string Session::ChecksumsSaid() const {
    std::string said;
    for (const ChecksumField& field : m_Checksums) {
        // A complement follows its checksum: saying it would say the same twice.
        if (!field.Stale() || field.role == ChecksumRole::Complement) {
            continue;
        }
        const int digits = static_cast<int>(field.newBytes.size()) * 2;
        said += std::string(field.role == ChecksumRole::Checksum
                                ? "; suma de comprobación: "
                                : "; suma de comprobación de la cabecera: ") +
                HexDigits(field.oldValue, digits) + " → " + HexDigits(field.newValue, digits);
    }
    return said;
}

std::optional<Refusal> Session::PlanChecksums(File& rom) {
    const std::vector<const Plan*> plans = m_Plan->Plans();
    const std::optional<RecognisedHeader>& header = plans.front()->header;
    std::uint64_t size = 0;
    if (!header || !rom.Size(size)) {
        return std::nullopt;
    }
    std::vector<Overlay> changes;
    for (const Plan* plan : plans) {
        for (const Range& range : plan->Ranges()) {
            changes.push_back(
                Overlay{range.offset, {range.replacement.begin(), range.replacement.end()}});
        }
    }
    auto fields = ChecksumsAfter(header, rom, size, changes);
    if (auto* refusal = std::get_if<Refusal>(&fields)) {
        return std::move(*refusal);
    }
    m_Checksums = std::move(std::get<std::vector<ChecksumField>>(fields));
    // A table over the checksum's own bytes would be written and then overwritten, or the
    // reverse: neither is what was asked.
    for (const ChecksumField& field : m_Checksums) {
        const std::uint64_t end = field.offset + field.newBytes.size();
        for (const Overlay& change : changes) {
            if (change.offset < end && field.offset < change.offset + change.bytes.size()) {
                return Refusal{Exit::BadTable,
                               "la tabla ocupa la suma de comprobación de la cabecera, en " +
                                   Hex(field.offset) + "-" + Hex(end - 1) + ": revise " +
                                   FieldName(Field::TableStart) + " y " +
                                   FieldName(Field::TableEnd) +
                                   ", o use --keep-checksum para dejarla como está"};
            }
        }
    }
    return std::nullopt;
}

std::string Session::BackupNamed() const {
    if (const std::string* whole = m_Guard->WholeBackup()) {
        return Quote(RomBaseName(*whole));
    }
    return Quote(RomBaseName(m_Guard->BackupPath())) + ", con la tabla a medias";
}

std::string Session::NothingWritten() const {
    return m_Guard->Mended()
               ? "; en la ROM solo se ha repuesto la tabla que un recálculo anterior dejó a medias"
               : "; no se ha escrito nada en la ROM";
}

std::string Session::AsItWas() const {
    return m_Guard->Mended() ? " tras reponer la tabla que un recálculo anterior dejó a medias"
                             : "";
}

void Session::Log(const Body& body) {
    if (!m_Logging) {
        return;
    }
    FileError error;
    Pieces to(
        [&](const std::string& piece) { return m_Files.AppendText(m_LogPath, piece, error); });
    to << m_Header;
    if (!m_Recovered.empty()) {
        to << m_Recovered + "\n";
    }
    body(to);
    to << "\n";
    if (!to.Flush()) {
        m_LogFailure = Describe(error);
    }
}

void Session::Print(const Body& body) {
    Pieces to([&](const std::string& piece) {
        m_Out << piece;
        return true;
    });
    body(to);
    to.Flush();
}

int Session::Run(const std::vector<std::string>& args) {
    const auto parsed = ParseRecalcArguments(args);
    if (args.empty()) {
        // Nothing asked: how to ask, short, where a console shows it and a pipe keeps it.
        m_Err << UsageText();
        return End(Exit::Usage);
    }
    if (const auto* error = std::get_if<ArgumentsError>(&parsed)) {
        const auto option = OptionAmongFields(args);
        return End(option ? OptionAfterRom(*option) : UsageRefusal(*error));
    }
    const ParsedArguments& command = std::get<ParsedArguments>(parsed);
    switch (command.command) {
    case RecalcCommand::Help:
        m_Out << HelpText();
        return End(Exit::Ok);
    case RecalcCommand::Version:
        m_Out << "Zeltor " << ZELTOR_VERSION << "\n";
        return End(Exit::Ok);
    case RecalcCommand::Recalculate:
        break;
    }
    return Recalculate(args, command.arguments);
}

std::variant<std::string, Refusal> Session::ReadTableFile(const std::string& path) {
    FileError error;
    const std::unique_ptr<File> file = m_Files.Open(path, false, error);
    std::uint64_t size = 0;
    std::string text;
    if (file && file->Size(size) && size <= kTableFileMost) {
        text.resize(static_cast<std::size_t>(size));
        if (file->Read(0, text.data(), text.size())) {
            return text;
        }
    }
    if (file) {
        error = size > kTableFileMost ? FileError{Cause::Other, "demasiado grande"} : file->Error();
    }
    return Bad(Exit::Usage, "no se puede leer el archivo de tablas " + Quote(path) + ": " +
                                Describe(error) + "; no se ha escrito nada");
}

std::variant<std::vector<TableJob>, Refusal> Session::Jobs(const RecalcArguments& arguments) {
    if (!arguments.options.tables) {
        auto request = ParseRequest(arguments);
        if (auto* refusal = std::get_if<Refusal>(&request)) {
            return std::move(*refusal);
        }
        return std::vector<TableJob>{TableJob{std::get<Request>(request), 0}};
    }
    auto run = ReadRunOptions(arguments);
    if (auto* refusal = std::get_if<Refusal>(&run)) {
        return std::move(*refusal);
    }
    auto text = ReadTableFile(*arguments.options.tables);
    if (auto* refusal = std::get_if<Refusal>(&text)) {
        return std::move(*refusal);
    }
    auto parsed = ParseTableFile(std::get<std::string>(text), std::get<Request>(run));
    if (auto* refusal = std::get_if<Refusal>(&parsed)) {
        return std::move(*refusal);
    }
    TableFile& file = std::get<TableFile>(parsed);
    std::vector<TableJob> jobs;
    for (TableLine& table : file.tables) {
        jobs.push_back(TableJob{std::move(table.request), table.line});
    }
    // FIRST, given on one line of a block, is the block's.
    for (const TextBlock& block : file.blocks) {
        for (const std::size_t i : block.tables) {
            jobs[i].request.firstPointer = block.firstPointer;
            jobs[i].request.firstPointerText = block.firstPointerText;
        }
    }
    return jobs;
}

int Session::Recalculate(const std::vector<std::string>& args, const RecalcArguments& arguments) {
    // The front-end never shows the console, so a run leaves its story in the log: every run
    // but a dry run, which writes nothing at all, and one whose ROM is not a file it can read.
    m_DryRun = arguments.options.dryRun;
    m_RomName = arguments.fields.romName;
    m_Logging = !m_DryRun;
    m_LogPath = LogName(m_RomName);
    m_Header = LogHeader(args, m_RomName);
    // A table file's bad lines are refused before anything is read from the ROM.
    if (arguments.options.tables) {
        auto jobs = Jobs(arguments);
        if (auto* refusal = std::get_if<Refusal>(&jobs)) {
            return End(*refusal);
        }
        m_Jobs = std::move(std::get<std::vector<TableJob>>(jobs));
    }

    // The notes of interrupted runs are looked at first, whatever this one asks: the ROM must be
    // open, and for writing (so that no other run is writing it), to be looked at.
    FileError openError;
    const std::unique_ptr<File> rom = m_Files.Open(m_RomName, !m_DryRun, openError);
    m_Guard.emplace(m_Files, m_RomName);
    if (rom) {
        const std::optional<Refusal> stop = m_Guard->Recognize(*rom, m_DryRun);
        m_Recovered = m_Guard->Notice();
        if (stop) {
            return End(*stop, m_Logging ? " La ROM no se ha modificado." : nullptr);
        }
    }
    if (!arguments.options.tables) {
        auto jobs = Jobs(arguments);
        if (const auto* refusal = std::get_if<Refusal>(&jobs)) {
            FileError ignored;
            // A command line that is wrong as such says so where it is typed, not in the log.
            const bool log = m_Logging && refusal->code != Exit::Usage &&
                             (rom || m_Files.Open(m_RomName, false, ignored));
            return End(*refusal, log ? " La ROM no se ha modificado." : nullptr);
        }
        m_Jobs = std::move(std::get<std::vector<TableJob>>(jobs));
    }
    if (!rom) {
        const Cause cause = openError.cause;
        const bool forWriting = !m_DryRun && (cause == Cause::AccessDenied ||
                                              cause == Cause::ReadOnly || cause == Cause::InUse);
        return End(Refusal{Exit::CannotOpen, "no se puede abrir la ROM " + Quote(m_RomName) +
                                                 (forWriting ? " para escribir" : "") + ": " +
                                                 Describe(openError)});
    }
    // A torn table is mended only after a backup: until then a run plans as if it were.
    PatchedFile mended(*rom, m_Guard->Torn());
    m_Plan = MakeRunPlan(m_Jobs, m_Guard->Torn().empty() ? *rom : mended);
    if (const Refusal* first = m_Plan->FirstRefusal()) {
        // One table refused, nothing written: the report gives every table's verdict when there
        // are several.
        const Refusal refusal = *first;
        if (m_Jobs.size() == 1) {
            m_Plan.reset();
        }
        return End(refusal, m_Logging ? " La ROM no se ha modificado." : nullptr);
    }
    if (!arguments.options.keepChecksum) {
        if (auto refusal = PlanChecksums(m_Guard->Torn().empty() ? *rom : mended)) {
            return End(*refusal, m_Logging ? " La ROM no se ha modificado." : nullptr);
        }
    }
    if (m_DryRun) {
        return End(Exit::Ok,
                   "Simulación (--dry-run): no se ha escrito nada, tampoco el registro.\n");
    }
    const std::vector<const Plan*> plans = m_Plan->Plans();
    const bool current = std::all_of(plans.begin(), plans.end(), [](const Plan* plan) {
        return plan->newTable == plan->oldTable;
    });
    if (current && m_Guard->Torn().empty() && !ChecksumStale()) {
        return End(Exit::Ok, "La tabla ya estaba al día: no se ha escrito nada.\n");
    }
    return Carry(*rom);
}

// Backs the ROM up, mends a torn table, notes the write, then writes the new tables and checks
// them: the guard does it; this says how it went.
int Session::Carry(File& rom) {
    // Only what changes is written, though a torn table is still mended.
    std::vector<Range> ranges;
    std::uint64_t bytes = 0;
    for (const Plan* plan : m_Plan->Plans()) {
        for (const Range& range : plan->Ranges()) {
            if (!std::equal(range.original.begin(), range.original.end(), range.replacement.begin(),
                            range.replacement.end())) {
                ranges.push_back(range);
                bytes += range.replacement.size();
            }
        }
    }
    const std::size_t tableRanges = ranges.size();
    const bool tables = tableRanges > 0;
    // The fields written, named as spans: SNES's complement and checksum are one.
    std::vector<std::pair<std::uint64_t, std::uint64_t>> spans;
    for (const ChecksumField& field : m_Checksums) {
        if (field.Stale()) {
            ranges.push_back(Range{field.offset, field.oldBytes, field.newBytes});
            const std::uint64_t end = field.offset + field.newBytes.size();
            if (!spans.empty() && spans.back().second == field.offset) {
                spans.back().second = end;
            } else {
                spans.emplace_back(field.offset, end);
            }
        }
    }
    std::string checksums;
    for (const auto& [from, end] : spans) {
        checksums += (checksums.empty() ? "" : ", ") + Hex(from) + "-" + Hex(end - 1);
    }
    const Safeguard::Result result = m_Guard->Carry(rom, Joined(ranges, m_Joined));
    m_Recovered = m_Guard->Notice();
    const std::string& backupPath = m_Guard->BackupPath();
    const std::string backup = backupPath.empty() ? "" : "Copia de seguridad: " + backupPath + "\n";
    std::optional<Refusal> failure;
    switch (result.end) {
    case Safeguard::End::NotWritten:
        failure = Refusal{Exit::WriteFailed, result.error + NothingWritten()};
        break;
    case Safeguard::End::MendFailed:
        failure = result.refusal;
        break;
    case Safeguard::End::Failed:
        failure = WriteFailure(result.settled, result.system);
        break;
    case Safeguard::End::Replaced:
        failure = Refusal{Exit::Replaced,
                          "la tabla se escribió y comprobó, pero " + Quote(m_RomName) +
                              " ya no es el archivo que se abrió: otro programa lo sustituyó "
                              "mientras tanto, y el que lleva ahora ese nombre no se ha tocado; "
                              "vuelva a hacer el recálculo"};
        break;
    case Safeguard::End::Written:
        break;
    }
    if (failure) {
        const std::string line = ErrorLine(*failure);
        const bool damaged =
            result.end == Safeguard::End::Failed && result.settled.state == TableState::Damaged;
        return End(
            failure->code,
            (damaged ? "Causa: " + WhatFailed(result.settled, result.system) + ".\n" : backup) +
                line + "\n",
            line);
    }
    const Request& r = m_Jobs.front().request;
    std::string done = !tables ? (checksums.empty() ? "La tabla ya estaba al día: solo se ha "
                                                      "repuesto la que quedó a medias.\n"
                                                    : "")
                       : m_Jobs.size() == 1
                           ? "Tabla escrita y comprobada: " + Hex(bytes) + " bytes en " +
                                 Hex(r.tableStart) + "-" + Hex(r.tableEnd) + ".\n"
                           : "Tablas escritas y comprobadas: " + Hex(bytes) + " bytes en " +
                                 Count(tableRanges, "tramo", "tramos") + ".\n";
    if (!checksums.empty()) {
        done += "Suma de comprobación escrita y comprobada en " + checksums + ".\n";
    }
    return End(Exit::Ok, backup + done);
}

// The tables could not be written as planned, and the write has settled what the ROM holds:
// only now are the messages made, then the log written, then anything printed.
std::string Session::WhatFailed(const Settled& settled, const std::string& system) const {
    return settled.step == Step::Differs
               ? "la tabla escrita en " + Quote(m_RomName) + " no se leyó igual al comprobarla"
               : std::string(settled.step == Step::WriteFailed ? "no se pudo escribir la tabla en "
                                                               : "no se pudo releer la tabla en ") +
                     Quote(m_RomName) + ": " + Describe(FileError{settled.cause, system});
}

Refusal Session::WriteFailure(const Settled& settled, const std::string& system) const {
    const std::string what = WhatFailed(settled, system);
    if (settled.state != TableState::Damaged) {
        return Refusal{Exit::WriteFailed,
                       what + (settled.state == TableState::PutBack
                                   ? "; se han repuesto los bytes originales y la ROM está como "
                                     "estaba" +
                                         AsItWas()
                                   : "; tampoco se pudieron volver a escribir los bytes "
                                     "originales, pero la ROM sigue byte a byte como estaba" +
                                         AsItWas())};
    }
    // The backup's name is never shortened: the translator must be able to find it.
    const std::string* whole = m_Guard->WholeBackup();
    return Refusal{Exit::RestoreFailed,
                   "no se pudo escribir la tabla ni reponer los bytes originales; la ROM puede "
                   "estar dañada: recupérela de " +
                       (whole != nullptr ? "la copia de seguridad «" + *whole + "»"
                                         : std::string("una copia de antes de la interrupción"))};
}

} // namespace

int Run(const std::vector<std::string>& args, FileSystem& files, std::ostream& out,
        std::ostream& err) {
    Session session(files, out, err);
    try {
        return session.Run(args);
    } catch (const std::exception&) {
        return session.EndWithoutMemory();
    }
}

} // namespace zeltor
