// The whole way from typed fields to a started recalculator, with the real file search,
// the real program start and real message boxes, which a hook reads and closes.
#include "main_window/frmMain.h"
#include "tests/support/win32/MessageBoxWatch.h"
#include "tests/support/win32/TempFolder.h"
#include "win32/MessagePump.h"
#include "win32/Owned.h"
#include "win32/Utf.h"

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <sstream>
#include <thread>
#include <vector>

namespace {

class FlowTest : public testing::Test {
protected:
    void SetUp() override {
        // The application folder: the test recalculator as Zeltor.exe, and a ROM.
        ASSERT_TRUE(CopyFileW(Widen(TestFolder() + "\\zeltor_echo_args.exe").c_str(),
                              Widen(dir.Sub("Zeltor.exe")).c_str(), FALSE));
        rom = dir.Write("juego.smc", std::string(0x20000, '\0'));

        StartWindow();
    }

    // A window as the program starts it: a fresh object with nothing chosen.
    void StartWindow() {
        WindowServices s = WindowServices::Real();
        s.appFolder = dir.Path();
        s.contact = "quien@ejemplo.org";
        s.openFile = [this](HWND, const OpenFileRequest&) {
            ++dialogs;
            return std::optional<OpenFileResult>(OpenFileResult{rom, romName});
        };
        s.beep = [] {};
        form = std::make_unique<frmMain>(s);
        ASSERT_NE(form->Create(GetModuleHandleW(nullptr)), nullptr);
        ShowWindow(form->Handle(), SW_SHOWNORMAL);
        PumpWaitingMessages();
    }

    void CloseWindow() {
        form.reset();
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }

    void TearDown() override {
        // The window's end posts WM_QUIT; the next test's window must not take it for its own.
        CloseWindow();
    }

