#include "request/ExitMessage.h"
#include "portable/RuntimeError.h"

#include "tests/support/ExampleRequest.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(ExitMessage, ReportsWhatTheRecalculatorSaid) {
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
        {"a note not believed: what to do first", 10, "ERROR 10: la nota «x» no cuadra.\r\n", true,
         "No se han recalculado los punteros: Zeltor.exe terminó con el código 10.\r\n\r\n"
         "No se ha escrito nada en la ROM: Zeltor.exe se ha detenido por la nota de un "
         "recálculo interrumpido (zeltor-….pendiente, junto a la ROM). El motivo dice qué ha "
         "encontrado y qué hacer.\r\n\r\nERROR 10: la nota «x» no cuadra.\r\n\r\n"
         "Más detalles en el registro juego.smc.zeltor.log, junto a la ROM."},
        {"the ROM replaced meanwhile", 11, "", false,
         "No se han recalculado los punteros: Zeltor.exe terminó con el código 11.\r\n\r\n"
         "Otro programa sustituyó la ROM mientras se recalculaba: el archivo que lleva ahora su "
         "nombre no se ha tocado. Vuelva a pulsar «Recalcular punteros»."},
    };
    for (const Case& c : cases) {
        std::vector<std::string> searched;
        const auto fileExists = [&](const std::string& path) {
            searched.push_back(path);
            return c.logExists;
        };
        RecalcRequest request = ExampleRequest();
        request.romFolder = "D:\\Roms";
        const std::string log = LogBesideRom(request, fileExists);
        EXPECT_EQ(ExitMessage({c.code, c.errorOutput}, log), c.message) << c.name;
        // The log lies beside the ROM that was rewritten, in the folder it was chosen in.
        EXPECT_EQ(searched, std::vector<std::string>{"D:\\Roms\\juego.smc.zeltor.log"}) << c.name;
    }
}

TEST(ExitMessage, QuotesOnlyTheEndOfALongErrorOutput) {
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

TEST(ExitMessage, ASearchForTheLogThatFailsLeavesTheLogOut) {
    const auto failing = [](const std::string&) -> bool {
        throw RuntimeError(21, "El dispositivo no está listo");
    };
    EXPECT_EQ(LogBesideRom(ExampleRequest(), failing), "");
}

} // namespace
