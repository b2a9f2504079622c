#include "request/RecalcRunner.h"

#include "tests/support/ExampleRequest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Records what the window would have done.
struct Window {
    RecalcRequest request = ExampleRequest();
    std::vector<std::string> started;
    std::vector<std::string> shown;
    std::vector<std::string> remembered;
    RecalculatorExit exit;

    RecalcRunner::Actions Actions() {
        return {[this] { return request; }, [](const std::string&) { return true; },
                [this](const std::string&, const std::string& line) {
                    started.push_back(line);
                    return std::optional<RecalculatorExit>(exit);
                },
                [this](const std::string& text) { shown.push_back(text); },
                [this](const RecalcRequest& r) { remembered.push_back(r.romName); }};
    }
};

TEST(RecalcRunner, StartsAndReportsSuccess) {
    RecalcRunner runner("quien@ejemplo.org");
    Window w;
    EXPECT_TRUE(runner.Run(w.Actions()));
    EXPECT_EQ(w.started,
              std::vector<std::string>{"C:\\Trad\\Zeltor.exe juego.smc 1A000 180A0 183FF 2 00"});
    EXPECT_EQ(w.shown, std::vector<std::string>{"¡Punteros recalculados!"});
    EXPECT_EQ(w.remembered, std::vector<std::string>{"juego.smc"});

    // Every accepted press starts the recalculator again.
    EXPECT_TRUE(runner.Run(w.Actions()));
    EXPECT_EQ(w.started.size(), 2u);
}

TEST(RecalcRunner, ReportsWhatTheRecalculatorSaid) {
    struct Case {
        const char* name;
        std::uint32_t code;
        const char* errorOutput;
        bool logExists;
        const char* message;
    };
    const Case cases[] = {
        {"warnings after success", 0, "Zeltor: AVISO: uno.\r\nZeltor: AVISO: dos.\r\n", true,
         "¡Punteros recalculados!\r\n\r\nZeltor: AVISO: uno.\r\nZeltor: AVISO: dos."},
        {"a refusal, with its log", 3, "Zeltor: ERROR 3: la tabla no cuadra.\r\n", true,
         "No se han recalculado los punteros: Zeltor.exe terminó con el código 3.\r\n\r\n"
         "Zeltor: ERROR 3: la tabla no cuadra.\r\n\r\n"
         "Más detalles en el registro juego.smc.zeltor.log, junto a la ROM."},
        {"killed, silent, no log", 0xC000013A, "", false,
         "No se han recalculado los punteros: Zeltor.exe terminó con el código 3221225786 "
         "(0xC000013A)."},
        {"blank output is no output", 1, " \r\n\r\n", false,
         "No se han recalculado los punteros: Zeltor.exe terminó con el código 1."},
    };
    for (const Case& c : cases) {
        RecalcRunner runner("quien@ejemplo.org");
        Window w;
        w.exit = {c.code, c.errorOutput};
        RecalcRunner::Actions actions = w.Actions();
        std::vector<std::string> searched;
        actions.fileExists = [&](const std::string& path) {
            searched.push_back(path);
            return path.find(".log") == std::string::npos || c.logExists;
        };
        runner.Run(actions);
        EXPECT_EQ(w.shown, std::vector<std::string>{c.message}) << c.name;
        EXPECT_EQ(searched.back(), "C:\\Trad\\juego.smc.zeltor.log") << c.name;
        // Only a run that did its work is remembered.
        EXPECT_EQ(w.remembered.size(), c.code == 0 ? 1u : 0u) << c.name;
    }
}

TEST(RecalcRunner, QuotesOnlyTheEndOfALongErrorOutput) {
    // Megabytes of output: the last ten lines, whole, and never more than 1,000 characters.
    std::string lots;
    for (int i = 0; i < 5000; ++i) {
        lots += "línea " + std::to_string(i) + "\r\n";
    }
    const auto characters = [](const std::string& text) {
        return std::count_if(text.begin(), text.end(),
                             [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; });
    };
    std::string last = LastLines(lots);
    EXPECT_EQ(last.rfind("línea 4990\r\n", 0), 0u) << last;
    EXPECT_EQ(last.find("línea 4999"), last.size() - std::string("línea 4999").size());
    EXPECT_EQ(std::count(last.begin(), last.end(), '\n'), 9);

    // Long lines: as many whole ones as fit, and the last line is never cut short.
    const std::string backup = "Zeltor: ERROR 8: recupérela de la copia juego.smc.bak.";
    last = LastLines(std::string(480, 'a') + "\n" + std::string(480, 'b') + "\n" +
                     std::string(480, 'c') + "\n" + backup);
    EXPECT_EQ(last, std::string(480, 'c') + "\r\n" + backup);

    // One line longer than the allowance keeps its end, where the cause is named.
    last = LastLines(std::string(3000, 'x') + backup + "\n");
    EXPECT_EQ(last.substr(last.size() - backup.size()), backup);
    EXPECT_EQ(last.rfind("…", 0), 0u);
    EXPECT_EQ(characters(last), 1000);
}

