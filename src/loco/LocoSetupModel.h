#pragma once
// The loco setup dialog without its widgets: the choices it holds while open (protocol group and
// item, the three edit fields, the function slots F1..F4, the joystick button slots B1..B4 and the
// two combo boxes), filling them from a loco record (setuplok) and writing them back on "Save".

#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class TLok;
class UserDialogs;

// One row of the protocol table applied on "Save".
struct ProtocolRow {
    const char* item;      // radio group item caption
    const char* Protocol;  // code sent in the "SET GL" line
    std::uint8_t ProtType;
    int SRCPBusnr;
    int Protversion;
    int MaxSpeedsteps;
    int MaxFunctions;
    int MaxAddress;  // highest decoder address of the protocol (the lowest is 1)
};
// Maerklin/Motorola rows M1..M5 (items 0..4) and DCC rows Basis, N1..N5 (items 0..5).
const std::array<ProtocolRow, 5>& maerklinProtocols();
const std::array<ProtocolRow, 6>& dccProtocols();

class LocoSetupModel {
public:
    static constexpr std::uint8_t mpbMotorola = 4;
    static constexpr std::uint8_t mpbNMRA = 5;
    // Combo box items of K3CB / K4CB; index 4 is "keine" (none).
    static const std::array<QString, 5>& comboItems();

    LocoSetupModel(TLok& lok, UserDialogs& dialogs);

    // Hooks, all optional.
    std::function<void()> saveParameters;      // parameter file (throws on a write error)
    std::function<void()> prepareRegulators;   // setupScrollBar for all ten regulators
    std::function<QString(int id)> message;    // message table in the current language
    // A stored function code of loco nr outside 0..20: repair that loco's codes and save (runs
    // once per setuplok).
    std::function<void(int nr)> onDamagedCode;

    // Dialog fields.
    bool Mm = true;
    int Storejb1 = 0, Storejb2 = 0, Storejb3 = 0, Storejb4 = 0;
    int Storefunc1 = 0, Storefunc2 = 0, Storefunc3 = 0, Storefunc4 = 0;
    int Zwischenfunc = 0;
    int K3index = 0, K4index = 0;
    int Regler_nr = 0;  // loco being edited

    // What the controls show.
    int RadioGroup2 = 0;  // Maerklin item, 0..4
    int RadioGroup1 = 0;  // DCC item, 0..5
    bool functionsVisible = false;  // F1..F4 slots, B3/B4 slots, both combo boxes
    QString Adresse_edit, Beschreibung_edit, Vmax_edit;
    std::array<int, 4> slotCode{};     // code whose icon slot F1..F4 shows; 0 = empty
    int Func0Code = 0;                 // 11 when the F0 slot shows "Func_on.bmp"
    std::array<int, 4> joyCode{};      // code whose icon slot B1..B4 shows; 0 = empty
    QString K3Text = QStringLiteral("--------"), K4Text = QStringLiteral("----");

    void FormCreate();
    void setuplok(int nr);  // fills the fields from loco nr (the widget shows the dialog)

    void Func_imageClick(int N);          // palette image N = 1..8
    void FuncMouseDown(int K, bool left); // slot K = 1..4, left or right button
    void K3CBChange(int index);
    void K4CBChange(int index);
    void RadioButton3Click();
    void RadioButton4Click();
    void RadioGroup1Click(int item);
    void RadioGroup2Click(int item);
    // "Save": returns true when the dialog closes, false when it stays open after a bad entry.
    bool Fertig_buttonClick();
    QString Zeigen_buttonClick() const;   // text for Label6

private:
    int& storefunc(int K);
    bool damaged(int nr) const;
    void comboChange(int index, int& kindex, int& storejb, int slot, QString& text);
    std::optional<int> number(const QString& field);
    QString text(int id) const;

    TLok& m_lok;
    UserDialogs& m_dialogs;
};
