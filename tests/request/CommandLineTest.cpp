#include "request/CommandLine.h"
#include "portable/QuoteArgument.h"
#include "request/RecalcRequest.h"

#include "tests/support/ExampleRequest.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// How the C runtime splits the arguments after the program name: backslashes are literal
// unless a quote follows; 2n of them then give n and a quote that opens or closes, 2n+1
// give n and a literal quote.
std::vector<std::string> SplitLikeTheRuntime(const std::string& args) {
    std::vector<std::string> out;
    size_t i = 0;
    while (i < args.size()) {
        while (i < args.size() && (args[i] == ' ' || args[i] == '\t')) {
            ++i;
        }
        if (i == args.size()) {
            break;
        }
        std::string piece;
        bool quoted = false;
        for (; i < args.size(); ++i) {
            size_t backslashes = 0;
            while (i < args.size() && args[i] == '\\') {
                ++backslashes;
                ++i;
            }
            if (i < args.size() && args[i] == '"') {
                piece.append(backslashes / 2, '\\');
                if (backslashes % 2 == 1) {
                    piece += '"';
                } else {
                    quoted = !quoted;
                }
                continue;
            }
            piece.append(backslashes, '\\');
            if (i == args.size()) {
                break;
            }
            if (!quoted && (args[i] == ' ' || args[i] == '\t')) {
                break;
            }
            piece += args[i];
        }
        out.push_back(piece);
    }
    return out;
}

TEST(QuoteArgument, LeavesPlainPiecesAlone) {
    for (const std::string piece : {"juego.smc", "1A000", "00a0", "2", "C:\\Trad\\x", "a\\b\\"}) {
        EXPECT_EQ(QuoteArgument(piece), piece);
    }
}

TEST(QuoteArgument, QuotesWhiteSpaceAndQuotes) {
    EXPECT_EQ(QuoteArgument("mi juego.smc"), "\"mi juego.smc\"");
    EXPECT_EQ(QuoteArgument("tab\there"), "\"tab\there\"");
    EXPECT_EQ(QuoteArgument("a\"b"), "\"a\\\"b\"");
    EXPECT_EQ(QuoteArgument("dir x\\"), "\"dir x\\\\\"");
}

TEST(QuoteArgument, RoundTripsThroughTheRuntimeSplitting) {
    const std::vector<std::string> pieces = {"mi juego.smc",
                                             "a\"b",
                                             "\"",
                                             "x \\\"y",
                                             "trail\\ \\",
                                             "\\\\\"",
                                             "a b\\\\",
                                             "  ",
                                             "\t",
                                             "ñandú \"rom\" (E).smc",
                                             ""};
    for (const std::string& piece : pieces) {
        const std::vector<std::string> back = SplitLikeTheRuntime(QuoteArgument(piece));
        ASSERT_EQ(back.size(), 1u) << piece;
        EXPECT_EQ(back[0], piece);
    }
}

TEST(BuildCommandLine, JoinsTheFieldsAsTyped) {
    struct Case {
        const char* name;
        void (*change)(RecalcRequest&);
        const char* expected;
    };
    const Case cases[] = {
        {"example", [](RecalcRequest&) {}, "C:\\Trad\\Zeltor.exe juego.smc 1A000 180A0 183FF 2 00"},
        {"first pointer given", [](RecalcRequest& f) { f.firstPointer = "00a0"; },
         "C:\\Trad\\Zeltor.exe juego.smc 1A000 180A0 183FF 2 00 00a0"},
        {"lower case kept",
         [](RecalcRequest& f) {
             f.textStart = "1a000";
             f.tableEnd = "183ff";
         },
         "C:\\Trad\\Zeltor.exe juego.smc 1a000 180A0 183ff 2 00"},
        {"size as shown", [](RecalcRequest& f) { f.pointerSize = "4"; },
         "C:\\Trad\\Zeltor.exe juego.smc 1A000 180A0 183FF 4 00"},
        {"rom name with a space", [](RecalcRequest& f) { f.romName = "mi juego.smc"; },
         "C:\\Trad\\Zeltor.exe \"mi juego.smc\" 1A000 180A0 183FF 2 00"},
        {"folder with a space", [](RecalcRequest& f) { f.appFolder = "C:\\Mis Trad"; },
         "\"C:\\Mis Trad\\Zeltor.exe\" juego.smc 1A000 180A0 183FF 2 00"},
        {"drive root", [](RecalcRequest& f) { f.appFolder = "D:\\"; },
         "D:\\Zeltor.exe juego.smc 1A000 180A0 183FF 2 00"},
        {"an empty piece keeps its place", [](RecalcRequest& f) { f.tableStart = ""; },
         "C:\\Trad\\Zeltor.exe juego.smc 1A000 \"\" 183FF 2 00"},
    };
    for (const Case& c : cases) {
        RecalcRequest f = ExampleRequest();
        c.change(f);
        EXPECT_EQ(RecalcCommandLine(f), c.expected) << c.name;
    }
}

TEST(BuildCommandLine, ReadsBackAsTheSameArguments) {
    RecalcRequest f = ExampleRequest();
    f.romName = "-mi \"juego\".smc";
    f.firstPointer = "";
    const std::vector<std::string> args = BuildRecalcArguments({{}, f});
    const std::vector<std::string> back = SplitLikeTheRuntime(RecalcCommandLine(f));
    ASSERT_EQ(back.size(), args.size() + 1); // the program, then each argument
    EXPECT_EQ(std::vector<std::string>(back.begin() + 1, back.end()), args);
}

} // namespace
