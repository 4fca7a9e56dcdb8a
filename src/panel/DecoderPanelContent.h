#pragma once
// What the decoder panel shows for one element (decoder addresses or S88 module and port), and
// what its "Save" stores. Built by the service object; the panel widget only displays it.

#include <QString>

#include <array>

struct DecoderPanelContent {
    // Rows to show (1 to 3), 0 for none, -1 to leave the rows as they are.
    int rows = -1;
    // False when nothing is to be shown (no element there, or the emergency stop).
    bool filled = false;
    int compId = 0;
    std::array<int, 3> decod{};
    std::array<int, 3> daten{};
    int protocolIndex = 0;             // 0 "MM", 1 "NMRA/DCC"
    std::array<QString, 3> iconFiles;  // full paths of the state icons; empty: no picture
};
