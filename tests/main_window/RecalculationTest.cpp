// The recalculation request through the window, with the world behind its seams: the rules,
// the recalculator's end, the error trap, and the guard that keeps a second request out.
#include "portable/RuntimeError.h"
#include "tests/main_window/FormFixture.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

class Recalculation : public FrmMainTest {
protected:
    void SetUp() override {
        FrmMainTest::SetUp();
        dir.Write("Zeltor.exe");
        ChooseRom(dir.Write("juego.smc", std::string(0x20000, '\0')), "juego.smc");
        Type(IDC_txtInitext, L"1A000");
        Type(IDC_txtIniPunt, L"180A0");
        Type(IDC_txtFinPunt, L"183FF");
        Type(IDC_txtSeparador, L"00");
    }

    void Press() { Click(IDC_cmdRecalcular); }
    bool Remembered() const {
        return GetFileAttributesW(Widen(dir.Sub("ZeltorIGU.ini")).c_str()) !=
               INVALID_FILE_ATTRIBUTES;
    }
};

TEST_F(Recalculation, StartsTheRecalculatorAndSaysHowItEnded) {
    world.exit = RecalculatorExit{3, "Zeltor: ERROR 3: la tabla no cuadra.\r\n"};
    Press();
    ASSERT_EQ(world.launches.size(), 1u);
    EXPECT_EQ(world.launches[0].program, dir.Sub("Zeltor.exe"));
    const std::string fields = " juego.smc 1A000 180A0 183FF 2 00";
    EXPECT_EQ(world.started[0].substr(world.started[0].size() - fields.size()), fields);
    EXPECT_EQ(world.messages,
              std::vector<std::string>{"No se han recalculado los punteros: Zeltor.exe terminó con "
                                       "el código 3.\r\n\r\nZeltor: ERROR 3: la tabla no cuadra."});
    EXPECT_FALSE(Remembered()) << "only a request Zeltor.exe carried out is remembered";

    // Its log beside the ROM is named; every accepted press starts the recalculator again.
    dir.Write("juego.smc.zeltor.log", "registro");
    Press();
    EXPECT_EQ(world.messages.back().substr(world.messages.back().rfind("\r\n\r\n") + 4),
              "Más detalles en el registro juego.smc.zeltor.log, junto a la ROM.");
    world.exit = RecalculatorExit{0, ""};
    Press();
    EXPECT_EQ(world.started.size(), 3u);
    EXPECT_EQ(world.messages.back(), "¡Punteros recalculados!");
    EXPECT_TRUE(Remembered());
}

TEST_F(Recalculation, SaysNothingWhenTheApplicationIsQuitting) {
    world.exit.reset();
    Press();
    EXPECT_TRUE(world.messages.empty());
    EXPECT_FALSE(Remembered());
    // The request is over all the same: the next press starts again.
    world.exit = RecalculatorExit{};
    Press();
    EXPECT_EQ(world.started.size(), 2u);
    EXPECT_EQ(world.messages, std::vector<std::string>{"¡Punteros recalculados!"});
}

TEST_F(Recalculation, TrapsEveryFailureInOneMessage) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        const char* message;
    };
    const Case cases[] = {
        {"overflow in an offset", [this] { Type(IDC_txtInitext, L"80000000"); },
         "Por favor verifique las direcciones"},
        {"the start fails",
         [this] { world.duringRun = [] { throw RuntimeError(2, "No se encuentra el archivo"); }; },
         "Error:2 - No se encuentra el archivo\r\npor favor reportarlo a quien@ejemplo.org. "
         "¡Gracias!"},
        {"the file search fails",
         [this] {
             world.fileExists = [](const std::string&) -> bool {
                 throw RuntimeError(21, "El dispositivo no está listo");
             };
         },
         "Error:21 - El dispositivo no está listo\r\npor favor reportarlo a quien@ejemplo.org. "
         "¡Gracias!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetWindowTextW(C(IDC_txtInitext), L"1A000");
        world = World{};
        c.arrange();
        Press();
        EXPECT_EQ(world.messages, std::vector<std::string>{c.message});
        // Nothing is left half done: with the cause gone, the next press goes through.
        world = World{};
        SetWindowTextW(C(IDC_txtInitext), L"1A000");
        Press();
        EXPECT_EQ(world.messages, std::vector<std::string>{"¡Punteros recalculados!"});
    }
}

TEST_F(Recalculation, RefusesEveryOtherRequestWhileOneIsUnderWay) {
    const std::string other = dir.Write("otra.smc", "x");
    // Whatever a message let through meanwhile: both buttons, the label, a drop or a ROM named
    // to the window.
    const auto tryEverything = [&] {
        world.nextChoice = OpenFileResult{other, "otra.smc"};
        Click(IDC_cmdRecalcular);
        Click(IDC_cmdOpen);
        SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(IDC_lblROM, STN_CLICKED),
                     reinterpret_cast<LPARAM>(C(IDC_lblROM)));
        form->OpenRom(other);
    };
    struct Phase {
        const char* name;
        std::function<void(const std::function<void()>&)> arrange;
    };
    const Phase phases[] = {
        {"its file search",
         [this](const std::function<void()>& meanwhile) {
             world.fileExists = [meanwhile, once = true](const std::string& path) mutable {
                 if (std::exchange(once, false)) {
                     meanwhile();
                 }
                 return FileExists(path);
             };
         }},
        {"the recalculator's run",
         [this](const std::function<void()>& meanwhile) { world.duringRun = meanwhile; }},
        {"its message",
         [this](const std::function<void()>& meanwhile) { world.duringMessage = meanwhile; }},
    };
    for (const Phase& phase : phases) {
        SCOPED_TRACE(phase.name);
        world = World{};
        phase.arrange(tryEverything);
        Press();
        EXPECT_EQ(world.started.size(), 1u);
        EXPECT_EQ(world.messages.size(), 1u);
        EXPECT_TRUE(world.dialogs.empty());
        EXPECT_EQ(TextOf(IDC_lblROM), "juego.smc");

        // Refused only while it lasts.
        world = World{};
        Press();
        EXPECT_EQ(world.started.size(), 1u);
    }
}

} // namespace