TEST(RecalcRunner, ShowsNothingWhenTheApplicationIsQuitting) {
    RecalcRunner runner("quien@ejemplo.org");
    Window w;
    RecalcRunner::Actions actions = w.Actions();
    actions.run = [](const std::string&, const std::string&) {
        return std::optional<RecalculatorExit>();
    };
    EXPECT_TRUE(runner.Run(actions));
    EXPECT_TRUE(w.shown.empty());
    EXPECT_TRUE(w.remembered.empty());
    EXPECT_FALSE(runner.Busy());
}

TEST(RecalcRunner, ShowsTheFailedRuleAndStartsNothing) {
    RecalcRunner runner("quien@ejemplo.org");
    Window w;
    w.request.separator = "0";
    runner.Run(w.Actions());
    EXPECT_TRUE(w.started.empty());
    EXPECT_EQ(w.shown, std::vector<std::string>{"Error, indicar un byte correcto como separador"});
}

TEST(RecalcRunner, TrapsFailures) {
    struct Case {
        const char* name;
        void (*arrange)(Window&, RecalcRunner::Actions&);
        const char* message;
    };
    const Case cases[] = {
        {"overflow in an offset",
         [](Window& w, RecalcRunner::Actions&) { w.request.textStart = "80000000"; },
         "Por favor verifique las direcciones"},
        {"the start fails",
         [](Window&, RecalcRunner::Actions& a) {
             a.run = [](const std::string&, const std::string&) -> std::optional<RecalculatorExit> {
                 throw RuntimeError(2, "No se encuentra el archivo");
             };
         },
         "Error:2 - No se encuentra el archivo\r\npor favor reportarlo a quien@ejemplo.org. "
         "¡Gracias!"},
        {"the file search fails",
         [](Window&, RecalcRunner::Actions& a) {
             a.fileExists = [](const std::string&) -> bool {
                 throw RuntimeError(21, "El dispositivo no está listo");
             };
         },
         "Error:21 - El dispositivo no está listo\r\npor favor reportarlo a quien@ejemplo.org. "
         "¡Gracias!"},
        {"reading the window fails",
         [](Window&, RecalcRunner::Actions& a) {
             a.gather = []() -> RecalcRequest { throw RuntimeError(13, "Tipos no coinciden"); };
         },
         "Error:13 - Tipos no coinciden\r\npor favor reportarlo a quien@ejemplo.org. ¡Gracias!"},
    };
    for (const Case& c : cases) {
        RecalcRunner runner("quien@ejemplo.org");
        Window w;
        RecalcRunner::Actions actions = w.Actions();
        c.arrange(w, actions);
        EXPECT_TRUE(runner.Run(actions)) << c.name;
        EXPECT_EQ(w.shown, std::vector<std::string>{c.message}) << c.name;
        EXPECT_FALSE(runner.Busy()) << c.name;
    }
}

TEST(RecalcRunner, RefusesARequestInsideAnother) {
    RecalcRunner runner("quien@ejemplo.org");
    Window w;
    RecalcRunner::Actions actions = w.Actions();
    int nested = 0;
    bool nestedRan = true;
    // The file search dispatches waiting messages; one of them is a second press.
    actions.fileExists = [&](const std::string&) {
        if (nested++ == 0) {
            nestedRan = runner.Run(actions);
        }
        return true;
    };
    EXPECT_TRUE(runner.Run(actions));
    EXPECT_FALSE(nestedRan);
    EXPECT_EQ(w.started.size(), 1u);
    EXPECT_EQ(w.shown.size(), 1u);
    EXPECT_FALSE(runner.Busy());

    // Refusal is only while the first request runs.
    EXPECT_TRUE(runner.Run(w.Actions()));
    EXPECT_EQ(w.started.size(), 2u);
}

TEST(RecalcRunner, StaysBusyWhileItsMessageIsShown) {
    RecalcRunner runner("quien@ejemplo.org");
    Window w;
    RecalcRunner::Actions actions = w.Actions();
    bool busyDuringShow = false;
    actions.show = [&](const std::string&) { busyDuringShow = runner.Busy(); };
    runner.Run(actions);
    EXPECT_TRUE(busyDuringShow);
    EXPECT_FALSE(runner.Busy());
}

} // namespace
