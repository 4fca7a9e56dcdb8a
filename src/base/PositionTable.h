#pragma once
// Placed elements and text labels of the layout: the records of the position table (layout/C_Position)
// and of the application state's text list.

#include <QFont>
#include <QString>

#include <cstdint>

struct TElementEntry;

struct TTextEntry {
    QFont TextFont;
    int Textwkl = 0;
    QString TextInfo;
    int XText = 0, YText = 0;
    QString Name;
    std::uint32_t TextColor = 0;  // blue-green-red; written with the font text
};

struct tPosEntry {
    int CompID = 0;
    int Enummer = 0;
    int Posx = 0, Posy = 0;
    int Stellung = 1;
    int Decod1 = 0, Decod2 = 0, Decod3 = 0;
    int Daten1 = 0, Daten2 = 0, Daten3 = 0;
    int Fahrnr = 0;
    QString Protokoll = QStringLiteral("M");
    TTextEntry* Text = nullptr;         // not used
    int Refposx = 0, Refposy = 0;
    TElementEntry* Element = nullptr;   // not used
};
