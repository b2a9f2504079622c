#include "RecalcRunner.h"

#include "ExampleRequest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Records what the window would have done.
struct Window {
    RecalcRequest request = ExampleRequest();
    std::vector<std::string> started;
    std::vector<std::string> shown;

    RecalcRunner::Actions Actions() {
        return {[this] { return request; }, [](const std::string&) { return true; },
                [this](const std::string&, const std::string& line) { started.push_back(line); },
                [this](const std::string& text) { shown.push_back(text); }};
    }
};

TEST(RecalcRunner, StartsAndReportsSuccess) {
    RecalcRunner runner("quien@ejemplo.org");
    Window w;
    EXPECT_TRUE(runner.Run(w.Actions()));
    EXPECT_EQ(w.started,
              std::vector<std::string>{"C:\\Trad\\Zeltor.exe juego.smc 1A000 180A0 183FF 2 00"});
    EXPECT_EQ(w.shown, std::vector<std::string>{"¡Punteros recalculados!"});

    // Every accepted press starts the recalculator again.
    EXPECT_TRUE(runner.Run(w.Actions()));
    EXPECT_EQ(w.started.size(), 2u);
}

TEST(RecalcRunner, ShowsTheFailedRuleAndStartsNothing) {
    RecalcRunner runner("quien@ejemplo.org");
    Window w;
    w.request.txtSeparador = "0";
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
         [](Window& w, RecalcRunner::Actions&) { w.request.txtInitext = "80000000"; },
         "Por favor verifique las direcciones"},
        {"the start fails",
         [](Window&, RecalcRunner::Actions& a) {
             a.start = [](const std::string&, const std::string&) {
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
