#include "portable/ErrorText.h"

#include <gtest/gtest.h>

namespace {

TEST(ErrorText, FillsTheSystemMessagesInserts) {
    struct Case {
        const char* message;
        const char* subject;
        const char* filled;
    };
    const Case cases[] = {
        // Wine's and Windows' words for a file that is not a program (error 193).
        {"Bad EXE format for %1.", "C:\\Trad\\Zeltor.exe",
         "Bad EXE format for C:\\Trad\\Zeltor.exe."},
        {"%1 no es una aplicación Win32 válida.", "C:\\Trad\\Zeltor.exe",
         "C:\\Trad\\Zeltor.exe no es una aplicación Win32 válida."},
        {"Insert %2 into drive %1.", "A:", "Insert A: into drive A:."},
        {"%12!s! and %1!d!.", "x", "x and x."},
        // Nothing to say what the error is about: the insert goes, with its space.
        {"Bad EXE format for %1.", "", "Bad EXE format for."},
        {"%1 is not a valid Win32 application.", "", "is not a valid Win32 application."},
        // What is no insert stays.
        {"100% sure, %0 and %x", "C:\\x", "100% sure, %0 and %x"},
        {"El sistema no puede encontrar el archivo especificado.", "C:\\x",
         "El sistema no puede encontrar el archivo especificado."},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FillInserts(c.message, c.subject), c.filled) << c.message;
    }
}

} // namespace
