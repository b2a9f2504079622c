#include "portable/Hex.h"
#include "zeltor/Plan.h"
#include "zeltor/Recalculator.h"
#include "zeltor/Report.h"
#include "zeltor/Safeguard.h"
#include "zeltor/Text.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace zeltor {

namespace {

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
    // The backup that a message points at, quoted.
    std::string BackupNamed() const;
    // How a failed run leaves the ROM, when it mended a torn table before it failed.
    std::string NothingWritten() const;
    std::string AsItWas() const;
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
    // What the run does to the ROM, and what it holds, for a run cut short by an exception.
    std::optional<Safeguard> m_Guard;
};

int Session::Abandon() {
    // Memory ran out, or something else threw, after the ROM was settled: the write lets
    // nothing escape. Plain literals, so that this needs no memory of its own.
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
        m_Err << "ERROR 7: no se pudo escribir la tabla y no quedó memoria para decir por qué; la "
                 "ROM está byte a byte como estaba"
              << (mended ? " tras reponer la tabla que un recálculo anterior dejó a medias.\n"
                         : ".\n");
        return static_cast<int>(Exit::WriteFailed);
    case RomState::Mending:
    case RomState::Writing:
    case RomState::Damaged:
        m_Err << (state == RomState::Mending
                      ? "ERROR 8: no se pudo reponer la tabla que un recálculo anterior dejó a "
                        "medias; "
                      : "ERROR 8: no se pudo escribir la tabla ni reponer los bytes originales; ")
              << "la ROM puede estar dañada: recupérela de ";
        if (const std::string* whole = m_Guard->WholeBackup()) {
            m_Err << "la copia de seguridad «" << *whole << "».\n";
        } else {
            m_Err << "una copia de antes de la interrupción.\n";
        }
        return static_cast<int>(Exit::RestoreFailed);
    case RomState::Mended:
    case RomState::Untouched:
        break;
    }
    m_Err << "ERROR 7: no hay memoria suficiente para terminar; "
          << (mended ? "en la ROM solo se ha repuesto la tabla que un recálculo anterior dejó a "
                       "medias.\n"
                     : "no se ha escrito nada en la ROM.\n");
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
    if (changed == 0 && !m_Guard->Mended()) {
        return "Hecho: la tabla ya estaba al día (no cambia ninguna" + of +
               "); no se ha escrito nada; " + log + ".";
    }
    return "Hecho: " + std::string(changed == 1 ? "cambia " : "cambian ") +
           std::to_string(changed) + of + "; copia de seguridad " + BackupNamed() + "; " + log +
           ".";
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

    // The notes of interrupted runs are looked at first, whatever this one asks: the ROM must be
    // open, and for writing (so that no other run is writing it), to be looked at.
    FileError openError;
    const std::unique_ptr<File> rom = m_Files.Open(romName, !dryRun, openError);
    m_Guard.emplace(m_Files, romName);
    if (rom) {
        const std::optional<Refusal> stop = m_Guard->Recognize(*rom, dryRun);
        m_Recovered = m_Guard->Notice();
        if (stop) {
            return Refuse(*stop, m_Logging);
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
    // A torn table is mended only after a backup: until then a run plans as if it were.
    PatchedFile mended(*rom, m_Guard->Torn());
    auto planned = MakePlan(r, m_Guard->Torn().empty() ? *rom : mended);
    if (const auto* refusal = std::get_if<Refusal>(&planned)) {
        return Refuse(*refusal, m_Logging);
    }
    const Plan& plan = std::get<Plan>(planned);
    m_Warnings = plan.warnings;
    if (dryRun) {
        return End(Exit::Ok, r, plan,
                   "Simulación (--dry-run): no se ha escrito nada, tampoco el registro.\n");
    }
    if (plan.newTable == plan.oldTable && m_Guard->Torn().empty()) {
        return End(Exit::Ok, r, plan, "La tabla ya estaba al día: no se ha escrito nada.\n");
    }
    return Carry(r, *rom, plan);
}

// Backs the ROM up, mends a torn table, notes the write, then writes the new table and checks
// it: the guard does it; this says how it went.
int Session::Carry(const Request& r, File& rom, const Plan& plan) {
    const Range table{r.tableStart, plan.oldTable, plan.newTable};
    // A table already up to date is not written, though a torn one is still mended.
    const auto ranges = plan.newTable == plan.oldTable ? std::span<const Range>()
                                                       : std::span<const Range>(&table, 1);
    const Safeguard::Result result = m_Guard->Carry(rom, ranges);
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
        return Failed(r, plan, result.settled, result.system);
    case Safeguard::End::Replaced:
        failure = Refusal{Exit::Replaced,
                          "la tabla se escribió y comprobó, pero " + Quote(r.romName) +
                              " ya no es el archivo que se abrió: otro programa lo sustituyó "
                              "mientras tanto, y el que lleva ahora ese nombre no se ha tocado; "
                              "vuelva a hacer el recálculo"};
        break;
    case Safeguard::End::Written:
        break;
    }
    if (failure) {
        const std::string line = ErrorLine(*failure);
        return End(failure->code, r, plan, backup + line + "\n", line);
    }
    return End(Exit::Ok, r, plan,
               backup +
                   (ranges.empty()
                        ? "La tabla ya estaba al día: solo se ha repuesto la que quedó a "
                          "medias.\n"
                        : "Tabla escrita y comprobada: " + Hex(plan.newTable.size()) +
                              " bytes en " + Hex(r.tableStart) + "-" + Hex(r.tableEnd) + ".\n"));
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
                         ? "; se han repuesto los bytes originales y la ROM está como estaba" +
                               AsItWas()
                         : "; tampoco se pudieron volver a escribir los bytes originales, pero la "
                           "ROM sigue byte a byte como estaba" +
                               AsItWas())});
        return End(Exit::WriteFailed, r, plan,
                   "Copia de seguridad: " + m_Guard->BackupPath() + "\n" + line + "\n", line);
    }
    // The backup's name is never shortened: the translator must be able to find it.
    const std::string* whole = m_Guard->WholeBackup();
    const std::string line =
        "ERROR 8: no se pudo escribir la tabla ni reponer los bytes originales; la ROM puede "
        "estar dañada: recupérela de " +
        (whole ? "la copia de seguridad «" + *whole + "»"
               : std::string("una copia de antes de la interrupción")) +
        ".";
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
