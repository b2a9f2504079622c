#include "main_window/FormControls.h"

#include "portable/FieldNames.h"

#include <algorithm>
#include <iterator>

namespace {

using K = ControlKind;
constexpr COLORREF kRed = 0x000000FF;

const ControlRow kControls[] = {
    {IDC_cmdOpen, K::Button, "cmdOpen", "ROM a recalcular punteros", 120, 120, 2415, 255},
    {IDC_lblROM, K::RomName, "lblROM", "", 2640, 120, 1695, 285},
    {IDC_txtInitext, K::HexField, "txtInitext", "", 3120, 480, 1215, 285},
    {IDC_txtIniPunt, K::HexField, "txtIniPunt", "", 3120, 840, 1215, 285},
    {IDC_txtFinPunt, K::HexField, "txtFinPunt", "", 3120, 1200, 1215, 285},
    {IDC_cboTam, K::SizeList, "cboTam", "", 3120, 1560, 615, 315},
    {IDC_txtSeparador, K::HexField, "txtSeparador", "", 3120, 1920, 1215, 285, 2},
    {IDC_ckValPunt, K::CheckBox, "ckValPunt", field_labels::kFirstPointer, 120, 2280, 2990, 255},
    {IDC_txtValPunt, K::HexField, "txtValPunt", "", 3120, 2280, 1215, 285},
    {IDC_cmdRecalcular, K::Button, "cmdRecalcular", "Recalcular punteros", 120, 2760, 4215, 375},
    {IDC_ckWindow, K::CheckBox, "ckWindow", "Ventana siempre encima", 2280, 3240, 2055, 255},
    {IDC_Label2, K::Label, "Label2", field_labels::kTextStart, 120, 480, 1815, 255},
    {IDC_Label3, K::Label, "Label3", field_labels::kTableStart, 120, 840, 2775, 255},
    {IDC_Label4, K::Label, "Label4", field_labels::kTableEnd, 120, 1200, 2655, 255},
    {IDC_Label5, K::Label, "Label5", field_labels::kPointerSize, 120, 1560, 2655, 255},
    {IDC_Label6, K::Label, "Label6", field_labels::kSeparator, 120, 1920, 3015, 255},
    {IDC_Label1, K::Label, "Label1", "bytes", 3840, 1560, 495, 255},
    {IDC_Label7, K::Label, "Label7", "*Todo valor en hexadecimal", 120, 3240, 2055, 255, 0, kRed},
    {IDC_Line1, K::Rule, "Line1", "", 120, 2640, 4200, 0},
};

} // namespace

std::span<const ControlRow> FormControls() {
    return kControls;
}

const ControlRow* FindControl(int id) {
    const auto found = std::find_if(std::begin(kControls), std::end(kControls),
                                    [id](const ControlRow& c) { return c.id == id; });
    return found != std::end(kControls) ? &*found : nullptr;
}
