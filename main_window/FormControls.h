#pragma once

#include <windows.h>

#include <span>

// Control identifiers, in tab order.
enum ControlId : int {
    IDC_cmdOpen = 100,
    IDC_lblROM,
    IDC_txtInitext,
    IDC_txtIniPunt,
    IDC_txtFinPunt,
    IDC_cboTam,
    IDC_txtSeparador,
    IDC_ckValPunt,
    IDC_txtValPunt,
    IDC_cmdRecalcular,
    IDC_ckWindow,
    IDC_Label2,
    IDC_Label3,
    IDC_Label4,
    IDC_Label5,
    IDC_Label6,
    IDC_Label1,
    IDC_Label7,
    IDC_Line1,
};

// What a control is. Each kind is made in its own way, the same for every control of it.
enum class ControlKind {
    Button,   // an XP_button with the properties the form stores for it
    RomName,  // the chosen ROM's name, on the window's colours; a click opens the dialog
    Label,    // a caption beside the field it names
    HexField, // a text box that takes hexadecimal digits only (HexField)
    SizeList, // a drop-down list of the pointer sizes
    CheckBox,
    Rule, // an etched line two pixels high, from its left end to its right end
};

// Text colour of a label that does not keep the system's.
inline constexpr COLORREF kSystemColour = CLR_INVALID;

struct ControlRow {
    int id;
    ControlKind kind;
    const char* name;    // the form's name for it; a button's properties are stored under it
    const char* caption; // UTF-8
    int left, top, width, height; // twips; a rule has no height of its own
    int maxLength = 0;            // characters a field takes; 0 for no limit of its own
    COLORREF textColour = kSystemColour;
};

// Every control of the form, in tab order: the order of creation is the order in which Tab
// visits them.
std::span<const ControlRow> FormControls();

// The control of that identifier, or nullptr.
const ControlRow* FindControl(int id);