    void Type(int id, const std::wstring& keys) {
        SetWindowTextW(form->Control(id), L"");
        for (wchar_t k : keys) {
            SendMessageW(form->Control(id), WM_CHAR, k, 1);
        }
    }
    void Press(int id) { SendMessageW(form->Control(id), BM_CLICK, 0, 0); }
    void TypeOffsets(const std::wstring& text, const std::wstring& start, const std::wstring& end,
                     const std::wstring& separator) {
        Type(IDC_txtInitext, text);
        Type(IDC_txtIniPunt, start);
        Type(IDC_txtFinPunt, end);
        Type(IDC_txtSeparador, separator);
    }
    std::string TextOf(int id) const {
        wchar_t buffer[256] = {};
        GetWindowTextW(form->Control(id), buffer, 256);
        return Narrow(buffer);
    }
    bool Checked(int id) const {
        return SendMessageW(form->Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    void SelectSize(int index) {
        SendMessageW(form->Control(IDC_cboTam), CB_SETCURSEL, index, 0);
        SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(IDC_cboTam, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(form->Control(IDC_cboTam)));
    }
    // Every field, the size and the check box, in one line, to compare whole states.
    std::string Fields() const {
        return TextOf(IDC_txtInitext) + " " + TextOf(IDC_txtIniPunt) + " " +
               TextOf(IDC_txtFinPunt) + " " + TextOf(IDC_cboTam) + " " + TextOf(IDC_txtSeparador) +
               " " + (Checked(IDC_ckValPunt) ? "[x] " : "[ ] ") + TextOf(IDC_txtValPunt);
    }
    std::string LastBoxText() const { return boxes.empty() ? "<none>" : boxes.back().text; }
    // Drops the files on the window, as the shell does.
    void Drop(const std::vector<std::string>& paths) {
        // The structure DragQueryFileW reads: a header, then the names, NUL-separated.
        std::wstring names;
        for (const std::string& path : paths) {
            names += Widen(path) + L'\0';
        }
        names += L'\0';
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT,
                                     sizeof(DROPFILES) + names.size() * sizeof(wchar_t));
        ASSERT_NE(memory, nullptr);
        auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
        drop->pFiles = sizeof(DROPFILES);
        drop->fWide = TRUE;
        memcpy(reinterpret_cast<char*>(drop) + sizeof(DROPFILES), names.data(),
               names.size() * sizeof(wchar_t));
        GlobalUnlock(memory);
        SendMessageW(form->Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(memory), 0);
    }
    bool Exists(const std::string& path) const {
        return GetFileAttributesW(Widen(path).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    // What the stand-in recalculator is to do this time (see EchoArgs.cpp).
    void Behave(const std::string& lines) { dir.Write("behaviour.txt", lines); }
    int Starts() const {
        const std::string starts = ReadWholeFile(dir.Sub("starts.txt"));
        return static_cast<int>(std::count(starts.begin(), starts.end(), '\n'));
    }

    TempFolder dir{"zeltor flow"};
    std::string rom;
    std::string romName = "juego.smc";
    int dialogs = 0;
    MessageBoxWatch watch; // real message boxes, read and closed
    std::vector<MessageBoxWatch::Box>& boxes = watch.boxes;
    std::unique_ptr<frmMain> form;
};

TEST_F(FlowTest, TypedFieldsReachTheRecalculator) {
    Press(IDC_cmdOpen);
    TypeOffsets(L"1A000", L"180A0", L"183ff", L"00");
    Press(IDC_cmdRecalcular);

    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "ZeltorIGU");
    EXPECT_EQ(boxes[0].text, "¡Punteros recalculados!");
    EXPECT_FALSE(boxes[0].hasIcon);

    ASSERT_TRUE(WaitForFile(dir.Sub("received.txt"), 20000));
    std::istringstream received(ReadWholeFile(dir.Sub("received.txt")));
    std::string line;
    std::getline(received, line);
    EXPECT_EQ(line, "\"" + dir.Path() + "\\Zeltor.exe\" juego.smc 1A000 180A0 183ff 2 00");
}

TEST_F(FlowTest, EachFailedRuleIsShownInItsOwnBox) {
    Press(IDC_cmdRecalcular);
    EXPECT_EQ(LastBoxText(), "Error, por favor indicar la ROM");

    Press(IDC_cmdOpen);
    Press(IDC_cmdRecalcular);
    EXPECT_EQ(LastBoxText(), "Error, por favor indicar dirección de inicio de texto");

    TypeOffsets(L"80000000", L"0", L"10", L"FF");
    Press(IDC_cmdRecalcular);
    EXPECT_EQ(LastBoxText(), "Por favor verifique las direcciones");

    Type(IDC_txtInitext, L"20001");
    Press(IDC_cmdRecalcular);
    EXPECT_EQ(LastBoxText(), "Error, verifique la dirección de inicio de texto");

    Type(IDC_txtInitext, L"100");
    Press(IDC_ckValPunt);
    SendMessageW(form->Control(IDC_cboTam), CB_SETCURSEL, 1, 0);
    SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(IDC_cboTam, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(form->Control(IDC_cboTam)));
    Type(IDC_txtValPunt, L"000a0");
    Press(IDC_cmdRecalcular);
    EXPECT_EQ(LastBoxText(), "Indique un valor de puntero correcto");

    // The recalculator gone from the folder: the start itself is never reached.
    DeleteFileW(Widen(dir.Sub("Zeltor.exe")).c_str());
    Press(IDC_cmdRecalcular);
    EXPECT_EQ(LastBoxText(),
              "Por favor copie Zeltor.exe en el mismo directorio de esta aplicación.");
    EXPECT_EQ(boxes.size(), 6u);
    for (const MessageBoxWatch::Box& box : boxes) {
        EXPECT_EQ(box.caption, "ZeltorIGU");
        EXPECT_FALSE(box.hasIcon);
    }
}

TEST_F(FlowTest, AStartThatFailsIsReportedWithItsNumber) {
    // A damaged Zeltor.exe, a text file: the file search finds it, the start refuses it.
    dir.Write("Zeltor.exe", "no es un programa");
    Press(IDC_cmdOpen);
    TypeOffsets(L"0", L"0", L"0", L"00");
    Press(IDC_cmdRecalcular);
    ASSERT_EQ(boxes.size(), 1u);
    const std::string& text = boxes[0].text;
    EXPECT_EQ(text.rfind("Error:193 - ", 0), 0u) << text; // ERROR_BAD_EXE_FORMAT
    // The system's words name the program where they have a place for it, and no
    // placeholder such as %1 is left.
    EXPECT_NE(text.find(dir.Sub("Zeltor.exe")), std::string::npos) << text;
    EXPECT_EQ(text.find('%'), std::string::npos) << text;
    EXPECT_NE(text.find("\npor favor reportarlo a quien@ejemplo.org. ¡Gracias!"), std::string::npos)
        << text;
}

TEST_F(FlowTest, RemembersTheValuesOfEachRomThatWasRecalculated) {
    // A name outside the ANSI code page, and the brackets ROM names often carry, must survive
    // the file.
    romName = "mi juego ñ Ω [!].smc";
    rom = dir.Write(romName, std::string(0x20000, '\0'));
    Press(IDC_cmdOpen);
    TypeOffsets(L"1A000", L"180A0", L"183ff", L"00");
    SelectSize(1);
    Press(IDC_ckValPunt);
    Type(IDC_txtValPunt, L"a08000");
    const std::string done = "1A000 180A0 183ff 3 00 [x] a08000";
    ASSERT_EQ(Fields(), done);
    Press(IDC_cmdRecalcular);
    ASSERT_EQ(LastBoxText(), "¡Punteros recalculados!");

    // A run that Zeltor.exe refuses is not remembered.
    Behave("exit=3\n");
    Type(IDC_txtInitext, L"1B000");
    Press(IDC_cmdRecalcular);
    ASSERT_EQ(boxes.size(), 2u);

    // After a restart, choosing the ROM fills every field as it was when it worked.
    CloseWindow();
    StartWindow();
    const std::string empty = "   2  [ ] ";
    ASSERT_EQ(Fields(), empty);
    Press(IDC_cmdOpen);
    EXPECT_EQ(Fields(), done);
    EXPECT_TRUE(IsWindowEnabled(form->Control(IDC_txtValPunt)));
    EXPECT_EQ(SendMessageW(form->Control(IDC_txtValPunt), EM_GETLIMITTEXT, 0, 0), 6);
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), IDC_txtInitext);
    SendMessageW(GetFocus(), WM_CHAR, L'9', 1); // what is typed replaces the remembered value
    EXPECT_EQ(TextOf(IDC_txtInitext), "9");

