#include "portable/Hex.h"
#include "zeltor/Journal.h"
#include "zeltor/Plan.h"
#include "zeltor/Recalculator.h"
#include "zeltor/Report.h"
#include "zeltor/Text.h"
#include "zeltor/Write.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace zeltor {

namespace {

// The backup's copy goes through a buffer that stays in the processor's cache: a 1 MiB one
// made the copy about twice as slow as `cp`.
constexpr std::size_t kCopyChunk = std::size_t{1} << 18;

using Body = std::function<void(Pieces&)>;

// One run, from its arguments to its exit code. What goes to stderr is kept until the end, so
// that the ROM is put right and the log written before anything is printed, and so that an
// error line is always the last.
class Session {
public:
    Session(FileSystem& files, std::ostream& out, std::ostream& err)
        : m_Files(files), m_Out(out), m_Err(err) {}

    int Run(const std::vector<std::string>& args);
    // Says what became of the ROM when the run was cut short by an exception.
    int Abandon();

private:
    int Recalculate(const std::vector<std::string>& args, const RecalcArguments& arguments);
    int Carry(const Request& r, File& rom, const Plan& plan);
    int Failed(const Request& r, const Plan& plan, const Settled& settled,
               const std::string& system);

    // Every ending of a run that got as far as a plan: the report and `after` to the log and
    // to stdout, then stderr.
    int End(Exit code, const Request& r, const Plan& plan, const std::string& after,
            const std::string& errorLine = "");
    int Finish(Exit code, const std::string& errorLine = "");
    // The last line of a run that went through: what it did, and where to look.
    std::string Summary(const Request& r, const Plan& plan) const;
    int Refuse(const Refusal& refusal, bool log,
               const char* logged = " La ROM no se ha modificado.");
    // Appends one entry to the log: the header, then whatever `body` writes.
    void Log(const Body& body);
    void Print(const Body& body);

    FileSystem& m_Files;
    std::ostream& m_Out;
    std::ostream& m_Err;
    bool m_Logging = false;
    std::string m_LogPath, m_Header;
    std::vector<std::string> m_Warnings;
    std::string m_Recovered; // what was found of an interrupted run: printed whatever the end
    std::string m_Summary;   // the last line on stderr of a run that went through
    std::optional<std::string> m_LogFailure; // why the log could not be written
    // What the ROM holds, for a run cut short by an exception; Writing until the table's write
    // is settled.
    enum class Rom { Untouched, Writing, Written, Restored, Damaged } m_Rom = Rom::Untouched;
    std::string m_BackupPath;
    std::string m_Scratch[2]; // files of this run's own that must not outlive it
    std::string m_Journal;    // the note of the table's write, once there is one
};

int Session::Abandon() {
    // Memory ran out, or something else threw, after the ROM was settled: the table's write
    // lets nothing escape. Plain literals, so that this needs no memory of its own.
    const bool settled = m_Rom == Rom::Written || m_Rom == Rom::Restored;
    for (const std::string* path : {&m_Scratch[0], &m_Scratch[1], settled ? &m_Journal : nullptr}) {
        if (path != nullptr && !path->empty()) {
            try {
                m_Files.Remove(*path);
            } catch (...) {
            }
        }
    }
    switch (m_Rom) {
    case Rom::Written:
        m_Err << "Hecho: la tabla se ha escrito y comprobado, pero no quedó memoria para el "
                 "informe ni el registro.\n";
        return static_cast<int>(Exit::Ok);
    case Rom::Restored:
        m_Err << "ERROR 7: no se pudo escribir la tabla y no quedó memoria para decir por qué; la "
                 "ROM está byte a byte como estaba.\n";
        return static_cast<int>(Exit::WriteFailed);
    case Rom::Writing:
    case Rom::Damaged:
        m_Err << "ERROR 8: no se pudo escribir la tabla ni reponer los bytes originales; la ROM "
                 "puede estar dañada: recupérela de la copia de seguridad «"
              << m_BackupPath << "».\n";
        return static_cast<int>(Exit::RestoreFailed);
    case Rom::Untouched:
        break;
    }
    m_Err << "ERROR 7: no hay memoria suficiente para terminar; no se ha escrito nada en la "
             "ROM.\n";
    return static_cast<int>(Exit::WriteFailed);
}

int Session::Finish(Exit code, const std::string& errorLine) {
    // Nothing written here is checked: a closed stdout or stderr must not change the outcome.
    // What was done to mend an interrupted run comes first, whatever the end. Warnings only
    // with a run that went through; on failure the error line says what matters, and it is
    // the last line.
    if (!m_Recovered.empty()) {
        m_Err << m_Recovered << '\n';
    }
    if (errorLine.empty()) {
        for (const std::string& warning : m_Warnings) {
            m_Err << warning << '\n';
        }
    }
    if (m_LogFailure) {
        // Before an error line, it must not read as that error's cause.
        m_Err << (errorLine.empty() ? "Aviso: no se pudo"
                                    : "Aviso: aparte del error que sigue, no se pudo")
              << " escribir el registro " << Quote(m_LogPath) << ": " << *m_LogFailure << ".\n";
    }
    const std::string& last = errorLine.empty() ? m_Summary : errorLine;
    if (!last.empty()) {
        m_Err << last << '\n';
    }
    m_Err.flush();
    m_Out.flush();
    return static_cast<int>(code);
}
std::string Session::Summary(const Request& r, const Plan& plan) const {
    const std::size_t changed = ChangedEntries(r, plan);
    const std::string of =
        " de " + Count(plan.entries, "entrada", "entradas") + "; mapa " + plan.map->Name();
    const std::string log =
        m_LogFailure ? "sin registro" : "registro " + Quote(RomBaseName(m_LogPath));
    if (r.options.dryRun) {
        return "Simulación: " + std::string(changed == 1 ? "cambiaría " : "cambiarían ") +
               std::to_string(changed) + of + "; no se ha escrito nada.";
    }
    if (changed == 0) {
        return "Hecho: la tabla ya estaba al día (no cambia ninguna" + of +
               "); no se ha escrito nada; " + log + ".";
    }
    return "Hecho: " + std::string(changed == 1 ? "cambia " : "cambian ") +
           std::to_string(changed) + of + "; copia de seguridad " +
           Quote(RomBaseName(m_BackupPath)) + "; " + log + ".";
}

int Session::End(Exit code, const Request& r, const Plan& plan, const std::string& after,
                 const std::string& errorLine) {
    const Body body = [&](Pieces& to) {
        WriteReport(r, plan, to);
        to << after;
    };
    Log(body);
    Print(body);
    if (errorLine.empty()) {
        m_Summary = Summary(r, plan);
    }
    return Finish(code, errorLine);
}

int Session::Refuse(const Refusal& refusal, bool log, const char* logged) {
    const std::string line = ErrorLine(refusal);
    if (log) {
        Log([&](Pieces& to) { to << line + logged + "\n"; });
    }
    return Finish(refusal.code, line);
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
        return Finish(Exit::Usage);
    }
    if (const auto* error = std::get_if<ArgumentsError>(&parsed)) {
        const auto option = OptionAmongFields(args);
        return Refuse(option ? OptionAfterRom(*option) : UsageRefusal(*error), false);
    }
    const ParsedArguments& command = std::get<ParsedArguments>(parsed);
    switch (command.command) {
    case RecalcCommand::Help:
        m_Out << HelpText();
        return Finish(Exit::Ok);
    case RecalcCommand::Version:
        m_Out << "Zeltor " << ZELTOR_VERSION << "\n";
        return Finish(Exit::Ok);
    case RecalcCommand::Recalculate:
        break;
    }
    return Recalculate(args, command.arguments);
}

