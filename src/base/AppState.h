#pragma once
// The application state. The main window (TMainForm) derives from AppState, so every field is
// reached through the one main-window instance; model code takes an AppState& and never needs a
// widget. Start values here are those of a freshly created window; FormCreate sets them again in
// its documented order.

#include <QFont>
#include <QImage>
#include <QRect>
#include <QString>

#include "base/FileLocations.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

struct tPosEntry;
struct TTextEntry;
class THighResTimer;
class CommandChannel;

struct AppState {
    // Geometry and drawing surfaces
    int Screen_x = 0, Screen_y = 0;
    int Quarnbreite = 980, Quarnhoehe = 680;
    int Panelbreite = 617, Panelhoehe = 113;
    QImage Quarn_bitmap;         // 980 x 680, the whole layout picture
    QImage Design_Panel_bitmap;  // 617 x 113, the palette picture
    QImage Cache;                // 27 x 27, selected palette element / icon scratch
    QImage Rueck_cache;          // 27 x 27, nothing draws on it
    QImage Undo;                 // 27 x 27, what lay under the element being placed
    QRect Source_rect, Dest_rect;
    std::uint32_t Grau = 12632256;  // colour in blue-green-red encoding (0x00BBGGRR)
    std::uint32_t Dunkelrot = 128;
    int Hpos_alt = 0, Vpos_alt = 0;
    int Alt_x = 0, Alt_y = 0;
    QFont LabelFont;
    std::vector<std::unique_ptr<TTextEntry>> Textliste;  // owned text labels
    std::vector<tPosEntry*> Movelist;                    // references into the position table
    bool Move_elements = false;
    int Move_el_counter = 0;

    // Operating modes: at most one is true
    bool Quarnerstellen = false;
    bool Decoder = false;
    bool S88config = false;
    bool Text = false;
    bool Betrieb = false;
    bool Fahrstrasseerstellen = false;
    bool Lokregler = false;

    // Other working fields
    bool Symbol = false;
    int Comp_nr = 0;
    bool Geloescht = false;
    bool El_geladen = false;
    int Anzahl = 0;
    int TextLabelNr = -1;
    int Speichern_posx = -1, Speichern_posy = -1;  // element chosen in the decoder panel; -1: none
    int Fahrstrasse = 1;
    int Verbinden = 0;
    std::array<bool, 2049> Knopf{};  // route numbers 0..2048
    bool Debug = false;
    bool Dxpresent = false;
    QString Version = QStringLiteral(" V 0.70");
    QString Infostring;
    QString WorkDir;  // program folder with trailing separator
    FileLocations Files;  // decided at start; until then everything counts as in WorkDir
    FileLocations locations() const { return Files.decided() ? Files : FileLocations::inProgramFolder(WorkDir); }
    QString Gleisbildpfad, Gleisbildname;
    QString DateinameohneEndung;

    // Server and protocol settings (parameter file)
    QString Iphostchar = QStringLiteral("localhost");
    int Ipport = 12345;
    int Infoport_an = 0;
    int SrcpVer = 73;
    bool Connecting = false;
    int Monitorpower = 0;
    int Autopower = 0;
    int Autoreconnect = 1;  // greater than 0: try again by itself when the server is lost
    // Greater than 0: track power the user had switched on is switched on again when a lost server
    // is back. Off (0) by default: a server that restarted stays off until a person switches it on.
    int Poweronreconnect = 0;
    // The phone (WiThrottle) server: on (1) or off, its port, the address it listens on (empty: all),
    // the addresses and subnets allowed to connect (comma separated; empty: all), the client limit
    // and the limit of phones from one address.
    int PhoneServerOn = 0;
    int PhoneServerPort = 12090;
    QString PhoneServerAddress;
    QString PhoneServerAllow;
    int PhoneServerLimit = 8;
    int PhoneServerPerAddress = 4;
    bool LocoData_sent = false, SolenoidData_sent = false;
    int BusGlMM = 1, BusGlNMRA_S = 2, BusGlNMRA_L = 3;
    int BusGaMM = 5, BusGaNMRA = 6, BusS88 = 8, Buspower = 1;
    double KavoTime = 0;

    // Objects of the main window that model code reaches through the state (owned by the window;
    // tests point them at their own): the high-resolution timer behind Bahn->pause, and the server
    // session's SRCP 0.7.3 command connection (Command_Socket under Lock_socket).
    THighResTimer* HRT1 = nullptr;
    CommandChannel* Session = nullptr;

    // User interface settings
    int Lang_id = 1;
    int Showassist = 1;
    int Joy_Mode = 0;  // the two-controller module reads any ordinary controller

    // Joystick and throttle fields
    int Joy1con = 0, Joy2con = 0;
    int Joy1loknr = -1, Joy2loknr = -1;
    bool Joy1button_pressed = false, Joy2button_pressed = false;
    int Regler_nr = 0;
    int Joy1faktor = 0, Joy2faktor = 0;
    int Jbutton1 = 0, Jbutton2 = 0, Jbutton12 = 0, Jbutton3 = 0, Jbutton4 = 0, Jbutton34 = 0;

    AppState();
    virtual ~AppState();
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    // Clears every mode flag (used by the mode handlers before setting their own).
    void clearModes();
};