    // Anything typed in any field, even the first pointer's while it is off: choosing the
    // remembered ROM changes nothing at all, neither a field nor the size nor the check box.
    const std::string remembered = rom;
    for (const int typed : {IDC_txtFinPunt, IDC_txtValPunt}) {
        CloseWindow();
        StartWindow();
        Type(typed, L"1");
        const std::string before = Fields();
        Press(IDC_cmdOpen);
        EXPECT_EQ(TextOf(IDC_lblROM), romName);
        EXPECT_EQ(Fields(), before);
    }

    // A namesake in another folder is another ROM: it inherits nothing.
    CloseWindow();
    StartWindow();
    dir.MakeFolder("otra carpeta");
    rom = dir.Write("otra carpeta\\" + romName, std::string(0x20000, '\0'));
    Press(IDC_cmdOpen);
    EXPECT_EQ(TextOf(IDC_lblROM), romName);
    EXPECT_EQ(Fields(), empty);
    rom = remembered;
    Press(IDC_cmdOpen);
    EXPECT_EQ(Fields(), done) << "the one that was recalculated is still remembered";
}

TEST_F(FlowTest, ADamagedOrUnwritableMemoryCostsNothing) {
    // Each value that could not have been typed is ignored on its own.
    dir.Write("ZeltorIGU.ini", "basura = = [sin cerrar\n[" + rom +
                                   "]\ntextStart=12G4\n"
                                   "tableStart=180A0\ntableEnd=" +
                                   std::string(100, '1') +
                                   "\npointerSize=5\nseparator=000\nfirstPointerGiven=si\n"
                                   "firstPointer=00a0\n");
    Press(IDC_cmdOpen);
    EXPECT_EQ(Fields(), " 180A0  2  [ ] 00a0");

    // A memory that cannot be written leaves the recalculation's own message alone.
    DeleteFileW(Widen(dir.Sub("ZeltorIGU.ini")).c_str());
    dir.MakeFolder("ZeltorIGU.ini");
    TypeOffsets(L"1A000", L"180A0", L"183ff", L"00");
    Press(IDC_cmdRecalcular);
    EXPECT_EQ(LastBoxText(), "¡Punteros recalculados!");
}

TEST_F(FlowTest, TakesARomDroppedOnTheWindow) {
    const std::string other = dir.Write("otra.smc", std::string(300, 'x'));
    Drop({other, rom});

    // Only the first file counts, exactly as if it had been chosen in the dialog.
    EXPECT_EQ(TextOf(IDC_lblROM), "otra.smc");
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), IDC_txtInitext);
    EXPECT_EQ(dialogs, 0);
    EXPECT_TRUE(boxes.empty());

    // Its length is what the rules check against (a text start at 300 passes, one more does
    // not), and its name is what the recalculator is given.
    TypeOffsets(L"12D", L"0", L"0", L"00");
    Press(IDC_cmdRecalcular);
    EXPECT_EQ(LastBoxText(), "Error, verifique la dirección de inicio de texto");
    Type(IDC_txtInitext, L"12C");
    Press(IDC_cmdRecalcular);
    EXPECT_EQ(LastBoxText(), "¡Punteros recalculados!");
    ASSERT_TRUE(WaitForFile(dir.Sub("received.txt"), 20000));
    EXPECT_NE(ReadWholeFile(dir.Sub("received.txt")).find("\notra.smc\n"), std::string::npos);
}