int Session::Recalculate(const std::vector<std::string>& args, const RecalcArguments& arguments) {
    // The front-end never shows the console, so a run leaves its story in the log: every run
    // but a dry run, which writes nothing at all, and one whose ROM is not a file it can read.
    const bool dryRun = arguments.options.dryRun;
    const std::string& romName = arguments.fields.romName;
    m_Logging = !dryRun;
    m_LogPath = LogName(romName);
    m_Header = LogHeader(args, romName);

    // An interrupted run is mended first, whatever this one asks: the ROM must be open, and
    // for writing (so that no other run is writing it), to be looked at.
    FileError openError;
    const std::unique_ptr<File> rom = m_Files.Open(romName, !dryRun, openError);
    Recovery recovery;
    if (rom) {
        recovery = Recover(m_Files, romName, *rom, dryRun);
        m_Recovered = recovery.notice;
        if (recovery.failure) {
            return Refuse(*recovery.failure, m_Logging, "");
        }
    }
    const auto request = ParseRequest(arguments);
    if (const auto* refusal = std::get_if<Refusal>(&request)) {
        FileError ignored;
        // A command line that is wrong as such says so where it is typed, not in the log.
        return Refuse(*refusal, m_Logging && refusal->code != Exit::Usage &&
                                    (rom || m_Files.Open(romName, false, ignored)));
    }
    const Request& r = std::get<Request>(request);
    if (!rom) {
        const Cause cause = openError.cause;
        const bool forWriting = !dryRun && (cause == Cause::AccessDenied ||
                                            cause == Cause::ReadOnly || cause == Cause::InUse);
        return Refuse(Refusal{Exit::CannotOpen, "no se puede abrir la ROM " + Quote(r.romName) +
                                                    (forWriting ? " para escribir" : "") + ": " +
                                                    Describe(openError)},
                      false);
    }
    // A dry run leaves a torn table as it is, but plans as the next run will find it.
    PatchedFile mended(*rom, recovery.offset, recovery.original);
    auto planned = MakePlan(r, recovery.original.empty() ? *rom : mended);
    if (const auto* refusal = std::get_if<Refusal>(&planned)) {
        return Refuse(*refusal, m_Logging);
    }
    const Plan& plan = std::get<Plan>(planned);
    m_Warnings = plan.warnings;
    if (dryRun) {
        return End(Exit::Ok, r, plan,
                   "Simulación (--dry-run): no se ha escrito nada, tampoco el registro.\n");
    }
    if (plan.newTable == plan.oldTable) {
        return End(Exit::Ok, r, plan, "La tabla ya estaba al día: no se ha escrito nada.\n");
    }
    return Carry(r, *rom, plan);
}

