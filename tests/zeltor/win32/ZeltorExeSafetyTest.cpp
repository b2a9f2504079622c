// The real Zeltor.exe where the world is unkind: started without standard handles, with names
// as long as the system allows, beside another program that holds the ROM, and after a run
// that was stopped halfway through the table, reached by any spelling of the ROM's name.
#include "portable/RecalcArguments.h"
#include "request/ExitMessage.h"
#include "tests/zeltor/win32/ZeltorExeSupport.h"
#include "zeltor/write/Backup.h"
#include "zeltor/write/Journal.h"

namespace {

// The sample's table once recalculated.
const std::string kNewTable("\x00\x81\x04\x81\x08\x81", 6);

std::string Recalculated() {
    std::string rom = SampleRom();
    rom.replace(0x20, 6, kNewTable);
    return rom;
}

// Starts Zeltor.exe in `folder` with the standard handles named in `closed` (0, 1, 2) left
// out, the others on NUL; gives its exit code.
DWORD RunWithoutHandles(const std::string& folder, const std::string& args,
                        const std::vector<int>& closed) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    const UniqueHandle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING,
                                       0, nullptr));
    HANDLE handles[3] = {nul.Get(), nul.Get(), nul.Get()};
    for (const int n : closed) {
        handles[n] = nullptr;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = handles[0];
    startup.hStdOutput = handles[1];
    startup.hStdError = handles[2];
    const std::wstring program = Widen(RecalculatorPath(folder));
    std::wstring line = L"\"" + program + L"\" " + Widen(args);
    PROCESS_INFORMATION started{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                        nullptr, Widen(folder).c_str(), &startup, &started)) {
        ADD_FAILURE() << "CreateProcessW: " << GetLastError();
        return 0xFFFFFFFF;
    }
    const UniqueHandle process(started.hProcess);
    const UniqueHandle thread(started.hThread);
    EXPECT_EQ(WaitForSingleObject(process.Get(), 30000), WAIT_OBJECT_0);
    DWORD code = 0xFFFFFFFF;
    GetExitCodeProcess(process.Get(), &code);
    return code;
}

// What makes the native build print into the ROM leaves it alone here too: each standard
// handle missing alone and all three together, on a run that writes and on one that refuses.
TEST(ZeltorExeSafety, MissingStandardHandlesLeaveTheRomAsItShouldBe) {
    const std::vector<std::vector<int>> closings = {{0}, {1}, {2}, {0, 1, 2}};
    for (const auto& closed : closings) {
        for (const bool refused : {false, true}) {
            SCOPED_TRACE(std::to_string(closed.front()) + (closed.size() > 1 ? "-2" : "") +
                         (refused ? " refused" : " written"));
            TempFolder temp;
            const std::string folder = FolderWithZeltor(temp, "handles");
            temp.Write("handles\\rom.smc", SampleRom());
            const DWORD code = RunWithoutHandles(
                folder, refused ? "rom.smc 100 20 24 2 00" : "rom.smc 100 20 25 2 00", closed);
            EXPECT_EQ(code, refused ? 3u : 0u);
            EXPECT_EQ(ReadWholeFile(folder + "\\rom.smc"), refused ? SampleRom() : Recalculated());
        }
    }
}

// A ROM name of 251 bytes still gets its table and its backup (the program's own files have
// short names); the log's name, 11 bytes longer, cannot exist, and the warning says why.
TEST(ZeltorExeSafety, LongNamesWorkAndSayWhatDoesNotFit) {
    TempFolder temp;
    const std::string folder = FolderWithZeltor(temp, "largo");
    const std::string rom = std::string(247, 'n') + ".smc";
    temp.Write("largo\\" + rom, SampleRom());
    const Outcome run = RunAndWait(RecalculatorPath(folder), "\"" + RecalculatorPath(folder) +
                                                                 "\" " + rom + " 100 20 25 2 00");
    EXPECT_EQ(run.code, 0u) << run.err;
    EXPECT_EQ(ReadWholeFile(folder + "\\" + rom), Recalculated());
    EXPECT_EQ(ReadWholeFile(folder + "\\" + rom + ".bak"), SampleRom());
    EXPECT_EQ(run.err.rfind("Aviso: no se pudo escribir el registro «", 0), 0u) << run.err;
    EXPECT_NE(run.err.find("»: el nombre es demasiado largo."), std::string::npos) << run.err;
    EXPECT_EQ(Names(folder),
              (std::vector<std::string>{".", "..", "Zeltor.exe", rom, rom + ".bak"}));
}

