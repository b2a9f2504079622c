#pragma once

#include "RecalcRequest.h"

// The worked example of a request that passes every rule: the ROM juego.smc of 128 KiB in
// C:\Trad, text at 1A000, table from 180A0 to 183FF, 2-byte pointers, separator 00.
inline RecalcRequest ExampleRequest() {
    RecalcRequest r;
    r.appFolder = "C:\\Trad";
    r.RomFileName = "juego.smc";
    r.lblROM = "juego.smc";
    r.RomLength = 0x20000;
    r.txtInitext = "1A000";
    r.txtIniPunt = "180A0";
    r.txtFinPunt = "183FF";
    r.cboTam = "2";
    r.txtSeparador = "00";
    return r;
}
