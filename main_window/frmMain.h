#pragma once

#include "main_window/FormControls.h"
#include "main_window/Services.h"
#include "portable/RuntimeError.h"
#include "request/RecalcRequest.h"
#include "win32/Gdi.h"
#include "win32/Window.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

// The drawing objects the form's controls use. A base of frmMain named before Window, so that
// they are deleted only after the window, and every control with it, is gone.
struct FormDrawingObjects {
    GdiFont font;         // every control's but the buttons'
    GdiBrush windowBrush; // behind the chosen ROM's name
};

// The program's one window: the ROM, the offsets, the options and the two buttons.
class frmMain : private FormDrawingObjects, public Window {
public:
    explicit frmMain(WindowServices services);

    // Creates the window and its controls and runs Form_Load; the window is not shown yet.
    HWND Create(HINSTANCE instance);

    HWND Control(int id) const { return GetDlgItem(Handle(), id); }

    // Takes the file as the ROM exactly as if it had been chosen in the file dialog, after
    // the window is up: a ROM named on the command line, or dropped on the window.
    void OpenRom(const std::string& path);

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // Twips to pixels at the window's resolution, to nearest, ties to even.
    int Px(int twips) const;
    void CreateControls(HINSTANCE instance);
    void CreateControl(HINSTANCE instance, const ControlRow& control);
    void Form_Load();
    void OnCommand(int id, int code);
    void OnNextField(HWND from);
    HBRUSH OnCtlColorStatic(HDC dc, HWND control);

    void cmdOpen_Click();
    void lblROM_Click();
    void TakeRom(const std::string& path, const std::string& title);
    void ShowRomError(const RuntimeError& error);
    void OnDropFiles(HDROP drop);
    void RecallValues(const std::string& romPath);
    void RememberValues(const RecalcRequest& request) const;
    void cmdRecalcular_Click();
    std::optional<std::string> Recalculate(const RecalcRequest& request);
    void cboTam_Click();
    void ckValPunt_Click();
    void ckWindow_Click();

    RecalcRequest GatherRequest() const;
    std::string Text(int id) const;
    bool Checked(int id) const;

    WindowServices m_Services;
    // A recalculation request is under way: its file searches and its wait let messages
    // through, and no other request, nor another choice of ROM, may start meanwhile.
    bool m_RequestUnderWay = false;
    std::int32_t m_RomLength = 0;
    std::string m_RomFolder;   // where the chosen ROM lies, and where it is rewritten
    std::string m_cdFileTitle; // the chosen ROM's name without folder, as the dialog left it
    int m_Dpi = 96;
    HWND m_LastFocus = nullptr;
};