TEST_F(FlowTest, TellsWhatTheRecalculatorDid) {
    const std::string failed5 =
        "No se han recalculado los punteros: Zeltor.exe terminó con el código 5.\r\n\r\n";
    struct Case {
        const char* name;
        std::string behaviour;
        bool log;
        std::string expected; // the whole text, or its start when `prefixOnly`
        bool prefixOnly;
    };
    const Case cases[] = {
        {"done", "", false, "¡Punteros recalculados!", false},
        {"done, with a warning", "say=Zeltor: AVISO: revise el primer puntero.\n", false,
         "¡Punteros recalculados!\r\n\r\nZeltor: AVISO: revise el primer puntero.", false},
        {"refused", "say=Zeltor: ERROR 3: la tabla no cuadra.\nexit=3\n", true,
         "No se han recalculado los punteros: Zeltor.exe terminó con el código 3.\r\n\r\n"
         "Zeltor: ERROR 3: la tabla no cuadra.\r\n\r\n"
         "Más detalles en el registro juego.smc.zeltor.log, junto a la ROM.",
         false},
        // A megabyte on each stream must neither block the recalculator nor the window, nor
        // keep it waiting long, however it is written.
        {"floods both streams", "stdout=1048576\nstderr=1048576\nsay=la causa, al final\nexit=5\n",
         false, failed5, true},
        {"floods its output line by line",
         "stdoutlines=16384\nstderr=65536\nsay=la causa, al final\nexit=5\n", false, failed5, true},
    };
    Press(IDC_cmdOpen);
    TypeOffsets(L"1A000", L"180A0", L"183ff", L"00");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        boxes.clear();
        Behave(c.behaviour);
        DeleteFileW(Widen(dir.Sub("juego.smc.zeltor.log")).c_str());
        if (c.log) {
            dir.Write("juego.smc.zeltor.log", "registro");
        }
        const ULONGLONG start = GetTickCount64();
        Press(IDC_cmdRecalcular);
        // A tenth of a second here; 36 s where each write to NUL cost milliseconds.
        EXPECT_LT(GetTickCount64() - start, 10000u);
        ASSERT_EQ(boxes.size(), 1u);
        const std::string& text = boxes[0].text;
        if (!c.prefixOnly) {
            EXPECT_EQ(text, c.expected);
            continue;
        }
        EXPECT_EQ(text.rfind(c.expected, 0), 0u) << text;
        const std::string quoted = text.substr(c.expected.size());
        const std::string cause = "\r\nla causa, al final";
        EXPECT_EQ(quoted.substr(quoted.size() - cause.size()), cause) << quoted;
        EXPECT_LE(std::count(quoted.begin(), quoted.end(), '\n'), 9);
        EXPECT_LE(quoted.size(), 1000u);
    }
}

