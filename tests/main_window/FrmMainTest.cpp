#include "portable/ButtonMath.h"
#include "tests/main_window/FormFixture.h"
#include "tests/support/win32/MessageBoxWatch.h"
#include "win32/Gdi.h"
#include "win32/Owned.h"
#include "xp_button/XP_buttonProbe.h"

#include <windows.h>

#include <commdlg.h>
#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

TEST_F(FrmMainTest, StartsEmptyWithSizeTwoAndTheValueFieldOff) {
    wchar_t caption[64] = {};
    GetWindowTextW(form->Handle(), caption, 64);
    EXPECT_EQ(Narrow(caption), "Zeltor IGU por Quennel");

    for (int id : {IDC_txtInitext, IDC_txtIniPunt, IDC_txtFinPunt, IDC_txtSeparador, IDC_txtValPunt,
                   IDC_lblROM}) {
        EXPECT_EQ(TextOf(id), "") << id;
    }
    EXPECT_EQ(TextOf(IDC_cboTam), "2");
    EXPECT_EQ(SendMessageW(C(IDC_cboTam), CB_GETCOUNT, 0, 0), 3);
    EXPECT_FALSE(IsWindowEnabled(C(IDC_txtValPunt)));
    EXPECT_EQ(Limit(IDC_txtValPunt), 4);
    EXPECT_EQ(Limit(IDC_txtSeparador), 2);
    EXPECT_GT(Limit(IDC_txtInitext), 30000);
    EXPECT_EQ(SendMessageW(C(IDC_ckValPunt), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(SendMessageW(C(IDC_ckWindow), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(GetWindowLongPtrW(form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);

    wchar_t cls[32] = {};
    GetClassNameW(C(IDC_cmdOpen), cls, 32);
    EXPECT_STREQ(cls, L"XP_button");
    GetClassNameW(C(IDC_cmdRecalcular), cls, 32);
    EXPECT_STREQ(cls, L"XP_button");

    // Nothing chosen yet: a press reports the missing ROM.
    dir.Write("Zeltor.exe");
    Click(IDC_cmdRecalcular);
    EXPECT_EQ(world.messages, std::vector<std::string>{"Error, por favor indicar la ROM"});
}

// The window at the screen's resolution: 96 dots per inch, and once more (ctest's
// window144.Layout) at 144 in a prefix of its own.
class Layout : public FrmMainTest {
protected:
    void SetUp() override {
        FrmMainTest::SetUp();
        dpi = GetDeviceCaps(WindowDc(nullptr).Get(), LOGPIXELSY);
        wchar_t wanted[8] = {};
        const int expected =
            GetEnvironmentVariableW(L"ZELTOR_WINE_DPI", wanted, 8) > 0 ? _wtoi(wanted) : 96;
        ASSERT_EQ(dpi, expected) << "the prefix was not set up for this resolution";
    }

    // Twips to pixels, to nearest, ties to even.
    int Px(int twips) const {
        const int whole = twips * dpi / 1440;
        const int twice = 2 * (twips * dpi % 1440);
        return whole + (twice > 1440 || (twice == 1440 && whole % 2 == 1) ? 1 : 0);
    }
    RECT Place(int id) const {
        RECT r{};
        GetWindowRect(C(id), &r);
        MapWindowPoints(nullptr, form->Handle(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    }

    int dpi = 0;
};

TEST_F(Layout, EveryControlHasItsCaptionAndItsTwipRectangle) {
    wchar_t caption[64] = {};
    GetWindowTextW(form->Handle(), caption, 64);
    EXPECT_EQ(Narrow(caption), "Zeltor IGU por Quennel");
    RECT client{};
    GetClientRect(form->Handle(), &client);
    EXPECT_EQ(client.right, Px(4500));
    EXPECT_EQ(client.bottom, Px(3570));

    // Each control of the form's own table, where the table says, in twips at this resolution.
    ASSERT_EQ(FormControls().size(), 19u);
    for (const ControlRow& c : FormControls()) {
        SCOPED_TRACE(c.name);
        HWND control = C(c.id);
        ASSERT_NE(control, nullptr);
        const XP_button* button = XP_button::FromHandle(control);
        EXPECT_EQ(button != nullptr, c.kind == ControlKind::Button);
        // The size list shows its first size once the form is loaded.
        const std::string caption = c.kind == ControlKind::SizeList ? "2" : c.caption;
        EXPECT_EQ(button != nullptr ? button->Caption() : TextOf(c.id), caption);
        const RECT r = Place(c.id);
        EXPECT_EQ(r.left, Px(c.left));
        EXPECT_EQ(r.top, Px(c.top));
        EXPECT_EQ(r.right - r.left, Px(c.width));
        // An etched line is two pixels high at any resolution.
        EXPECT_EQ(r.bottom - r.top, c.kind == ControlKind::Rule ? 2 : Px(c.height));
    }
    // Line1 runs from (120, 2640) to (4320, 2640).
    const RECT line = Place(IDC_Line1);
    EXPECT_EQ(line.left, Px(120));
    EXPECT_EQ(line.right, Px(4320));
    EXPECT_EQ(line.top, Px(2640));
}

// Measured with the font each control really draws with, at this resolution.
TEST_F(Layout, EveryCaptionFitsOnOneLine) {
    auto extent = [](HWND control, HFONT font, const std::string& text) {
        const WindowDc dc(control);
        const SelectScope selected(dc.Get(), font);
        const std::wstring wide = Widen(text);
        SIZE size{};
        GetTextExtentPoint32W(dc.Get(), wide.c_str(), static_cast<int>(wide.size()), &size);
        return size;
    };
    const int box = GetSystemMetrics(SM_CXMENUCHECK) + 4; // a check box's own square
    for (int id : {IDC_Label1, IDC_Label2, IDC_Label3, IDC_Label4, IDC_Label5, IDC_Label6,
                   IDC_Label7, IDC_ckValPunt, IDC_ckWindow}) {
        HWND control = C(id);
        const SIZE size = extent(
            control, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), TextOf(id));
        RECT client{};
        GetClientRect(control, &client);
        const int room = client.right - (id == IDC_ckValPunt || id == IDC_ckWindow ? box : 0);
        EXPECT_LE(size.cx, room) << TextOf(id);
        EXPECT_LE(size.cy, client.bottom) << TextOf(id);
    }
    for (int id : {IDC_cmdOpen, IDC_cmdRecalcular}) {
        XP_button& b = *XP_button::FromHandle(C(id));
        const GdiFont font = XP_buttonProbe::MakeCaptionFont(b);
        const SIZE size = extent(C(id), font, b.Caption());
        RECT client{};
        GetClientRect(C(id), &client);
        EXPECT_LE(size.cx, client.right) << b.Caption();
        // The caption's line starts at the top the face gives it and must end inside.
        const int top = ButtonMath::CaptionTop(client.bottom, b.Font()->Size().scaled, false, dpi);
        EXPECT_LE(top + size.cy, client.bottom) << b.Caption();
    }
}

TEST_F(FrmMainTest, TabVisitsControlsInOrderAndSkipsTheDisabledValue) {
    const std::vector<int> order = {
        IDC_cmdOpen,      IDC_txtInitext, IDC_txtIniPunt,    IDC_txtFinPunt, IDC_cboTam,
        IDC_txtSeparador, IDC_ckValPunt,  IDC_cmdRecalcular, IDC_ckWindow,   IDC_cmdOpen};
    for (size_t i = 0; i + 1 < order.size(); ++i) {
        EXPECT_EQ(GetDlgCtrlID(GetNextDlgTabItem(form->Handle(), C(order[i]), FALSE)), order[i + 1])
            << "after " << order[i];
    }
    Click(IDC_ckValPunt);
    EXPECT_EQ(GetDlgCtrlID(GetNextDlgTabItem(form->Handle(), C(IDC_ckValPunt), FALSE)),
              IDC_txtValPunt);

    // A real Tab key, through the dialog manager of the message loop.
    SetFocus(C(IDC_txtSeparador));
    PostMessageW(C(IDC_txtSeparador), WM_KEYDOWN, VK_TAB, 1);
    Pump();
    EXPECT_EQ(FocusId(), IDC_ckValPunt);
}

TEST_F(FrmMainTest, EnterMovesToTheNextControl) {
    Click(IDC_ckValPunt); // so the value field takes the focus
    const std::pair<int, int> moves[] = {{IDC_txtInitext, IDC_txtIniPunt},
                                         {IDC_txtIniPunt, IDC_txtFinPunt},
                                         {IDC_txtFinPunt, IDC_cboTam},
                                         {IDC_txtSeparador, IDC_ckValPunt},
                                         {IDC_txtValPunt, IDC_cmdRecalcular}};
    for (auto [from, to] : moves) {
        SetFocus(C(from));
        SetWindowTextW(C(from), L"1A");
        SendMessageW(C(from), EM_SETSEL, 2, 2);
        Type(from, L"\r");
        Pump();
        EXPECT_EQ(FocusId(), to) << "from " << from;
        EXPECT_EQ(TextOf(from), "1A");
    }
    EXPECT_EQ(world.beeps, 0);

    // Through the message loop, Enter moves on exactly as Tab does: the next field's text is
    // selected, so typing replaces it.
    for (WPARAM key : {VK_TAB, VK_RETURN}) {
        SetWindowTextW(C(IDC_txtIniPunt), L"08FF");
        SendMessageW(C(IDC_txtIniPunt), EM_SETSEL, 2, 2);
        SetFocus(C(IDC_txtInitext));
        PostMessageW(C(IDC_txtInitext), WM_KEYDOWN, key, 1);
        Pump();
        ASSERT_EQ(FocusId(), IDC_txtIniPunt) << key;
        DWORD start = 9;
        DWORD end = 9;
        SendMessageW(C(IDC_txtIniPunt), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                     reinterpret_cast<LPARAM>(&end));
        EXPECT_EQ(start, 0u) << key;
        EXPECT_EQ(end, 4u) << key;
        Type(IDC_txtIniPunt, L"1");
        EXPECT_EQ(TextOf(IDC_txtIniPunt), "1") << key;
    }

    // The key itself, as the message loop sees it: it must reach the field as a character.
    SetFocus(C(IDC_txtInitext));
    PostMessageW(C(IDC_txtInitext), WM_KEYDOWN, VK_RETURN, 1);
    Pump();
    Pump();
    EXPECT_EQ(FocusId(), IDC_txtIniPunt);
    EXPECT_TRUE(world.started.empty() && world.messages.empty()) << "Enter never recalculates";
}

// What the guide says of Enter outside the fields: on the size list and the check boxes it
// neither moves on nor changes anything.
TEST_F(FrmMainTest, EnterDoesNothingOnTheSizeListAndTheCheckBoxes) {
    SelectSize(1);
    for (int id : {IDC_cboTam, IDC_ckValPunt, IDC_ckWindow}) {
        const LRESULT size = SendMessageW(C(IDC_cboTam), CB_GETCURSEL, 0, 0);
        const LRESULT checked = SendMessageW(C(id), BM_GETCHECK, 0, 0);
        SetFocus(C(id));
        PostMessageW(C(id), WM_KEYDOWN, VK_RETURN, 1);
        PostMessageW(C(id), WM_KEYUP, VK_RETURN, 1 | (LPARAM{3} << 30));
        Pump();
        EXPECT_EQ(FocusId(), id);
        EXPECT_EQ(SendMessageW(C(IDC_cboTam), CB_GETCURSEL, 0, 0), size) << id;
        EXPECT_EQ(SendMessageW(C(id), BM_GETCHECK, 0, 0), checked) << id;
    }
    EXPECT_EQ(SendMessageW(C(IDC_cboTam), CB_GETCURSEL, 0, 0), 1);
    EXPECT_TRUE(world.messages.empty() && world.started.empty() && world.dialogs.empty());
    EXPECT_EQ(world.beeps, 0);
}

TEST_F(FrmMainTest, EnterOrSpacePressesAButtonButAHeldKeyNever) {
    // Each press of cmdOpen asks for a dialog; each press of cmdRecalcular shows a message.
    auto presses = [&] { return world.dialogs.size() + world.messages.size(); };
    constexpr LPARAM kHeld = 1 | (LPARAM{1} << 30); // a repeat: the key was already down
    struct Case {
        int control;
        WPARAM key;
        LPARAM flags;
        size_t presses;
    };
    const Case cases[] = {
        {IDC_cmdOpen, VK_RETURN, 1, 1},          {IDC_cmdOpen, VK_SPACE, 1, 1},
        {IDC_cmdOpen, VK_RETURN, kHeld, 0},      {IDC_cmdOpen, VK_SPACE, kHeld, 0},
        {IDC_cmdRecalcular, VK_RETURN, 1, 1},    {IDC_cmdRecalcular, VK_SPACE, 1, 1},
        {IDC_cmdRecalcular, VK_SPACE, kHeld, 0}, {IDC_ckWindow, VK_RETURN, 1, 0},
    };
    for (const Case& c : cases) {
        const size_t before = presses();
        SetFocus(C(c.control));
        PostMessageW(C(c.control), WM_KEYDOWN, c.key, c.flags);
        Pump();
        EXPECT_EQ(presses() - before, c.presses) << c.control << " key " << c.key;
    }

    // Enter held down in the last field moves on to the button and never presses it.
    world.messages.clear();
    Click(IDC_ckValPunt);
    SetFocus(C(IDC_txtValPunt));
    for (LPARAM flags : {LPARAM{1}, kHeld, kHeld, kHeld, kHeld}) {
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_RETURN, flags);
        Pump();
    }
    EXPECT_EQ(FocusId(), IDC_cmdRecalcular);
    EXPECT_TRUE(world.messages.empty() && world.started.empty()) << "Enter never recalculates";
}

TEST_F(FrmMainTest, KeyFilterLetsOnlyHexDigitsAndBackspaceThrough) {
    struct Case {
        std::wstring keys;
        std::string text;
        int beeps;
    };
    const Case cases[] = {
        {L"1f", "1f", 0},
        {L"0123456789ABCDEFabcdef", "0123456789ABCDEFabcdef", 0},
        {L"1G", "1", 1},
        {L"1 -", "1", 2},
        {L"g\u00f1\u00c1.,xX", "", 7},
        {L"12\b", "1", 0},
        {L"1\x03\x16\x18", "1", 3}, // Ctrl+C, Ctrl+V, Ctrl+X
    };
    for (const Case& c : cases) {
        SetWindowTextW(C(IDC_txtIniPunt), L"");
        world.beeps = 0;
        Type(IDC_txtIniPunt, c.keys);
        EXPECT_EQ(TextOf(IDC_txtIniPunt), c.text);
        EXPECT_EQ(world.beeps, c.beeps);
    }

    // Escape, as typed through the message loop, is refused with a beep in every field.
    Click(IDC_ckValPunt);
    world.beeps = 0;
    for (int id :
         {IDC_txtInitext, IDC_txtIniPunt, IDC_txtFinPunt, IDC_txtSeparador, IDC_txtValPunt}) {
        SetFocus(C(id));
        PostMessageW(C(id), WM_KEYDOWN, VK_ESCAPE, 1);
        Pump();
        EXPECT_EQ(FocusId(), id);
    }
    EXPECT_EQ(world.beeps, 5);
    EXPECT_EQ(TextOf(IDC_txtIniPunt), "1");
}

void PutOnClipboard(HWND owner, const std::wstring& text) {
    ASSERT_TRUE(OpenClipboard(owner));
    EmptyClipboard();
    HGLOBAL data = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    wcscpy(static_cast<wchar_t*>(GlobalLock(data)), text.c_str());
    GlobalUnlock(data);
    SetClipboardData(CF_UNICODETEXT, data);
    CloseClipboard();
}

// A key typed with Shift or Ctrl held, through the message loop; the modifier is held in
// this thread's keyboard state only.
void TypeWith(HWND target, BYTE modifier, WPARAM key) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[modifier] = 0x80;
    SetKeyboardState(keys);
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PumpWaitingMessages();
    keys[modifier] = 0;
    SetKeyboardState(keys);
}

// Chooses "Pegar" in a field's own context menu, with the keyboard: down the menu until its
// paste command (WM_PASTE, whatever the item says in this language) is lit, then Enter.
thread_local bool t_PasteChosen = false;
void CALLBACK ChoosePasteInTheMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND popup = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM found) {
            wchar_t cls[16] = {};
            GetClassNameW(w, cls, 16);
            if (lstrcmpW(cls, L"#32768") == 0 && IsWindowVisible(w)) {
                *reinterpret_cast<HWND*>(found) = w;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&popup));
    HMENU menu = popup != nullptr ? reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0))
                                  : nullptr;
    if (menu == nullptr) {
        return;
    }
    const bool lit = (GetMenuState(menu, WM_PASTE, MF_BYCOMMAND) & MF_HILITE) != 0;
    PostMessageW(popup, WM_KEYDOWN, lit ? VK_RETURN : VK_DOWN, 1);
    if (lit) {
        t_PasteChosen = true;
        KillTimer(nullptr, timer);
    }
}