// A dry run only reads: it works while an emulator or an editor holds the ROM open for writing
// (and shares it), and on a read-only ROM. A run that writes waits its turn.
TEST(ZeltorExeSafety, ADryRunReadsBesideAnotherProgram) {
    TempFolder temp;
    const std::string folder = FolderWithZeltor(temp, "compartida");
    const std::string rom = temp.Write("compartida\\rom.smc", SampleRom());
    const std::string program = "\"" + RecalculatorPath(folder) + "\" ";
    {
        const UniqueHandle editor(CreateFileW(Widen(rom).c_str(), GENERIC_READ | GENERIC_WRITE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(editor.Valid());
        const Outcome dry =
            RunAndWait(RecalculatorPath(folder), program + "--dry-run rom.smc 100 20 25 2 00");
        EXPECT_EQ(dry.code, 0u) << dry.err;
        EXPECT_EQ(
            dry.err,
            "Simulación: cambiarían 2 de 3 entradas; mapa lineal; no se ha escrito nada.\r\n");
        const Outcome busy =
            RunAndWait(RecalculatorPath(folder), program + "rom.smc 100 20 25 2 00");
        EXPECT_EQ(busy.code, 6u);
        EXPECT_EQ(busy.err.rfind("ERROR 6: no se puede abrir la ROM «rom.smc» para escribir: otro "
                                 "programa lo está usando",
                                 0),
                  0u)
            << busy.err;
    }
    ASSERT_TRUE(SetFileAttributesW(Widen(rom).c_str(), FILE_ATTRIBUTE_READONLY));
    const Outcome readOnly =
        RunAndWait(RecalculatorPath(folder), program + "--dry-run rom.smc 100 20 25 2 00");
    SetFileAttributesW(Widen(rom).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(readOnly.code, 0u) << readOnly.err;
    EXPECT_EQ(ReadWholeFile(rom), SampleRom());
    EXPECT_EQ(Names(folder), (std::vector<std::string>{".", "..", "Zeltor.exe", "rom.smc"}));
}

// What a run stopped halfway through the table leaves (made here with the program's own code,
// then torn by hand): the backup it made, its note, and the table with its first entry new.
void InterruptInTheTable(TempFolder& temp, const std::string& rom) {
    const std::string original = SampleRom().substr(0x20, 6);
    const std::vector<std::uint8_t> oldBytes(original.begin(), original.end());
    const std::vector<std::uint8_t> newBytes(kNewTable.begin(), kNewTable.end());
    const std::string folder = rom.substr(0, rom.rfind('\\') + 1);
    temp.Write(rom.substr(temp.Path().size() + 1) + ".bak", SampleRom());
    const auto files = zeltor::MakeNativeFileSystem();
    zeltor::FileError why;
    zeltor::NotePlace place;
    {
        const auto file = files->Open(rom, false, why);
        ASSERT_TRUE(file && zeltor::PlaceNotes(*files, rom, *file, place, why)) << rom;
    }
    const zeltor::Range range{0x20, oldBytes, newBytes};
    std::string error;
    ASSERT_TRUE(zeltor::WriteJournal(
        *files, place, {{&range, 1}, zeltor::MarkBackup(*files, place, rom + ".bak")}, error))
        << error;
    std::string torn = SampleRom();
    torn.replace(0x20, 3, kNewTable.substr(0, 3));
    temp.Write(rom.substr(temp.Path().size() + 1), torn);
}

const char kMended[] = "Aviso: el recálculo anterior de esta ROM se interrumpió mientras "
                       "escribía la tabla (0x20-0x25), que quedó a medias; se han repuesto sus "
                       "bytes originales antes de seguir";

// The next run from the window puts the original bytes back after its own backup, and the
// window shows the line that says so, like any warning, and the backup from before the
// interruption.
TEST(ZeltorExeSafety, TheWindowShowsThatAnInterruptedRunWasMended) {
    TempFolder temp;
    const std::string folder = FolderWithZeltor(temp, "interrumpida");
    const std::string rom = temp.Write("interrumpida\\juego.smc", SampleRom());
    InterruptInTheTable(temp, rom);

    RecalcRequest f;
    f.appFolder = folder;
    f.romName = "juego.smc";
    f.textStart = "100";
    f.tableStart = "20";
    f.tableEnd = "25";
    f.pointerSize = "2";
    f.separator = "00";
    const std::optional<RecalculatorExit> exit =
        RunRecalculator({RecalculatorPath(folder), RecalcCommandLine(f), {}});
    ASSERT_TRUE(exit.has_value());
    EXPECT_EQ(exit->code, 0u) << exit->errorOutput;
    EXPECT_EQ(
        ExitMessage(*exit, LogName("juego.smc")),
        "¡Punteros recalculados!\r\n\r\n" + std::string(kMended) +
            " («juego.smc.bak1» la guarda a medias).\r\nHecho: cambian 2 de 3 entradas; "
            "mapa lineal; copia de seguridad «juego.smc.bak»; registro «juego.smc.zeltor.log».");
    EXPECT_EQ(ReadWholeFile(rom), Recalculated());
    EXPECT_EQ(ReadWholeFile(folder + "\\juego.smc.bak1").substr(0x20, 3), kNewTable.substr(0, 3));
    EXPECT_EQ(Names(folder),
              (std::vector<std::string>{".", "..", "Zeltor.exe", "juego.smc", "juego.smc.bak",
                                        "juego.smc.bak1", "juego.smc.zeltor.log"}));
}

// Windows reaches one file by several spellings of its name, and by a hard link: each finds the
// note of the interrupted run, which is the file's, and mends the table instead of
// recalculating from it torn.
TEST(ZeltorExeSafety, EverySpellingOfTheRomFindsItsNote) {
    for (const std::string spelling :
         {"JUEGO.SMC", "Juego.smc", "juego.smc.", "juego.smc ", "duro.smc"}) {
        SCOPED_TRACE("«" + spelling + "»");
        TempFolder temp;
        const std::string folder = FolderWithZeltor(temp, "grafias");
        const std::string rom = temp.Write("grafias\\juego.smc", SampleRom());
        InterruptInTheTable(temp, rom);
        if (spelling == "duro.smc") {
            ASSERT_TRUE(
                CreateHardLinkW(Widen(folder + "\\duro.smc").c_str(), Widen(rom).c_str(), nullptr));
        }
        const Outcome run =
            RunAndWait(RecalculatorPath(folder),
                       "\"" + RecalculatorPath(folder) + "\" \"" + spelling + "\" 100 20 25 2 00");
        EXPECT_EQ(run.code, 0u) << run.err;
        EXPECT_EQ(run.err.rfind(kMended, 0), 0u) << run.err;
        EXPECT_EQ(ReadWholeFile(rom), Recalculated());
        for (const std::string& name : Names(folder)) {
            EXPECT_EQ(name.find(".pendiente"), std::string::npos) << name;
        }
    }
}

// The log is written only into a file of its own: one that is another name of the ROM (a hard
// link) is a warning, and the report never lands in the ROM.
TEST(ZeltorExeSafety, ALogThatIsAnotherNameOfTheRomIsNeverWritten) {
    TempFolder temp;
    const std::string folder = FolderWithZeltor(temp, "registro");
    const std::string rom = temp.Write("registro\\rom.smc", SampleRom());
    ASSERT_TRUE(CreateHardLinkW(Widen(folder + "\\rom.smc.zeltor.log").c_str(), Widen(rom).c_str(),
                                nullptr));
    const Outcome run = RunAndWait(RecalculatorPath(folder),
                                   "\"" + RecalculatorPath(folder) + "\" rom.smc 100 20 25 2 00");
    EXPECT_EQ(run.code, 0u) << run.err;
    EXPECT_EQ(ReadWholeFile(rom), Recalculated());
    EXPECT_EQ(
        run.err.rfind("Aviso: no se pudo escribir el registro «rom.smc.zeltor.log»: tiene más "
                      "de un nombre (un enlace duro, quizá a la ROM).\r\nHecho: ",
                      0),
        0u)
        << run.err;
}

} // namespace