TEST_F(FlowTest, StaysAliveWhileTheRecalculatorRunsAndStartsNothingMore) {
    // A recalculator that takes its time, and is then ended from outside.
    Behave("sleep=20000\n");
    Press(IDC_cmdOpen);
    TypeOffsets(L"1A000", L"180A0", L"183ff", L"00");
    const HWND window = form->Handle();
    const HWND recalcular = form->Control(IDC_cmdRecalcular);
    const HWND open = form->Control(IDC_cmdOpen);
    const std::string pidFile = dir.Sub("pid.txt");
    std::atomic<DWORD> slowest{0};
    std::atomic<bool> allAnswered{true};
    std::thread outside([&] {
        if (!WaitForFile(pidFile, 20000)) {
            return;
        }
        for (int i = 0; i < 10; ++i) {
            const ULONGLONG before = GetTickCount64();
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 300, &result)) {
                allAnswered = false;
            }
            slowest = std::max<DWORD>(slowest, static_cast<DWORD>(GetTickCount64() - before));
            // Both buttons pressed again meanwhile: neither may start anything.
            PostMessageW(i % 2 == 0 ? recalcular : open, BM_CLICK, 0, 0);
            Sleep(100);
        }
        const DWORD pid = std::stoul(ReadWholeFile(pidFile));
        const UniqueHandle child(OpenProcess(PROCESS_TERMINATE, FALSE, pid));
        TerminateProcess(child.Get(), 0xC000013A);
    });
    Press(IDC_cmdRecalcular);
    outside.join();

    EXPECT_TRUE(allAnswered);
    EXPECT_LT(slowest.load(), 300u);
    EXPECT_EQ(Starts(), 1);
    EXPECT_EQ(dialogs, 1);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "No se han recalculado los punteros: Zeltor.exe terminó con el "
                             "código 3221225786 (0xC000013A).");
}

TEST_F(FlowTest, ClosingTheWindowLeavesTheRecalculatorToFinish) {
    Behave("sleep=1500\n");
    Press(IDC_cmdOpen);
    TypeOffsets(L"1A000", L"180A0", L"183ff", L"00");
    const HWND window = form->Handle();
    const std::string pidFile = dir.Sub("pid.txt");
    std::thread closer([&] {
        if (WaitForFile(pidFile, 20000)) {
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
    });
    Press(IDC_cmdRecalcular);
    closer.join();

    EXPECT_FALSE(IsWindow(window));
    EXPECT_TRUE(boxes.empty()) << boxes[0].text;
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the program ends";
    EXPECT_FALSE(WaitForFile(dir.Sub("finished.txt"), 500)) << "still running when we left";
    EXPECT_TRUE(WaitForFile(dir.Sub("finished.txt"), 20000)) << "it finished on its own";
}

TEST_F(FlowTest, TheRealRecalculatorRefusesThriceThenRewritesTheDemoTable) {
    ASSERT_TRUE(CopyFileW(Widen(TestFolder() + "\\Zeltor.exe").c_str(),
                          Widen(dir.Sub("Zeltor.exe")).c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(Widen(TestFolder() + "\\demo.smc").c_str(),
                          Widen(dir.Sub("demo.smc")).c_str(), FALSE));
    rom = dir.Sub("demo.smc");
    romName = "demo.smc";
    const std::string original = ReadWholeFile(rom);
    ASSERT_EQ(original.size(), 0x1000u);
    Press(IDC_cmdOpen);

    // One byte short of the table's end: the recalculator refuses and says why.
    TypeOffsets(L"200", L"100", L"10E", L"00");
    Press(IDC_cmdRecalcular);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text.rfind("No se han recalculado los punteros: Zeltor.exe terminó con el "
                                  "código 3.\r\n\r\n",
                                  0),
              0u)
        << boxes[0].text;
    EXPECT_NE(boxes[0].text.find("ERROR 3"), std::string::npos) << boxes[0].text;
    EXPECT_EQ(ReadWholeFile(rom), original);
    EXPECT_EQ(GetFileAttributesW(Widen(rom + ".bak").c_str()), INVALID_FILE_ATTRIBUTES);

    // What the evidence shows mistaken is refused, and the box names the field and the value
    // that agrees: the text's start one byte late, then the table's end one entry short.
    Type(IDC_txtFinPunt, L"10F");
    Type(IDC_txtInitext, L"201");
    Press(IDC_cmdRecalcular);
    ASSERT_EQ(boxes.size(), 2u);
    // The box: why nothing was written, Zeltor.exe's last line, and where the log is.
    const auto refusedWith = [](const std::string& line) {
        return "No se han recalculado los punteros: Zeltor.exe terminó con el código 9.\r\n\r\n" +
               line + "\r\n\r\nMás detalles en el registro demo.smc.zeltor.log, junto a la ROM.";
    };
    EXPECT_EQ(boxes[1].text,
              refusedWith("ERROR 9: el byte anterior al texto (48 en 0x200) parece el primer "
                          "carácter de la primera cadena: revise «Posición inicial del texto» "
                          "(con 0x200 todo concuerda)."));
    Type(IDC_txtInitext, L"200");
    Type(IDC_txtFinPunt, L"10D");
    Press(IDC_cmdRecalcular);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[2].text,
              refusedWith("ERROR 9: la tabla parece seguir después de su final: en 0x10E hay "
                          "0x825A, que señala justo después de su texto, y tras las cadenas leídas "
                          "queda una más: revise «Posición final de la tabla de punteros» (con "
                          "0x10F todo concuerda)."));
    EXPECT_EQ(ReadWholeFile(rom), original);
    EXPECT_EQ(GetFileAttributesW(Widen(rom + ".bak").c_str()), INVALID_FILE_ATTRIBUTES);

    Type(IDC_txtFinPunt, L"10F");
    Press(IDC_cmdRecalcular);
    ASSERT_EQ(boxes.size(), 4u);
    // What was done, under the success.
    EXPECT_EQ(boxes[3].text, "¡Punteros recalculados!\r\n\r\nHecho: cambian 5 de 8 entradas; mapa "
                             "lineal; copia de seguridad «demo.smc.bak»; registro "
                             "«demo.smc.zeltor.log».");
    EXPECT_NE(ReadWholeFile(rom).substr(0x100, 16), original.substr(0x100, 16));
    EXPECT_EQ(ReadWholeFile(rom + ".bak"), original);
}

