#include "portable/Hex.h"
#include "zeltor/Plan.h"
#include "zeltor/Recalculator.h"
#include "zeltor/Report.h"
#include "zeltor/Text.h"
#include "zeltor/Write.h"

#include <algorithm>
#include <exception>
#include <functional>
#include <memory>

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
    int Failed(const Request& r, File& rom, const Plan& plan, Step written,
               std::vector<std::uint8_t>& readBack, std::string& cause);

    // Every ending of a run that got as far as a plan: the report and `after` to the log and
    // to stdout, then stderr.
    int End(Exit code, const Request& r, const Plan& plan, const std::string& after,
            const std::string& errorLine = "");
    int Finish(Exit code, const std::string& errorLine = "");
    int Refuse(const Refusal& refusal, bool log);
    // Appends one entry to the log: the header, then whatever `body` writes.
    void Log(const Body& body);
    void Print(const Body& body);

    FileSystem& m_Files;
    std::ostream& m_Out;
    std::ostream& m_Err;
    bool m_Logging = false;
    std::string m_LogPath, m_Header;
    std::vector<std::string> m_Warnings;
    std::vector<std::string> m_Notes; // about the log: printed after the warnings
    enum class Rom { Untouched, Written, Restored, Damaged } m_Rom = Rom::Untouched;
    std::string m_BackupPath;
};

int Session::Abandon() {
    // Only memory can run out, and never while the table is being written: the buffers for
    // that are taken beforehand. Plain literals, so that this needs no memory of its own.
    switch (m_Rom) {
    case Rom::Written:
        m_Err << "Aviso: la tabla se ha escrito y comprobado, pero no quedó memoria para el "
                 "informe ni el registro.\n";
        return static_cast<int>(Exit::Ok);
    case Rom::Restored:
        m_Err << "ERROR 7: no hay memoria suficiente para terminar; se han repuesto los bytes "
                 "originales y la ROM está como estaba.\n";
        return static_cast<int>(Exit::WriteFailed);
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
    // Warnings only with a run that went through; on failure the error line says what matters.
    if (errorLine.empty()) {
        for (const std::string& warning : m_Warnings) {
            m_Err << warning << '\n';
        }
    }
    for (const std::string& note : m_Notes) {
        m_Err << note << '\n';
    }
    if (!errorLine.empty()) {
        m_Err << errorLine << '\n';
    }
    m_Err.flush();
    m_Out.flush();
    return static_cast<int>(code);
}

int Session::End(Exit code, const Request& r, const Plan& plan, const std::string& after,
                 const std::string& errorLine) {
    const Body body = [&](Pieces& to) {
        WriteReport(r, plan, to);
        to << after;
    };
    Log(body);
    Print(body);
    return Finish(code, errorLine);
}

int Session::Refuse(const Refusal& refusal, bool log) {
    const std::string line = ErrorLine(refusal);
    if (log) {
        Log([&](Pieces& to) { to << line + " La ROM no se ha modificado.\n"; });
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
    body(to);
    to << "\n";
    if (!to.Flush()) {
        m_Notes.push_back("Aviso: no se pudo escribir el registro " + Quote(m_LogPath) + ": " +
                          Describe(error) + ".");
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
    if (const auto* error = std::get_if<ArgumentsError>(&parsed)) {
        if (args.empty()) {
            m_Out << HelpText();
        }
        return Refuse(UsageRefusal(*error), false);
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
    m_Logging = !arguments.options.dryRun;
    m_LogPath = LogName(arguments.fields.romName);
    m_Header = LogHeader(args, arguments.fields.romName);

    const auto request = ParseRequest(arguments);
    if (const auto* refusal = std::get_if<Refusal>(&request)) {
        FileError ignored;
        return Refuse(*refusal, m_Logging && m_Files.Open(arguments.fields.romName, false,
                                                          ignored) != nullptr);
    }
    const Request& r = std::get<Request>(request);
    const bool dryRun = r.options.dryRun;

    FileError openError;
    const std::unique_ptr<File> rom = m_Files.Open(r.romName, !dryRun, openError);
    if (!rom) {
        const Cause cause = openError.cause;
        const bool forWriting = !dryRun && (cause == Cause::AccessDenied ||
                                            cause == Cause::ReadOnly || cause == Cause::InUse);
        return Refuse(Refusal{Exit::CannotOpen, "no se puede abrir la ROM " + Quote(r.romName) +
                                                    (forWriting ? " para escribir" : "") + ": " +
                                                    Describe(openError)},
                      false);
    }
    auto planned = MakePlan(r, *rom);
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

// Backs the ROM up, then writes the new table and checks it.
int Session::Carry(const Request& r, File& rom, const Plan& plan) {
    std::vector<std::uint8_t> copyBuffer(kCopyChunk);
    std::vector<std::uint8_t> readBack(plan.newTable.size());
    std::string cause;
    cause.reserve(512); // filled while the table may be torn: it must not need memory then
    std::string backupError;
    if (!MakeBackup(r.romName, rom, m_Files, copyBuffer, m_BackupPath, backupError)) {
        const std::string line =
            ErrorLine({Exit::WriteFailed, backupError + "; no se ha escrito nada en la ROM"});
        return End(Exit::WriteFailed, r, plan, line + "\n", line);
    }
    const Step written = WriteAndCheck(rom, r.tableStart, plan.newTable, readBack);
    if (written != Step::Done) {
        return Failed(r, rom, plan, written, readBack, cause);
    }
    m_Rom = Rom::Written;
    return End(Exit::Ok, r, plan,
               "Copia de seguridad: " + m_BackupPath +
                   "\nTabla escrita y comprobada: " + Hex(plan.newTable.size()) + " bytes en " +
                   Hex(r.tableStart) + "-" + Hex(r.tableEnd) + ".\n");
}

// The table could not be written as planned: the original bytes go back first, before the
// log and before anything is printed. Only the table's bytes were touched, so that restores
// the ROM.
int Session::Failed(const Request& r, File& rom, const Plan& plan, Step written,
                    std::vector<std::uint8_t>& readBack, std::string& cause) {
    const Cause failure = rom.Error().cause;
    cause.assign(rom.Error().system, 0, std::min<std::size_t>(rom.Error().system.size(), 500));
    const bool restored = WriteAndCheck(rom, r.tableStart, plan.oldTable, readBack) == Step::Done;
    m_Rom = restored ? Rom::Restored : Rom::Damaged;

    const std::string what =
        written == Step::Differs
            ? "la tabla escrita en " + Quote(r.romName) + " no se leyó igual al comprobarla"
            : std::string(written == Step::WriteFailed ? "no se pudo escribir la tabla en "
                                                       : "no se pudo releer la tabla en ") +
                  Quote(r.romName) + ": " + Describe(FileError{failure, cause});
    if (restored) {
        const std::string line =
            ErrorLine({Exit::WriteFailed, what + "; se han repuesto los bytes originales y la ROM "
                                                 "está como estaba"});
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