// Backs the ROM up, notes the write beside it, then writes the new table and checks it.
int Session::Carry(const Request& r, File& rom, const Plan& plan) {
    // Everything the write and its undoing need is made now: once the table is being written,
    // nothing may fail for want of memory.
    std::vector<std::uint8_t> copyBuffer(kCopyChunk);
    std::vector<std::uint8_t> readBack(plan.newTable.size());
    std::string system;
    system.reserve(512);
    m_Journal = JournalPath(r.romName);
    m_Scratch[0] = TemporaryBackupPath(r.romName);
    m_Scratch[1] = TemporaryJournalPath(r.romName);
    std::uint64_t romSize = 0;
    std::string error;
    if (!MakeBackup(r.romName, rom, m_Files, copyBuffer, m_BackupPath, error) ||
        !rom.Size(romSize) ||
        !WriteJournal(m_Files, r.romName,
                      Intent{romSize, r.tableStart, plan.oldTable, plan.newTable, m_BackupPath},
                      error)) {
        if (error.empty()) {
            error = "no se pudo leer el tamaño de la ROM " + Quote(r.romName) + ": " +
                    Describe(rom.Error());
        }
        const std::string line =
            ErrorLine({Exit::WriteFailed, error + "; no se ha escrito nada en la ROM"});
        const std::string backup =
            m_BackupPath.empty() ? "" : "Copia de seguridad: " + m_BackupPath + "\n";
        return End(Exit::WriteFailed, r, plan, backup + line + "\n", line);
    }
    m_Rom = Rom::Writing;
    const Settled settled =
        WriteTable(rom, r.tableStart, plan.newTable, plan.oldTable, readBack, system);
    m_Rom = settled.state == TableState::Written   ? Rom::Written
            : settled.state == TableState::Damaged ? Rom::Damaged
                                                   : Rom::Restored;
    if (m_Rom != Rom::Damaged) {
        // Settled: the note has done its work. One left behind by a damaged ROM lets the next
        // run put the original table back.
        m_Files.Remove(m_Journal);
    }
    if (m_Rom != Rom::Written) {
        return Failed(r, plan, settled, system);
    }
    return End(Exit::Ok, r, plan,
               "Copia de seguridad: " + m_BackupPath +
                   "\nTabla escrita y comprobada: " + Hex(plan.newTable.size()) + " bytes en " +
                   Hex(r.tableStart) + "-" + Hex(r.tableEnd) + ".\n");
}

// The table could not be written as planned, and WriteTable has settled what the ROM holds:
// only now are the messages made, then the log written, then anything printed.
int Session::Failed(const Request& r, const Plan& plan, const Settled& settled,
                    const std::string& system) {
    const std::string what =
        settled.step == Step::Differs
            ? "la tabla escrita en " + Quote(r.romName) + " no se leyó igual al comprobarla"
            : std::string(settled.step == Step::WriteFailed ? "no se pudo escribir la tabla en "
                                                            : "no se pudo releer la tabla en ") +
                  Quote(r.romName) + ": " + Describe(FileError{settled.cause, system});
    if (settled.state != TableState::Damaged) {
        const std::string line = ErrorLine(
            {Exit::WriteFailed,
             what + (settled.state == TableState::PutBack
                         ? "; se han repuesto los bytes originales y la ROM está como estaba"
                         : "; tampoco se pudieron volver a escribir los bytes originales, pero la "
                           "ROM sigue byte a byte como estaba")});
        return End(Exit::WriteFailed, r, plan,
                   "Copia de seguridad: " + m_BackupPath + "\n" + line + "\n", line);
    }
    // The backup's name is never shortened: the translator must be able to find it.
    const std::string line =
        "ERROR 8: no se pudo escribir la tabla ni reponer los bytes originales; la ROM puede "
        "estar dañada: recupérela de la copia de seguridad «" +
        m_BackupPath + "».";
    return End(Exit::RestoreFailed, r, plan, "Causa: " + what + ".\n" + line + "\n", line);
}

} // namespace

int Run(const std::vector<std::string>& args, FileSystem& files, std::ostream& out,
        std::ostream& err) {
    Session session(files, out, err);
    try {
        return session.Run(args);
    } catch (const std::exception&) {
        return session.Abandon();
    }
}

} // namespace zeltor