// A paste gives the field the digits of what a hex editor or a debugger copies, whole, or
// beeps and leaves the field as it was; Ctrl+V is a refused character.
TEST_F(FrmMainTest, PasteTakesTheDigitsOfACopiedValueWholeWhenTheyFit) {
    Click(IDC_ckValPunt); // the value field takes input: 4 digits under size 2
    struct Field {
        int id;
        size_t limit;
    };
    const Field fields[] = {{IDC_txtInitext, 99},
                            {IDC_txtIniPunt, 99},
                            {IDC_txtFinPunt, 99},
                            {IDC_txtSeparador, 2},
                            {IDC_txtValPunt, 4}};
    struct Clip {
        std::wstring text;
        std::string digits; // empty: refused
    };
    const Clip clips[] = {
        {L"-h", ""},
        {L"--dry-run", ""},
        {L"0x", ""},
        {L"0x00 0x80", ""},
        {L"1A,2B", ""},
        {L"0x1A", "1A"},
        {L"1A 2B", "1A2B"},
        {L"1a2B\r\n", "1a2B"},
        {L"fF", "fF"},
        {L"$80F0", "80F0"},
        {L"183FFh", "183FF"},
        {L"&H00 80", "0080"},
        {L"123456789", "123456789"},
    };
    enum Route { Message, ShiftInsert, CtrlV };
    for (const Clip& clip : clips) {
        PutOnClipboard(form->Handle(), clip.text);
        for (const Field& f : fields) {
            for (Route route : {Message, ShiftInsert, CtrlV}) {
                // One digit in the field, selected: a paste would replace it.
                SetWindowTextW(C(f.id), L"7");
                SendMessageW(C(f.id), EM_SETSEL, 0, -1);
                SetFocus(C(f.id));
                world.beeps = 0;
                if (route == Message) {
                    SendMessageW(C(f.id), WM_PASTE, 0, 0);
                } else if (route == ShiftInsert) {
                    TypeWith(C(f.id), VK_SHIFT, VK_INSERT);
                } else {
                    TypeWith(C(f.id), VK_CONTROL, 'V'); // arrives as character 22
                }
                const bool taken =
                    route != CtrlV && !clip.digits.empty() && clip.digits.size() <= f.limit;
                EXPECT_EQ(TextOf(f.id), taken ? clip.digits : "7")
                    << Narrow(clip.text) << " into " << f.id << " by route " << route;
                EXPECT_EQ(world.beeps, taken ? 0 : 1)
                    << Narrow(clip.text) << " into " << f.id << " by route " << route;
            }
        }
    }

    // The digits replace the selection and must fit beside what stays, as the edit control
    // counts: the separator holds 2 characters, the first pointer 4 under size 2.
    struct Fit {
        int id;
        const wchar_t* before;
        int selStart, selEnd;
        const wchar_t* clip;
        std::string after; // the field's text afterwards; unchanged means refused
    };
    const Fit fits[] = {
        {IDC_txtSeparador, L"7", 1, 1, L"0x8", "78"},
        {IDC_txtSeparador, L"7", 1, 1, L"80h", "7"},
        {IDC_txtSeparador, L"7", 0, 1, L"80h", "80"},
        {IDC_txtValPunt, L"0082", 2, 4, L"$ff", "00ff"},
        {IDC_txtValPunt, L"0082", 2, 3, L"ff", "0082"},
        {IDC_txtValPunt, L"0082", 4, 4, L"1", "0082"},
        {IDC_txtValPunt, L"0082", 0, 2, L"00 00", "0082"},
        {IDC_txtValPunt, L"", 0, 0, L" 00 82\r\n", "0082"},
    };
    for (const Fit& f : fits) {
        PutOnClipboard(form->Handle(), f.clip);
        SetWindowTextW(C(f.id), f.before);
        SendMessageW(C(f.id), EM_SETSEL, f.selStart, f.selEnd);
        SetFocus(C(f.id));
        world.beeps = 0;
        SendMessageW(C(f.id), WM_PASTE, 0, 0);
        const bool refused = f.after == Narrow(f.before);
        EXPECT_EQ(TextOf(f.id), f.after) << Narrow(f.clip) << " into " << Narrow(f.before);
        EXPECT_EQ(world.beeps, refused ? 1 : 0) << Narrow(f.clip) << " into " << Narrow(f.before);
    }

    // "Pegar" in the field's own context menu.
    for (const Clip& clip : {clips[0], Clip{L"0x1A000\r\n", "1A000"}}) {
        PutOnClipboard(form->Handle(), clip.text);
        SetWindowTextW(C(IDC_txtInitext), L"");
        SetFocus(C(IDC_txtInitext));
        t_PasteChosen = false;
        world.beeps = 0;
        SetTimer(nullptr, 0, 10, ChoosePasteInTheMenu);
        RECT r{};
        GetWindowRect(C(IDC_txtInitext), &r);
        SendMessageW(C(IDC_txtInitext), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(C(IDC_txtInitext)),
                     MAKELPARAM(r.left + 5, r.top + 5));
        ASSERT_TRUE(t_PasteChosen);
        EXPECT_EQ(TextOf(IDC_txtInitext), clip.digits);
        EXPECT_EQ(world.beeps, clip.digits.empty() ? 1 : 0);
    }
}

