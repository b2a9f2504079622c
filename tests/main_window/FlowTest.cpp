// The whole way from typed fields to a started recalculator, with the real file search,
// the real program start and real message boxes, which a hook reads and closes.
#include "MessagePump.h"
#include "TempFolder.h"
#include "Utf.h"
#include "frmMain.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <vector>

namespace {

struct SeenBox {
    std::string caption;
    std::string text;
    bool hasIcon;
};

thread_local std::vector<SeenBox>* t_Boxes = nullptr;
thread_local HHOOK t_Hook = nullptr;

LRESULT CALLBACK WatchBoxes(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE && t_Boxes != nullptr) {
        HWND box = reinterpret_cast<HWND>(wParam);
        wchar_t cls[16] = {};
        GetClassNameW(box, cls, 16);
        if (lstrcmpW(cls, L"#32770") == 0) {
            wchar_t caption[128] = {};
            wchar_t text[1024] = {};
            GetWindowTextW(box, caption, 128);
            GetDlgItemTextW(box, 0xFFFF, text, 1024);
            t_Boxes->push_back({Narrow(caption), Narrow(text), GetDlgItem(box, 0x14) != nullptr});
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    }
    return CallNextHookEx(t_Hook, code, wParam, lParam);
}

class FlowTest : public testing::Test {
protected:
    void SetUp() override {
        t_Boxes = &boxes;
        t_Hook = SetWindowsHookExW(WH_CBT, WatchBoxes, nullptr, GetCurrentThreadId());
        ASSERT_NE(t_Hook, nullptr);

        // The application folder: the test recalculator as Zeltor.exe, and a ROM.
        ASSERT_TRUE(CopyFileW(Widen(TestFolder() + "\\zeltor_echo_args.exe").c_str(),
                              Widen(dir.Sub("Zeltor.exe")).c_str(), FALSE));
        rom = dir.Write("juego.smc", std::string(0x20000, '\0'));

        WindowServices s = WindowServices::Real();
        s.appFolder = dir.Path();
        s.contact = "quien@ejemplo.org";
        s.openFile = [this](HWND, const OpenFileRequest&) {
            return std::optional<OpenFileResult>(OpenFileResult{rom, "juego.smc"});
        };
        s.beep = [] {};
        form = std::make_unique<frmMain>(s);
        ASSERT_NE(form->Create(GetModuleHandleW(nullptr)), nullptr);
        ShowWindow(form->Handle(), SW_SHOWNORMAL);
        PumpWaitingMessages();
    }

    void TearDown() override {
        form.reset();
        UnhookWindowsHookEx(t_Hook);
        t_Boxes = nullptr;
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
    std::string LastBoxText() const { return boxes.empty() ? "<none>" : boxes.back().text; }

    TempFolder dir{"zeltor flow"};
    std::string rom;
    std::vector<SeenBox> boxes;
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
    for (const SeenBox& box : boxes) {
        EXPECT_EQ(box.caption, "ZeltorIGU");
        EXPECT_FALSE(box.hasIcon);
    }
}

TEST_F(FlowTest, AStartThatFailsIsReportedWithItsNumber) {
    // A file that is not a program: the file search finds it, the start refuses it.
    dir.Write("Zeltor.exe", "no es un programa");
    Press(IDC_cmdOpen);
    TypeOffsets(L"0", L"0", L"0", L"00");
    Press(IDC_cmdRecalcular);
    ASSERT_EQ(boxes.size(), 1u);
    const std::string& text = boxes[0].text;
    EXPECT_EQ(text.rfind("Error:", 0), 0u) << text;
    EXPECT_NE(text.find(" - "), std::string::npos) << text;
    EXPECT_NE(text.find("\npor favor reportarlo a quien@ejemplo.org. ¡Gracias!"), std::string::npos)
        << text;
}

} // namespace
