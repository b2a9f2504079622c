// frmMain's recalculation request: the press of "Recalcular punteros", from the fields to the
// message.
#include "main_window/frmMain.h"

#include "portable/ErrorText.h"
#include "request/ExitMessage.h"
#include "win32/Utf.h"

namespace {

// Marks a request as under way for as long as it lives, when none was; false otherwise.
class RequestGuard {
public:
    explicit RequestGuard(bool& underWay) : m_UnderWay(underWay), m_Taken(!underWay) {
        underWay = true;
    }
    ~RequestGuard() {
        if (m_Taken) {
            m_UnderWay = false;
        }
    }
    RequestGuard(const RequestGuard&) = delete;
    RequestGuard& operator=(const RequestGuard&) = delete;
    explicit operator bool() const { return m_Taken; }

private:
    bool& m_UnderWay;
    bool m_Taken;
};

} // namespace

RecalcRequest frmMain::GatherRequest() const {
    RecalcRequest r;
    r.appFolder = m_Services.appFolder;
    r.romFolder = m_RomFolder;
    r.romName = m_cdFileTitle;
    r.shownRomName = Text(IDC_lblROM);
    r.romLength = m_RomLength;
    r.textStart = Text(IDC_txtInitext);
    r.tableStart = Text(IDC_txtIniPunt);
    r.tableEnd = Text(IDC_txtFinPunt);
    r.pointerSize = Text(IDC_cboTam);
    r.separator = Text(IDC_txtSeparador);
    if (Checked(IDC_ckValPunt)) {
        r.firstPointer = Text(IDC_txtValPunt);
    }
    return r;
}

void frmMain::cmdRecalcular_Click() {
    const RequestGuard guard(m_RequestUnderWay);
    if (!guard) {
        return; // a press let through by the request under way
    }
    std::optional<std::string> message;
    try {
        message = Recalculate(GatherRequest());
    } catch (const RuntimeError& error) {
        message = RecalculationErrorText(error, m_Services.contact);
    }
    // Shown while the request still counts as under way, so that nothing the box lets
    // through can start another one underneath it.
    if (message) {
        m_Services.showMessage(Handle(), *message);
    }
}

// The rules, then the recalculator: the message to show, or nothing when the application is
// quitting and there is no one left to tell.
std::optional<std::string> frmMain::Recalculate(const RecalcRequest& request) {
    const RecalcOutcome outcome = CheckRequest(request, m_Services.fileExists);
    if (outcome.IsMessage()) {
        return outcome.message;
    }
    const std::optional<RecalculatorExit> exit = m_Services.runProgram(outcome.launch);
    if (!exit) {
        return std::nullopt;
    }
    if (exit->code == 0) {
        RememberValues(request);
    }
    return ExitMessage(*exit, LogBesideRom(request, m_Services.fileExists));
}
