#pragma once

#include "request/RecalcRequest.h"

// The worked example of a request that passes every rule: the ROM juego.smc of 128 KiB in
// C:\Trad, text at 1A000, table from 180A0 to 183FF, 2-byte pointers, separator 00.
inline RecalcRequest ExampleRequest() {
    RecalcRequest r;
    r.appFolder = "C:\\Trad";
    r.romFolder = "C:\\Trad";
    r.romName = "juego.smc";
    r.shownRomName = "juego.smc";
    r.romLength = 0x20000;
    r.textStart = "1A000";
    r.tableStart = "180A0";
    r.tableEnd = "183FF";
    r.pointerSize = "2";
    r.separator = "00";
    return r;
}
