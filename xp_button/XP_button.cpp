#include "xp_button/XP_button.h"

#include "portable/RuntimeError.h"
#include "win32/Utf.h"
#include "win32/Win32Error.h"
#include "win32/Window.h"
#include "xp_button/XP_buttonShared.h"

#include <cwchar>
#include <exception>

using namespace xp_button_detail;

namespace {

constexpr wchar_t kClassName[] = L"XP_button";

thread_local int t_CreationError = 0;

} // namespace

// ---- Window class -----------------------------------------------------------------------

void XP_button::Register(HINSTANCE instance) {
    // No background brush: every pixel comes from the back buffer.
    if (!RegisterClassOnce(kClassName, instance, nullptr, nullptr, &ProcedureMaking<&Make>)) {
        RaiseWin32Error(GetLastError());
    }
}

Window* XP_button::Make(HWND, const CREATESTRUCTW& create) {
    try {
        return new XP_button(static_cast<const CreateInfo*>(create.lpCreateParams));
    } catch (...) {
        return nullptr; // the creation fails
    }
}

XP_button* XP_button::FromHandle(HWND window) {
    wchar_t name[16] = {};
    if (window == nullptr || GetClassNameW(window, name, 16) == 0 ||
        std::wcscmp(name, kClassName) != 0) {
        return nullptr;
    }
    return static_cast<XP_button*>(Window::FromHandle(window));
}

int XP_button::CreationError() {
    return t_CreationError;
}

XP_button::XP_button(const CreateInfo* info)
    : m_Pointer(&SystemPointerPosition::Instance()), m_SurfaceFont(std::make_shared<FontObject>()) {
    if (info != nullptr) {
        m_DisplayName = Narrow(info->displayName);
    }
    // The surface's fixed drawing state: glyphs over the face, outlines that never fill.
    SetBkMode(m_Buffer.Dc(), TRANSPARENT);
    SelectObject(m_Buffer.Dc(), GetStockObject(NULL_BRUSH));
}

void XP_button::OnCreate(const CREATESTRUCTW& create) {
    t_CreationError = 0;
    const auto* info = static_cast<const CreateInfo*>(create.lpCreateParams);
    Initialize();
    if (info != nullptr && info->stored != nullptr) {
        ReadProperties(*info->stored);
    } else {
        InitProperties();
    }
}

LRESULT XP_button::OnUntrappedError(UINT message, WPARAM wParam, const std::exception_ptr& error) {
    if (message == WM_CREATE) {
        // An error while loading the stored properties fails the creation; the host reads
        // its number from CreationError.
        try {
            std::rethrow_exception(error);
        } catch (const RuntimeError& e) {
            t_CreationError = e.Number();
            return -1;
        } catch (...) {
        }
        ReportUntrappedError(Handle(), error);
        return -1;
    }
    if (message == WM_TIMER && wParam == kTimer1) {
        // A tick that failed would fail again 3 ms later: the polling stops, and the next
        // mouse move starts it again.
        Timer1Enabled(false);
        m_Hover = false;
    }
    return Window::OnUntrappedError(message, wParam, error);
}

// ---- Life cycle -------------------------------------------------------------------------

void XP_button::Initialize() {
    m_BackColor = SysColor(COLOR_BTNHIGHLIGHT);
    m_Enabled = true;
    m_Square = true;
    m_Hover = false;
    m_Apparence = 0;
    m_Font = m_SurfaceFont;
    m_Font->SetName("ms sans serif");
    m_Font->SetSize(std::string_view("8"));
    m_Font->SetItalic(false);
    m_Font->SetBold(false);
    m_Font->SetUnderline(false);
}

void XP_button::InitProperties() {
    m_Caption = m_DisplayName;
    m_BackColor = SysColor(COLOR_BTNHIGHLIGHT);
    m_Enabled = true;
}

void XP_button::ReadProperties(const PropertyStore& store) {
    Caption(AsString(store.Read("Caption", m_DisplayName)));
    Enabled(AsBoolean(store.Read("Enabled", true)));
    BackColor(AsLong(store.Read("BackColor", SysColor(COLOR_BTNHIGHLIGHT))));
    ForeColor(AsLong(store.Read("ForeColor", std::int32_t{0})));
    Apparence(AsLong(store.Read("Apparence", std::int16_t{0})));
    const std::shared_ptr<FontObject> font = Font();
    font->SetName(AsString(store.Read("FontName", std::string("ms sans serif"))));
    font->SetSize(store.Read("FontSize", std::string("8")));
    font->SetBold(AsBoolean(store.Read("FontBold", false)));
    font->SetItalic(AsBoolean(store.Read("FontItalic", false)));
    font->SetUnderline(AsBoolean(store.Read("FontUnderline", false)));
}

void XP_button::WriteProperties(PropertyStore& store) const {
    const std::shared_ptr<FontObject> font = Font();
    store.Write("Caption", m_Caption, m_DisplayName);
    store.Write("Enabled", m_Enabled, true);
    store.Write("BackColor", m_BackColor, std::monostate{}); // no colour equals "nothing"
    store.Write("ForeColor", m_ForeColor, std::int32_t{0});
    store.Write("FontName", font->Name(), std::string("ms sans serif"));
    store.Write("FontSize", font->Size(), std::string("8"));
    store.Write("FontBold", font->Bold(), false);
    store.Write("FontItalic", font->Italic(), false);
    store.Write("FontUnderline", font->Underline(), false);
    store.Write("Apparence", m_Apparence, std::int16_t{0});
}

// ---- Properties -------------------------------------------------------------------------

void XP_button::Notify(const char* property) {
    if (m_PropertyChanged) {
        m_PropertyChanged(property);
    }
}

void XP_button::Apparence(std::int32_t new_app) {
    m_Apparence = new_app;
    if (new_app == 0) {
        m_Square = true;
    } else if (new_app == 1) {
        m_Square = false;
    }
    DrawFace(m_BackColor);
    Notify("Apparence");
}

void XP_button::Font(std::shared_ptr<FontObject> new_font) {
    // Refused before anything changes, so the control always keeps a usable font.
    if (!new_font) {
        throw RuntimeError(ErrorNumber::InvalidUse,
                           "Variable de objeto o de bloque With no establecida");
    }
    m_Font = std::move(new_font);
    m_SurfaceFont->SetName(m_Font->Name());
    m_SurfaceFont->SetSize(m_Font->Size());
    m_SurfaceFont->SetItalic(m_Font->Italic());
    m_SurfaceFont->SetUnderline(m_Font->Underline());
    m_SurfaceFont->SetBold(m_Font->Bold());
    DrawFace(m_BackColor);
    Notify("Font");
}

void XP_button::Enabled(bool new_enabled) {
    m_Enabled = new_enabled;
    if (m_Enabled) {
        DrawFace(m_BackColor);
    } else {
        DrawDisabledFace();
    }
    Notify("Enabled");
}

void XP_button::ForeColor(std::int32_t new_ForeColor) {
    m_ForeColor = new_ForeColor;
    SetTextColor(SurfaceDc(), Ref(Resolve(new_ForeColor)));
    DrawFace(m_BackColor);
    Notify("ForeColor");
}

void XP_button::Caption(const std::string& new_Caption) {
    m_Caption = new_Caption;
    DrawFace(m_BackColor);
    Notify("Caption");
}

void XP_button::BackColor(std::int32_t new_back) {
    m_BackColor = new_back;
    if (m_Enabled) {
        DrawFace(new_back);
    }
    Notify("BackColor");
}
