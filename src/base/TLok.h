#pragma once
// The loco table: the data of the ten locos driven from the throttles and the joysticks. Loco
// number Lnr 0..9 is also the number of its regulator (regulator 1 drives loco 0). Callers pass
// 0..9 only; the accessors do not check the range.

#include <QString>

#include <array>
#include <cstdint>
#include <memory>

// Function codes of one loco: entry 0 is F0, 1..4 are F1..F4; 5..32 are carried along.
// Codes 1..8 name a kind of function that is off, the same code plus 10 the function switched on.
using Dekod_Funcs = std::array<std::uint8_t, 33>;

// Whether a function code means "switched on": 10 or more (code 10 is a function without a kind,
// switched on). The pictures, the wire and the toggles all go by this one rule.
inline bool functionOn(std::uint8_t code) { return code >= 10; }
// The code after one click on the function: on becomes off and off becomes on.
inline std::uint8_t toggledFunction(std::uint8_t code)
{
    return static_cast<std::uint8_t>(functionOn(code) ? code - 10 : code + 10);
}

struct tLokEntry {
    QString Protocol = QStringLiteral("M1");
    std::uint8_t ProtType = 4;  // protocol family ordinal: 0 custom .. 4 Motorola, 5 NMRA .. 7 Zimo
    int Protversion = 1;
    QString Name = QStringLiteral("Lok");
    int Addr = 3;
    int SRCPBusnr = 1;
    int Direction = -1;
    int Speed = 0;
    int Speed_max = 100;
    int MaxSpeedsteps = 14;
    int MaxFunctions = 0;
    Dekod_Funcs F{};
    int Jbutton1 = 7, Jbutton2 = 1, Jbutton3 = 3, Jbutton4 = 2;
    QString Jb1func = QStringLiteral("Direction");
    QString Jb2func = QStringLiteral("Func");
    QString Jb3func = QStringLiteral("F2");
    QString Jb4func = QStringLiteral("F3");
};

class TLok {
public:
    static constexpr int Count = 10;

    TLok();
    ~TLok();
    TLok(const TLok&) = delete;
    TLok& operator=(const TLok&) = delete;

    void lokinit(int LNr);

    QString get_protocol(int Lnr) const { return e(Lnr).Protocol; }
    void set_protocol(int Lnr, const QString& P_info) { e(Lnr).Protocol = P_info; }
    std::uint8_t get_protocolbase(int Lnr) const { return e(Lnr).ProtType; }
    void set_protocolbase(int Lnr, std::uint8_t Ptype) { e(Lnr).ProtType = Ptype; }
    int get_protvers(int Lnr) const { return e(Lnr).Protversion; }
    void set_protversion(int Lnr, int PVers) { e(Lnr).Protversion = PVers; }
    QString get_name(int Lnr) const { return e(Lnr).Name; }
    void set_name(int Lnr, const QString& N_info) { e(Lnr).Name = N_info; }
    int get_addr(int Lnr) const { return e(Lnr).Addr; }
    void set_addr(int Lnr, int Addr_wert) { e(Lnr).Addr = Addr_wert; }
    int get_busnr(int Lnr) const { return e(Lnr).SRCPBusnr; }
    void set_Busnr(int Lnr, int Busnr_wert) { e(Lnr).SRCPBusnr = Busnr_wert; }
    int get_direction(int Lnr) const { return e(Lnr).Direction; }
    void set_direction(int Lnr, int Direction_wert) { e(Lnr).Direction = Direction_wert; }
    int get_speed(int Lnr) const { return e(Lnr).Speed; }
    void set_speed(int Lnr, int Speed_wert) { e(Lnr).Speed = Speed_wert; }
    int get_speedmax(int Lnr) const { return e(Lnr).Speed_max; }
    void set_speedmax(int Lnr, int Speedmax_wert) { e(Lnr).Speed_max = Speedmax_wert; }
    void set_speedsteps(int Lnr, int Speedsteps_wert) { e(Lnr).MaxSpeedsteps = Speedsteps_wert; }
    int get_nrof(int Lnr) const { return e(Lnr).MaxFunctions; }
    void set_nrof(int Lnr, int Nrof_wert) { e(Lnr).MaxFunctions = Nrof_wert; }

    // A copy of all 33 function entries.
    Dekod_Funcs get_F(int Lnr) const { return e(Lnr).F; }
    // Takes over entries 0..7 only; entries 8..32 of the record keep their value.
    void set_F(int Lnr, const Dekod_Funcs& F_wert);

    int get_jb1(int Lnr) const { return e(Lnr).Jbutton1; }
    int get_jb2(int Lnr) const { return e(Lnr).Jbutton2; }
    int get_jb3(int Lnr) const { return e(Lnr).Jbutton3; }
    int get_jb4(int Lnr) const { return e(Lnr).Jbutton4; }
    void set_jb1(int Lnr, int Jb1_wert) { e(Lnr).Jbutton1 = Jb1_wert; }
    void set_jb2(int Lnr, int Jb2_wert) { e(Lnr).Jbutton2 = Jb2_wert; }
    void set_jb3(int Lnr, int Jb3_wert) { e(Lnr).Jbutton3 = Jb3_wert; }
    void set_jb4(int Lnr, int Jb4_wert) { e(Lnr).Jbutton4 = Jb4_wert; }
    QString get_jb1func(int Lnr) const { return e(Lnr).Jb1func; }
    QString get_jb2func(int Lnr) const { return e(Lnr).Jb2func; }
    QString get_jb3func(int Lnr) const { return e(Lnr).Jb3func; }
    QString get_jb4func(int Lnr) const { return e(Lnr).Jb4func; }
    void set_jb1func(int Lnr, const QString& Jf1) { e(Lnr).Jb1func = Jf1; }
    void set_jb2func(int Lnr, const QString& Jf2) { e(Lnr).Jb2func = Jf2; }
    void set_jb3func(int Lnr, const QString& Jf3) { e(Lnr).Jb3func = Jf3; }
    void set_jb4func(int Lnr, const QString& Jf4) { e(Lnr).Jb4func = Jf4; }

private:
    tLokEntry& e(int Lnr) { return *LokEntry[static_cast<std::size_t>(Lnr)]; }
    const tLokEntry& e(int Lnr) const { return *LokEntry[static_cast<std::size_t>(Lnr)]; }

    // Slots 0..9 hold the locos; slot 10 stays empty.
    std::array<std::unique_ptr<tLokEntry>, 11> LokEntry;
};

extern TLok* Lok;
