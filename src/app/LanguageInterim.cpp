// Interim message table with the German and English texts the main window and the settings
// dialog need. It is built only while the full table (ui/C_language.cpp) is not in the tree.
#include "ui/C_language.h"

#include <utility>

C_language* Lang = nullptr;

namespace {

struct Row {
    int id;
    const char* de;
    const char* en;
};

const Row kRows[] = {
    {0, "&Datei", "&File"},
    {1, "&Neu", "&New"},
    {2, "Ö&ffnen", "O&pen"},
    {3, "&Speichern", "&Save"},
    {4, "Speichern &unter", "Save &as"},
    {5, "Mit Server &verbinden", "&Connect to host"},
    {6, "Vom Server &trennen", "&Disconnect from host"},
    {7, "&Beenden", "&Exit"},
    {8, "&Optionen", "&Options"},
    {9, "Gleisbild &erstellen", "&Create layout"},
    {10, "Decoder&adressen", "Decoder &addresses"},
    {11, "&Text", "&Text"},
    {12, "&Betrieb", "&Drive"},
    {13, "&Fahrstraßen", "&Routes"},
    {14, "&Lok einrichten", "&Loco setup"},
    {15, "&Joystick einrichten", "&Joystick setup"},
    {16, "&Einstellungen", "&Setup"},
    {17, "&Quarn einrichten", "&Quarn setup"},
    {18, "Joystick &testen", "&Test joystick"},
    {19, "&Rückmeldemodule", "&Feedback modules"},
    {20, "Abfrage &starten", "&Start feedback"},
    {21, "Abfrage b&eenden", "St&op feedback"},
    {22, "Rückmeldung &zurücksetzen", "&Reset feedback"},
    {23, "&Befehle", "&Commands"},
    {24, "Spannung &an", "Voltage o&n"},
    {25, "Spannung a&us", "Voltage o&ff"},
    {26, "Server &initialisieren", "In&itialize Server"},
    {27, "&Zeit", "&Time"},
    {28, "Decoder &programmieren", "&Program decoders"},
    {29, "Freie &Befehle", "Free &commands"},
    {30, "&Bildschirm", "&Screen"},
    {31, "&Automatisch", "&Automatic"},
    {32, "&Hilfe", "&Help"},
    {33, "&Quarn-Hilfe", "&Quarn help (German)"},
    {34, "&Info", "&Info"},
    {35, "S88-Module", "S88 modules"},
    {55, "Speichern", "Save"},
    {56, "Abbrechen", "Cancel"},
    {70, "Infokanal aktivieren", "Activate info chanel"},
    {71, "Quarn einrichten", "Quarn setup"},
    {72, "Assistent anzeigen", "Display assist"},
    {73, "beim Start", "on start"},
    {74, "Nein", "No"},
    {75, "Ja", "Yes"},
    {76, "Sprache", "Language"},
    {77, "Server (IP-Adresse):", "Server (IP-Address):"},
    {78, "SRCP-Version", "SRCP version"},
    {79, "Joystick-Modul", "Joystick module"},
    {100, "QUARN - digitale Modellbahnsteuerung", "QUARN - digital railroad control"},
    {101, "Es gibt ein Problem mit der Parameterdatei, sie wird jetzt neu erzeugt. Bitte Einstellungen prüfen!",
     "There is a problem with the parameter file, it will be now generated. Please check settings!"},
    {102, "Fehler", "Error"},
    {126, "Quarn ist noch mit dem Server verbunden. Bitte zuerst trennen!",
     "Quarn is still connected to Server verbunden. Please disconnect first!"},
    {141, "Bitte den Knopf unter dem Lokregler anklicken!", "Please, click the button below the loco controler!"},
};

const std::pair<const char*, int> kCaptions[] = {
    {"FileMenu", 0}, {"Neu1", 1}, {"Oeffnen1", 2}, {"Speichern1", 3}, {"Speichernals1", 4},
    {"Hostverbinden1", 5}, {"Hosttrennen1", 6}, {"Ende1", 7}, {"Optionen1", 8},
    {"Gleisbildentwerfen1", 9}, {"DecoderAdressen1", 10}, {"Text1", 11}, {"S88modules1", 35},
    {"Betrieb1", 12}, {"Fahrstrassen1", 13}, {"Softregler1", 14}, {"Joystickeinrichten1", 15},
    {"Einstellungen1", 16}, {"IPAddrHost1", 17}, {"Joystickcalibrieren1", 18}, {"Rckmeldemodule1", 19},
    {"Abfragestarten1", 20}, {"Abfragebeenden1", 21}, {"Reset1", 22}, {"Befehle1", 23},
    {"Spannungan1", 24}, {"Spannungaus1", 25}, {"Initialisierung1", 26}, {"Zeit1", 27},
    {"Decoderprogrammieren1", 28}, {"FreieBefehle1", 29}, {"Bildschirm1", 30}, {"automatisch1", 31},
    {"Hilfe1", 32}, {"QuarnHilfe1", 33}, {"Info1", 34},
    {"Labelhost", 77}, {"Infokanal_label", 70}, {"SetupForm", 71}, {"Cancel_button", 56},
    {"Ok_button", 55}, {"Labellang", 76}, {"LabelSRCPVersion", 78}, {"LabelJoymod", 79},
};

}  // namespace

C_language::C_language() : Translation(Rows * Columns)
{
    for (const Row& r : kRows) {
        Translation[r.id * Columns + 1] = QString::fromUtf8(r.de);
        Translation[r.id * Columns + 2] = QString::fromUtf8(r.en);
    }
}

const QString& C_language::translation(int id, int column) const
{
    static const QString empty;
    if (id < 0 || id >= Rows || column < 0 || column >= Columns)
        return empty;
    return Translation[static_cast<std::size_t>(id * Columns + column)];
}

QString C_language::getmessage(int id, int lang) const
{
    if (id < 1 || id > 499)
        return {};
    return translation(id, lang);
}

std::vector<C_language::Caption> C_language::setup(int lang) const
{
    std::vector<Caption> out;
    for (const auto& [control, id] : kCaptions)
        out.push_back({QString::fromLatin1(control), translation(id, lang)});
    return out;
}