TEST_F(FrmMainTest, SeparatorTakesTwoCharactersAndBackspaceWorksWhenFull) {
    Type(IDC_txtSeparador, L"00A");
    EXPECT_EQ(TextOf(IDC_txtSeparador), "00");
    EXPECT_EQ(world.beeps, 0) << "the third digit passes the filter";
    Type(IDC_txtSeparador, L"\b");
    EXPECT_EQ(TextOf(IDC_txtSeparador), "0");
}

TEST_F(FrmMainTest, ClickSelectsTheWholeField) {
    SetWindowTextW(C(IDC_txtFinPunt), L"08FF");
    SendMessageW(C(IDC_txtFinPunt), EM_SETSEL, 2, 2);
    SendMessageW(C(IDC_txtFinPunt), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    SendMessageW(C(IDC_txtFinPunt), WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    DWORD start = 0;
    DWORD end = 0;
    SendMessageW(C(IDC_txtFinPunt), EM_GETSEL, reinterpret_cast<WPARAM>(&start),
                 reinterpret_cast<LPARAM>(&end));
    EXPECT_EQ(start, 0u);
    EXPECT_EQ(end, 4u);
    Type(IDC_txtFinPunt, L"1");
    EXPECT_EQ(TextOf(IDC_txtFinPunt), "1");
}

TEST_F(FrmMainTest, PointerSizeEmptiesTheValueAndSetsItsLimit) {
    Click(IDC_ckValPunt);
    Type(IDC_txtValPunt, L"00a0");
    SelectSize(1);
    EXPECT_EQ(TextOf(IDC_txtValPunt), "");
    EXPECT_EQ(Limit(IDC_txtValPunt), 6);
    Type(IDC_txtValPunt, L"12345678");
    EXPECT_EQ(TextOf(IDC_txtValPunt), "123456");
    SelectSize(2);
    EXPECT_EQ(Limit(IDC_txtValPunt), 8);
    Type(IDC_txtValPunt, L"12345678");
    SelectSize(0);
    EXPECT_EQ(TextOf(IDC_txtValPunt), "") << "emptied first, never cut";
    EXPECT_EQ(Limit(IDC_txtValPunt), 4);

    // Also while the field is off.
    Type(IDC_txtValPunt, L"abcd");
    Click(IDC_ckValPunt);
    EXPECT_FALSE(IsWindowEnabled(C(IDC_txtValPunt)));
    EXPECT_EQ(TextOf(IDC_txtValPunt), "abcd") << "unchecking keeps the text";
    SelectSize(2);
    EXPECT_EQ(TextOf(IDC_txtValPunt), "");
    EXPECT_EQ(Limit(IDC_txtValPunt), 8);
}

TEST_F(FrmMainTest, AlwaysOnTopFollowsTheCheckBox) {
    RECT before{};
    GetWindowRect(form->Handle(), &before);
    Click(IDC_ckWindow);
    EXPECT_TRUE(GetWindowLongPtrW(form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    Click(IDC_ckWindow);
    EXPECT_FALSE(GetWindowLongPtrW(form->Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT after{};
    GetWindowRect(form->Handle(), &after);
    EXPECT_TRUE(EqualRect(&before, &after));
}

TEST_F(FrmMainTest, ChoosingARomRecordsItsLengthAndName) {
    const std::string rom = dir.Write("juego.smc", std::string(1234, 'x'));
    ChooseRom(rom, "juego.smc");
    ASSERT_EQ(world.dialogs.size(), 1u);
    const OpenFileRequest& asked = world.dialogs[0];
    EXPECT_EQ(asked.title, "Abrir ROM");
    EXPECT_EQ(asked.initialFolder, dir.Path());
    EXPECT_EQ(asked.flags, static_cast<DWORD>(OFN_HIDEREADONLY | OFN_NOCHANGEDIR));
    EXPECT_EQ(asked.filterIndex, 1u);
    EXPECT_EQ(TextOf(IDC_lblROM), "juego.smc");
    EXPECT_EQ(FocusId(), IDC_txtInitext);
    EXPECT_TRUE(world.messages.empty());
    EXPECT_TRUE(RequestSeesRom("juego.smc", 1234));

    // Cancel: silent, and the earlier choice stays.
    SetFocus(C(IDC_ckWindow));
    world.nextChoice.reset();
    Click(IDC_cmdOpen);
    EXPECT_TRUE(world.messages.empty());
    EXPECT_EQ(TextOf(IDC_lblROM), "juego.smc");
    EXPECT_EQ(FocusId(), IDC_ckWindow);
    EXPECT_TRUE(RequestSeesRom("juego.smc", 1234));

    // Another folder, and an empty file.
    TempFolder other;
    ChooseRom(other.Write("vacia.gb"), "vacia.gb");
    EXPECT_EQ(TextOf(IDC_lblROM), "vacia.gb");
    EXPECT_TRUE(RequestSeesRom("vacia.gb", 0));
    dir.Write("Zeltor.exe");
    Type(IDC_txtInitext, L"0");
    Click(IDC_cmdRecalcular);
    EXPECT_EQ(world.messages.back(),
              "La ROM debe estar en el mismo directorio de esta aplicación.");
}

TEST_F(FrmMainTest, TheLabelOpensTheSameDialog) {
    SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(IDC_lblROM, STN_CLICKED),
                 reinterpret_cast<LPARAM>(C(IDC_lblROM)));
    Click(IDC_cmdOpen);
    ASSERT_EQ(world.dialogs.size(), 2u);
    EXPECT_EQ(world.dialogs[0].title, world.dialogs[1].title);
    EXPECT_EQ(world.dialogs[0].filter, world.dialogs[1].filter);
    EXPECT_EQ(world.dialogs[0].initialFolder, world.dialogs[1].initialFolder);
}

TEST_F(FrmMainTest, AFileThatCannotBeMeasuredLeavesTheEarlierChoice) {
    ChooseRom(dir.Write("juego.smc", "1234"), "juego.smc");

    ChooseRom(dir.Sub("borrada.smc"), "borrada.smc");
    ASSERT_EQ(world.messages.size(), 1u);
    EXPECT_EQ(world.messages[0].rfind('2', 0), 0u) << world.messages[0];
    EXPECT_GT(world.messages[0].size(), 1u) << "the description follows the number";
    EXPECT_EQ(GetFileAttributesW(Widen(dir.Sub("borrada.smc")).c_str()), INVALID_FILE_ATTRIBUTES)
        << "measuring must not create the file";

    // 2 GiB does not fit a Long: reported as the overflow error.
    const std::string big = dir.Sub("grande.bin");
    {
        const UniqueHandle file(CreateFileW(Widen(big).c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file.Valid());
        LARGE_INTEGER size{};
        size.QuadPart = 0x80000000LL;
        SetFilePointerEx(file.Get(), size, nullptr, FILE_BEGIN);
        ASSERT_TRUE(SetEndOfFile(file.Get()));
    }
    ChooseRom(big, "grande.bin");
    ASSERT_EQ(world.messages.size(), 2u);
    EXPECT_EQ(world.messages[1].rfind('6', 0), 0u) << world.messages[1];

    EXPECT_EQ(TextOf(IDC_lblROM), "juego.smc");
    EXPECT_TRUE(RequestSeesRom("juego.smc", 4));
}

// Messages shown in real, modal message boxes, which take the keyboard while they are open.
class ButtonFocus : public FrmMainTest {
protected:
    void SetUp() override {
        realBoxes = true;
        FrmMainTest::SetUp();
    }

    // A pointer that lies where the test says, for the button's hover polling.
    struct Pointer : PointerPosition {
        bool CursorPos(POINT& point) override {
            point = POINT{0, 0};
            return true;
        }
        HWND WindowAt(POINT) override { return window; }
        HWND window = nullptr;
    };

    // Column 1 of a square face, halfway down: the ring, or the background beside the face.
    static std::int32_t Ring(const XP_button& b) {
        return XP_buttonProbe::Pixel(b, 1, XP_buttonProbe::BufferHeight(b) / 2);
    }
    static void PumpFor(DWORD milliseconds) {
        const DWORD end = GetTickCount() + milliseconds;
        while (static_cast<int>(end - GetTickCount()) > 0) {
            Pump();
            Sleep(1);
        }
    }
};

TEST_F(ButtonFocus, AClickMarksTheButtonThroughItsMessageBoxUntilTheFocusMovesOn) {
    constexpr std::int32_t kLeftClickedRing = 0x00FFB4B4;
    const std::int32_t plain = static_cast<std::int32_t>(GetSysColor(COLOR_BTNFACE));
    MessageBoxWatch watch;
    HWND button = C(IDC_cmdRecalcular);
    XP_button& b = *XP_button::FromHandle(button);
    Pointer pointer;
    pointer.window = button;
    b.SetPointerPosition(&pointer);
    SetFocus(C(IDC_txtInitext));

    // A mouse click, as the system posts it; the request is refused in a message box.
    PostMessageW(button, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    PostMessageW(button, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    Pump();
    ASSERT_EQ(watch.boxes.size(), 1u);
    EXPECT_EQ(watch.boxes[0].caption, "ZeltorIGU");
    EXPECT_EQ(GetFocus(), button) << "the box gave the focus back";
    EXPECT_TRUE(XP_buttonProbe::Clicked(b));
    EXPECT_EQ(Ring(b), plain) << "no ring drawn when the box gave the focus back";

    // The pointer leaves: the light ring marks the button used last.
    pointer.window = nullptr;
    PumpFor(60);
    EXPECT_EQ(Ring(b), kLeftClickedRing);

    // Another window takes the keyboard for a while, then gives it back: nothing changes.
    HWND other = CreateWindowExW(0, L"STATIC", L"otra", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetForegroundWindow(other);
    SetFocus(other);
    Pump();
    EXPECT_EQ(GetFocus(), other);
    SetForegroundWindow(form->Handle());
    Pump();
    DestroyWindow(other);
    EXPECT_EQ(GetFocus(), button);
    EXPECT_TRUE(XP_buttonProbe::Clicked(b));
    EXPECT_EQ(Ring(b), kLeftClickedRing);

    // Tab moves the focus to the next control: that is the loss, and the ring goes with it.
    PostMessageW(button, WM_KEYDOWN, VK_TAB, 1);
    Pump();
    EXPECT_EQ(FocusId(), IDC_ckWindow);
    EXPECT_FALSE(XP_buttonProbe::Clicked(b));
    EXPECT_EQ(Ring(b), plain);
    SetFocus(button);
    EXPECT_EQ(Ring(b), plain) << "the focus comes back without a click: no ring";
    b.SetPointerPosition(nullptr);
}

TEST(RomFilter, OffersTheElevenTypesAsWritten) {
    // The dialog's list, read back from what the window hands it.
    std::string filter;
    {
        TempFolder dir;
        WindowServices s;
        s.appFolder = dir.Path();
        s.openFile = [&](HWND, const OpenFileRequest& r) -> std::optional<OpenFileResult> {
            filter = r.filter;
            return std::nullopt;
        };
        frmMain form(s);
        form.Create(GetModuleHandleW(nullptr));
        SendMessageW(form.Control(IDC_cmdOpen), BM_CLICK, 0, 0);
    }
    const std::wstring list = DialogFilter(filter);
    std::vector<std::string> entries;
    for (size_t at = 0; at < list.size() && list[at] != L'\0';) {
        const size_t end = list.find(L'\0', at);
        entries.push_back(Narrow(list.substr(at, end - at)));
        at = end + 1;
    }
    const std::vector<std::string> expected = {"SNES SMC (*.smc)",
                                               "*.smc",
                                               "SNES SWC (*.swc)",
                                               "*.swc",
                                               "SNES FIG (*.fig)",
                                               "*.fig",
                                               "SNES GD7 (*.078)",
                                               "*.078",
                                               "NES (*.nes)",
                                               "*.nes",
                                               "Genesis BIN (*.bin)",
                                               "*.bin",
                                               "Genesis SMD (*.smd)",
                                               "*.smd",
                                               "Gameboy GB(*.gb)",
                                               "*.gb",
                                               "Gameboy GBC (*.gbc*)",
                                               "*.gbc",
                                               "Game Gear GG  (*.gg)",
                                               "*.gg ",
                                               "Todos los archivos (*.*)",
                                               "*.*"};
    EXPECT_EQ(entries, expected);
}

} // namespace
