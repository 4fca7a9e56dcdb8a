#pragma once
// The service object: operations on the application state, the position table, the element catalogue
// and the loco table. It holds no state of its own. Its operations are implemented in one file per
// concern (parameter file, positions, rendering, layout file, accessories, routes).

#include "panel/LayoutPanel.h"

#include <QString>

struct AppState;
class C_Position;
class C_Element;
class TLok;
class UserDialogs;

class Cbahn {
public:
    Cbahn(AppState& main, C_Position& postable, C_Element& element, TLok& lok, UserDialogs& dialogs);

    // --- Folders and parameter file (app/Cbahn_parameter.cpp) ---
    QString getDataPath() const;
    QString getLayoutPath() const;
    void parameterladen();      // throws on a read error
    void parameterspeichern();  // throws on a write error

    // --- Position table and coordinates (layout/, forwarded to the track panel) ---
    static int sollkoord(int v) { return LayoutPanel::sollkoord(v); }
    void Quarnliste_eintragen(int x, int y, int n) { m_panel.Quarnliste_eintragen(x, y, n); }
    int poslistsuchen(int x, int y) const { return m_panel.poslistsuchen(x, y); }
    int poslistsuchen2(int x, int y) const { return m_panel.poslistsuchen2(x, y); }
    int compsuchen(int x, int y) const { return m_panel.compsuchen(x, y); }
    bool deletecompfromlist(int x, int y) { return m_panel.deletecompfromlist(x, y); }
    void EmptyQuarnlist() { m_panel.EmptyQuarnlist(); }
    bool deletefromTextlist(int x, int y) { return m_panel.deletefromTextlist(x, y); }
    void EmptyTextlist() { m_panel.EmptyTextlist(); }
    void EmptyMovelist() { m_panel.EmptyMovelist(); }
    void elementeladen() { m_panel.elementeladen(); }  // throws on a read error

    // --- Rendering (panel/) ---
    // The track panel: hooks (panel canvas, ga_out, progress, busy cursor, messages, text dialog)
    // and the editor's mouse handling live there.
    LayoutPanel& trackPanel() { return m_panel; }
    void changeicon(int state, int x, int y, int n) { m_panel.changeicon(state, x, y, n); }
    void change_2_icon(int state, int x, int y, int n) { m_panel.change_2_icon(state, x, y, n); }
    void quarngraufaerben() { m_panel.quarngraufaerben(); }
    void deletecache() { m_panel.deletecache(); }
    void deleteundo() { m_panel.deleteundo(); }
    void writeQuarnText(const TTextEntry& label) { m_panel.writeQuarnText(label); }

    // --- Layout file (layout/) ---
    void gleisbildspeichern(const QString& name, const QString& folder) { m_panel.gleisbildspeichern(name, folder); }
    void gleisbildladen(const QString& name, const QString& folder) { m_panel.gleisbildladen(name, folder); }

    // --- Accessories (panel/) ---

    // --- Routes (panel/) ---

private:
    AppState& m_main;
    C_Position& m_postable;
    C_Element& m_element;
    TLok& m_lok;
    UserDialogs& m_dialogs;
    LayoutPanel m_panel{m_main, m_postable, m_element, m_dialogs};
};

extern Cbahn* Bahn;