TEST_F(FlowTest, RewritesTheChosenRomAndNotItsNamesakeBesideTheProgram) {
    ASSERT_TRUE(CopyFileW(Widen(TestFolder() + "\\Zeltor.exe").c_str(),
                          Widen(dir.Sub("Zeltor.exe")).c_str(), FALSE));
    const std::string original = ReadWholeFile(TestFolder() + "\\demo.smc");
    ASSERT_EQ(original.size(), 0x1000u);
    // Beside the program, a namesake of other content (its last byte, past the text, differs):
    // it lets the ROM pass rule 2 and must be left alone.
    std::string namesake = original;
    namesake.back() = static_cast<char>(namesake.back() ^ 0x5A);
    dir.Write("demo.smc", namesake);
    const std::string folder = dir.MakeFolder("otra carpeta");
    romName = "demo.smc";
    rom = folder + "\\demo.smc";

    struct Route {
        const char* name;
        std::function<void()> choose;
    };
    const Route routes[] = {
        {"the dialog", [this] { Press(IDC_cmdOpen); }},
        {"a drop", [this] { Drop({rom}); }},
    };
    for (const Route& route : routes) {
        SCOPED_TRACE(route.name);
        boxes.clear();
        dir.Write("otra carpeta\\demo.smc", original);
        for (const char* left : {"demo.smc.bak", "demo.smc.zeltor.log"}) {
            DeleteFileW(Widen(folder + "\\" + left).c_str());
        }
        route.choose();
        ASSERT_EQ(TextOf(IDC_lblROM), "demo.smc");
        TypeOffsets(L"200", L"100", L"10F", L"00");
        Press(IDC_cmdRecalcular);
        EXPECT_EQ(LastBoxText(), "¡Punteros recalculados!\r\n\r\nHecho: cambian 5 de 8 entradas; "
                                 "mapa lineal; copia de seguridad «demo.smc.bak»; registro "
                                 "«demo.smc.zeltor.log».");

        // The file that was chosen, and measured, is the one rewritten; its backup and its
        // log lie beside it.
        EXPECT_NE(ReadWholeFile(rom).substr(0x100, 16), original.substr(0x100, 16));
        EXPECT_TRUE(ReadWholeFile(rom + ".bak") == original) << "no whole backup beside it";
        EXPECT_TRUE(Exists(rom + ".zeltor.log"));
        EXPECT_TRUE(ReadWholeFile(dir.Sub("demo.smc")) == namesake) << "the namesake changed";
        EXPECT_FALSE(Exists(dir.Sub("demo.smc.bak")));
        EXPECT_FALSE(Exists(dir.Sub("demo.smc.zeltor.log")));
    }
}

} // namespace
