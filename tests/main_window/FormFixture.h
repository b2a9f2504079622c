#pragma once

// The main window with the world behind its seams: what it asks of the world is recorded, and
// the world answers as the test says.
#include "main_window/frmMain.h"
#include "request/win32/General.h"
#include "tests/support/win32/TempFolder.h"
#include "win32/MessagePump.h"
#include "win32/Utf.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cwchar>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Everything the window asked of the world, and what the world answers next.
struct World {
    std::vector<std::string> messages;
    std::vector<OpenFileRequest> dialogs;
    std::vector<std::string> started;   // command lines
    std::vector<RecalcLaunch> launches; // the same starts, whole
    int beeps = 0;
    std::optional<OpenFileResult> nextChoice;
    // How the recalculator ends; nothing when the application is quitting meanwhile.
    std::optional<RecalculatorExit> exit = RecalculatorExit{};
    // The file search, the real one unless a test says otherwise.
    std::function<bool(const std::string&)> fileExists = FileExists;
    // Run while the recalculator "runs", and while a message is shown.
    std::function<void()> duringRun;
    std::function<void()> duringMessage;
};

class FrmMainTest : public testing::Test {
protected:
    void SetUp() override {
        WindowServices s;
        s.appFolder = dir.Path();
        s.contact = "quien@ejemplo.org";
        s.showMessage = [this](HWND owner, const std::string& text) {
            world.messages.push_back(text);
            if (world.duringMessage) {
                world.duringMessage();
            }
            if (realBoxes) {
                ShowMessage(owner, text);
            }
        };
        s.openFile = [this](HWND, const OpenFileRequest& request) {
            world.dialogs.push_back(request);
            return world.nextChoice;
        };
        s.measureFile = MeasureFileLength;
        s.fileExists = [this](const std::string& path) { return world.fileExists(path); };
        s.runProgram = [this](const RecalcLaunch& launch) {
            world.started.push_back(launch.commandLine);
            world.launches.push_back(launch);
            if (world.duringRun) {
                world.duringRun();
            }
            return world.exit;
        };
        s.beep = [this] { ++world.beeps; };
        form = std::make_unique<frmMain>(s);
        ASSERT_NE(form->Create(GetModuleHandleW(nullptr)), nullptr);
        ShowWindow(form->Handle(), SW_SHOWNORMAL);
        SetForegroundWindow(form->Handle());
        Pump();
    }

    void TearDown() override {
        form.reset();
        Pump();
        // The destroyed window asked to quit; left in the queue, that request would stop
        // every later pump and wait of this thread.
        MSG quit;
        while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
    }

    static void Pump() { PumpWaitingMessages(); }
    HWND C(int id) const { return form->Control(id); }
    std::string TextOf(int id) const {
        wchar_t buffer[256] = {};
        GetWindowTextW(C(id), buffer, 256);
        return Narrow(buffer);
    }
    void Type(int id, const std::wstring& keys) {
        for (wchar_t k : keys) {
            SendMessageW(C(id), WM_CHAR, k, 1);
        }
    }
    void Click(int id) { SendMessageW(C(id), BM_CLICK, 0, 0); }
    void SelectSize(int index) {
        SendMessageW(C(IDC_cboTam), CB_SETCURSEL, index, 0);
        SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(IDC_cboTam, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(C(IDC_cboTam)));
    }
    int FocusId() const { return GetDlgCtrlID(GetFocus()); }
    LRESULT Limit(int id) const { return SendMessageW(C(id), EM_GETLIMITTEXT, 0, 0); }
    void ChooseRom(const std::string& path, const std::string& title) {
        world.nextChoice = OpenFileResult{path, title};
        Click(IDC_cmdOpen);
    }

    // Whether a press of "Recalcular punteros" sees the chosen ROM by this name and length: the
    // name reaches the command line, a text start at the length passes rule 9 and one byte
    // further is refused. What rules 1 and 2 need is put beside the program for the check and
    // taken away again; the fields are emptied after it.
    testing::AssertionResult RequestSeesRom(const std::string& name, std::int32_t length) {
        const bool hadProgram = FileExists(dir.Sub("Zeltor.exe"));
        const bool hadNamesake = FileExists(dir.Sub(name));
        dir.Write("Zeltor.exe");
        if (!hadNamesake) {
            dir.Write(name);
        }
        const World before = world;
        world.exit = RecalculatorExit{1, ""}; // refused: nothing is remembered
        const std::wstring hex[] = {Hex(length), Hex(length + 1)};
        std::vector<std::string> said;
        for (const std::wstring& textStart : hex) {
            for (const auto& [id, text] : {std::pair<int, std::wstring>{IDC_txtInitext, textStart},
                                           {IDC_txtIniPunt, L"0"},
                                           {IDC_txtFinPunt, L"0"},
                                           {IDC_txtSeparador, L"00"}}) {
                SetWindowTextW(C(id), text.c_str());
            }
            world.started.clear();
            world.messages.clear();
            Click(IDC_cmdRecalcular);
            said.push_back(world.started.empty() ? "no start: " + world.messages.at(0)
                                                 : world.started.at(0));
        }
        for (int id : {IDC_txtInitext, IDC_txtIniPunt, IDC_txtFinPunt, IDC_txtSeparador}) {
            SetWindowTextW(C(id), L"");
        }
        world = before;
        if (!hadProgram) {
            DeleteFileW(Widen(dir.Sub("Zeltor.exe")).c_str());
        }
        if (!hadNamesake) {
            DeleteFileW(Widen(dir.Sub(name)).c_str());
        }
        if (said[0].find(" " + name + " ") == std::string::npos ||
            said[1] != "no start: Error, verifique la dirección de inicio de texto") {
            return testing::AssertionFailure() << said[0] << " / " << said[1];
        }
        return testing::AssertionSuccess();
    }

    static std::wstring Hex(std::int32_t value) {
        wchar_t text[16] = {};
        swprintf(text, 16, L"%X", static_cast<unsigned>(value));
        return text;
    }

    TempFolder dir;
    World world;
    bool realBoxes = false;
    std::unique_ptr<frmMain> form;
};
