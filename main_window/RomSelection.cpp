// frmMain's ROM selection: the file dialog, a drop and a ROM named on the command line, and the
// values remembered for each ROM.
#include "main_window/frmMain.h"

#include "main_window/RomMemory.h"
#include "portable/ErrorText.h"
#include "portable/JoinPath.h"
#include "win32/AppFolder.h"
#include "win32/Utf.h"

#include <commdlg.h>

namespace {

// The ROM types the dialog offers, joined as the dialog expects them.
constexpr char kRomFilter[] =
    "SNES SMC "
    "(*.smc)|*.smc|SNES SWC (*.swc)|*.swc|SNES FIG (*.fig)|*.fig|SNES GD7 (*.078)|*.078|"
    "NES (*.nes)|*.nes|"
    "Genesis BIN (*.bin)|*.bin|Genesis SMD (*.smd)|*.smd|Gameboy GB(*.gb)|*.gb|"
    "Gameboy GBC (*.gbc*)|*.gbc|Game Gear GG  (*.gg)|*.gg |Todos los archivos (*.*)|*.*";

} // namespace

void frmMain::cmdOpen_Click() {
    if (m_RequestUnderWay) {
        return; // the ROM of a recalculation under way stays chosen until it has ended
    }
    try {
        OpenFileRequest request;
        request.title = "Abrir ROM";
        // The dialog leaves the current folder alone, so that no folder stays in use (and a
        // removable drive can still be ejected) after a choice. Nothing depends on the current
        // folder: the recalculator is started in the chosen ROM's folder, named explicitly.
        request.flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
        request.initialFolder = m_Services.appFolder;
        request.filter = kRomFilter;
        request.filterIndex = 1; // the first entry, "SNES SMC (*.smc)"
        const std::optional<OpenFileResult> chosen = m_Services.openFile(Handle(), request);
        if (!chosen) {
            return; // cancelled: the earlier choice stays
        }
        TakeRom(chosen->path, chosen->title);
    } catch (const RuntimeError& error) {
        ShowRomError(error);
    }
}

void frmMain::OpenRom(const std::string& path) {
    if (m_RequestUnderWay) {
        return;
    }
    try {
        const std::string fullPath = FullPath(path);
        TakeRom(fullPath, fullPath.substr(fullPath.find_last_of("\\/") + 1));
    } catch (const RuntimeError& error) {
        ShowRomError(error);
    }
}

void frmMain::OnDropFiles(HDROP drop) {
    try {
        const std::optional<std::string> path = TakeDroppedFile(drop); // releases the drop
        if (path) {
            OpenRom(*path);
        }
    } catch (const RuntimeError& error) {
        ShowRomError(error);
    }
}

void frmMain::TakeRom(const std::string& path, const std::string& title) {
    // Measured through the full path; every part of the choice changes together, so a file
    // that cannot be measured leaves the earlier choice whole.
    const std::int32_t length = m_Services.measureFile(path);
    m_RomFolder = FolderOf(path);
    m_cdFileTitle = title;
    m_RomLength = length;
    SetWindowTextW(Control(IDC_lblROM), Widen(title).c_str());
    RecallValues(path);
    // Selected, as a Tab would leave it: a remembered value is replaced by what is typed.
    HWND first = Control(IDC_txtInitext);
    SetFocus(first);
    SendMessageW(first, EM_SETSEL, 0, -1);
}

void frmMain::ShowRomError(const RuntimeError& error) {
    m_Services.showMessage(Handle(), RomSelectionErrorText(error));
}

void frmMain::RecallValues(const std::string& romPath) {
    // A convenience that can be ignored: it fills a form nobody has typed into, whole, and
    // never replaces what was typed or leaves a form half remembered, half typed.
    for (const ControlRow& c : FormControls()) {
        if (c.kind == ControlKind::HexField && GetWindowTextLengthW(Control(c.id)) > 0) {
            return;
        }
    }
    const RomValues v = RecallRomValues(JoinPath(m_Services.appFolder, kRomMemoryFile), romPath);
    // The size first: its handler empties the first pointer, which is filled after it.
    if (v.pointerSize) {
        HWND cbo = Control(IDC_cboTam);
        const LRESULT item = SendMessageW(cbo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                          reinterpret_cast<LPARAM>(Widen(*v.pointerSize).c_str()));
        SendMessageW(cbo, CB_SETCURSEL, static_cast<WPARAM>(item), 0);
        cboTam_Click();
    }
    const std::pair<int, const std::optional<std::string>*> texts[] = {
        {IDC_txtInitext, &v.textStart},
        {IDC_txtIniPunt, &v.tableStart},
        {IDC_txtFinPunt, &v.tableEnd},
        {IDC_txtSeparador, &v.separator},
    };
    for (const auto& [id, value] : texts) {
        if (*value) {
            SetWindowTextW(Control(id), Widen(**value).c_str());
        }
    }
    if (v.firstPointerGiven) {
        SendMessageW(Control(IDC_ckValPunt), BM_SETCHECK,
                     *v.firstPointerGiven ? BST_CHECKED : BST_UNCHECKED, 0);
        ckValPunt_Click();
    }
    HWND value = Control(IDC_txtValPunt);
    if (v.firstPointer &&
        v.firstPointer->size() <= static_cast<size_t>(SendMessageW(value, EM_GETLIMITTEXT, 0, 0))) {
        SetWindowTextW(value, Widen(*v.firstPointer).c_str());
    }
}

void frmMain::RememberValues(const RecalcRequest& r) const {
    RomValues v;
    v.textStart = r.textStart;
    v.tableStart = r.tableStart;
    v.tableEnd = r.tableEnd;
    v.pointerSize = r.pointerSize;
    v.separator = r.separator;
    v.firstPointerGiven = r.firstPointer.has_value();
    v.firstPointer = r.firstPointer;
    RememberRomValues(JoinPath(m_Services.appFolder, kRomMemoryFile),
                      JoinPath(r.romFolder, r.romName), v);
}

void frmMain::lblROM_Click() {
    cmdOpen_Click();
}
