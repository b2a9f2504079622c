#pragma once

#include "portable/FontObject.h"
#include "portable/PropertyStore.h"
#include "win32/BackBuffer.h"
#include "win32/Gdi.h"
#include "win32/PointerPosition.h"
#include "win32/Window.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// The XP-style push button: a registered window class that draws a gradient face with a
// square or rounded border, hover and focus rings, a pressed and a disabled look.
//
// Every face is drawn into a back buffer (a memory DC with a 32-bit top-down DIB section)
// that WM_PAINT and WM_PRINTCLIENT copy, so the window shows the last face drawn.
class XP_button : public Window {
public:
    // lpCreateParams of CreateWindowExW: the host's name for the instance and the properties
    // it saved for it (nullptr for a new instance).
    struct CreateInfo {
        std::wstring displayName;
        const PropertyStore* stored;
    };

    static constexpr UINT_PTR kTimer1 = 1;
    static constexpr UINT kTimer1Interval = 3; // milliseconds

    // Registers the window class L"XP_button"; calling it again does nothing.
    static void Register(HINSTANCE instance);
    static XP_button* FromHandle(HWND window); // nullptr unless it is an XP_button
    // Number of the run-time error that made the last creation on this thread fail, or 0.
    static int CreationError();

    // Life cycle: Initialize first, then InitProperties (new) or ReadProperties (loaded).
    void Initialize();
    void InitProperties();
    void ReadProperties(const PropertyStore& store);
    void WriteProperties(PropertyStore& store) const;

    // Properties. Each assignment stores, draws, then tells the host which property changed.
    std::int32_t Apparence() const { return m_Apparence; }
    void Apparence(std::int32_t new_app);
    std::shared_ptr<FontObject> Font() const { return m_Font; }
    void Font(std::shared_ptr<FontObject> new_font); // nullptr raises error 91
    bool Enabled() const { return m_Enabled; }
    void Enabled(bool new_enabled);
    std::int32_t ForeColor() const { return m_ForeColor; }
    void ForeColor(std::int32_t new_ForeColor);
    std::string Caption() const { return m_Caption; }
    void Caption(const std::string& new_Caption);
    std::int32_t BackColor() const { return m_BackColor; }
    void BackColor(std::int32_t new_back);

    // The host's change notification, called with a property's name after each assignment.
    void SetPropertyChanged(std::function<void(const std::string&)> notify) {
        m_PropertyChanged = std::move(notify);
    }
    // Where the pointer is; the system's own unless a test puts another in place.
    void SetPointerPosition(PointerPosition* pointer) {
        m_Pointer = pointer != nullptr ? pointer : &SystemPointerPosition::Instance();
    }

    XP_button(const XP_button&) = delete;
    XP_button& operator=(const XP_button&) = delete;

private:
    friend struct XP_buttonProbe;

    explicit XP_button(const CreateInfo* info);
    ~XP_button() override = default;
    // Each window of the class makes its own object, which goes with the window.
    static Window* Make(HWND window, const CREATESTRUCTW& create);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;
    LRESULT HandleInput(UINT message, WPARAM wParam, LPARAM lParam);
    void OnCreate(const CREATESTRUCTW& create);
    void OnButtonDown(UINT message, WPARAM wParam, LPARAM lParam);
    void OnButtonUp(UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT OnGetDlgCode(const MSG* msg);
    bool OnKeyDown(WPARAM key, LPARAM flags);
    void OnFinalMessage() override { delete this; }
    LRESULT OnUntrappedError(UINT message, WPARAM wParam, const std::exception_ptr& error) override;

    // Drawing.
    void DrawFace(std::int32_t base);
    void DrawCaption(const std::string& text);
    void DrawHighlightBorder(std::int32_t ringColor);
    void DrawPressedFace();
    void DrawDisabledFace();
    void RedrawFace();
    void DrawFocusBorder();
    void ClearFocusBorder();
    std::int32_t ShadeColor(std::int32_t color, std::int32_t amount) const;

    // Interaction.
    HWND WindowUnderCursor();
    void MouseMove(std::int16_t button, std::int16_t shift, float x, float y);
    void MouseDown(std::int16_t button, std::int16_t shift, float x, float y);
    void MouseUp(std::int16_t button, std::int16_t shift, float x, float y);
    void Click();
    void GotFocus();
    void LostFocus();
    void OnSetFocus(HWND previousFocus);
    void OnKillFocus(HWND newFocus);
    bool InSameWindow(HWND other) const;
    void Resize();
    void Show();
    void Timer1_Timer();
    void Timer1Enabled(bool enabled);

    // What the back buffer shows, as everything that went into drawing it: a request for
    // the face it shows already draws nothing. Each mouse move over the button asks for its
    // hover face again, and the system colours may have changed in between.
    enum class FaceKind : std::uint8_t { None, Plain, Pressed, Disabled };
    struct FaceState {
        FaceKind kind = FaceKind::None;
        std::int32_t base = 0;
        std::int32_t ring = 0;
        bool shifted = false;
        bool square = false;
        int width = 0;
        int height = 0;
        int dpi = 0;
        std::int32_t fore = 0;
        COLORREF face = 0;
        COLORREF highlight = 0;
        COLORREF shadow = 0;
        COLORREF darkShadow = 0;
        std::string caption;
        std::int64_t captionSize = 0;
        std::string fontName;
        std::int64_t fontSize = 0;
        std::int16_t fontWeight = 0;
        bool fontItalic = false;
        bool fontUnderline = false;
        bool fontStrikethrough = false;

        bool operator==(const FaceState&) const = default;
    };
    // Whether the buffer shows this face as the members stand now.
    bool Shows(FaceKind kind, std::int32_t base, std::int32_t ring, const RECT& client);
    // DrawFace without presenting it; false when the face was there already.
    bool PaintFace(std::int32_t base);

    // The surface: back buffer, clearing, and the caption's font.
    HDC SurfaceDc();
    void Cls(HDC dc, const RECT& client);
    LOGFONTW CaptionLogFont(HDC dc) const;
    HFONT CaptionFont(HDC dc);
    void Present();
    void PaintTo(HDC target);
    void Notify(const char* property);

    std::string m_DisplayName;
    std::function<void(const std::string&)> m_PropertyChanged;
    PointerPosition* m_Pointer;
    std::shared_ptr<FontObject> m_SurfaceFont; // m_Font shares it until another one is assigned
    bool m_Timer1Enabled = false;
    bool m_LeftDown = false;
    bool m_FocusAway = false; // the focus is in another window for a while

    // Back buffer, made again only when the client size changes.
    BackBuffer m_Buffer;
    FaceState m_Drawn;
    FaceState m_Wanted;
    GdiFont m_CaptionFont;
    LOGFONTW m_CaptionLogFont{};

    // The control's state, in declaration order.
    bool m_Enabled = false;
    std::string m_Caption;
    std::int32_t m_BackColor = 0;
    std::int32_t m_ForeColor = 0;
    std::shared_ptr<FontObject> m_Font;
    std::int32_t m_Apparence = 0;
    bool m_Hover = false;
    bool m_Pressed = false;
    bool m_Clicked = false;
    bool m_ShiftCaption = false;
    bool m_Square = false;
    std::int32_t m_Counter = 0;
};
