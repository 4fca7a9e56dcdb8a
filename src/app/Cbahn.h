#pragma once
// The service object: operations on the application state, the position table, the element catalogue
// and the loco table. It holds no state of its own. Its operations are implemented in one file per
// concern (parameter file, positions, rendering, layout file, accessories, routes).

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

    // --- Position table and coordinates (layout/) ---

    // --- Rendering (panel/) ---

    // --- Layout file (layout/) ---

    // --- Accessories (panel/) ---

    // --- Routes (panel/) ---

private:
    AppState& m_main;
    C_Position& m_postable;
    C_Element& m_element;
    TLok& m_lok;
    UserDialogs& m_dialogs;
};

extern Cbahn* Bahn;
