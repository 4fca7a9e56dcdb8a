#pragma once
// The route list: every accessory of every route with the position it takes when its route is set,
// in recording order, and the counter that hands out route numbers. Drawing and accessory commands
// go through the track panel once it is attached; without it, only the list operations work.

#include <QString>

#include <memory>
#include <vector>

struct AppState;
struct tPosEntry;
class C_Position;
class C_Element;
class LayoutPanel;

// One accessory of one route.
struct C_fahrelement {
    int Fahrnr = 0;          // route number, 1 or more
    int Gleiselementnr = 0;  // element number of the accessory
    int Xpos = 0, Ypos = 0;  // layout coordinates of its cell
    int Stellung = 11;       // 10 + the accessory state: 11, 12 or 13
};

class C_fahr {
public:
    // Route numbers index AppState::Knopf; 0 means "no route".
    static constexpr int MaxRoute = 2048;
    static bool validRoute(int route) { return route >= 1 && route <= MaxRoute; }
    // The message shown when a route number would fall outside 1..MaxRoute.
    static QString routeRangeMessage(int route);

    explicit C_fahr(AppState& main);

    // The table, the catalogue and the panel that draws and sends accessory commands.
    void attach(C_Position& postable, C_Element& element, LayoutPanel& panel);
    bool attached() const { return m_postable && m_element && m_panel; }

    std::vector<std::unique_ptr<C_fahrelement>> Fahrlist;
    int Anz_strassen = 0;
    // The route whose marking the panel shows (0: none); undo and redo draw it again.
    int shownRoute = 0;
    // Draws the marking of shownRoute again (its accessories and its pressed switches) while it is set.
    void redrawShownRoute();

    // --- list operations ---
    bool fahrsuchen(int route, int x, int y) const;
    void fahreintragen(int route, int n, int x, int y, int position);
    int getstellung(int route, int x, int y) const;
    void setstellung(int route, int x, int y, int position);
    void fahrdel(int route, int x, int y);
    void fahrtotdel(int route);
    int readgleisnr(int route) const;
    int getnumerofEntries() const { return static_cast<int>(Fahrlist.size()); }
    const C_fahrelement* getEntryByNum(int i) const;
    // The highest route number in the list, 0 when it is empty.
    int highestRoute() const;

    // --- setting, releasing and showing (need the panel; throw when an icon cannot be drawn) ---
    // Sets the route: each accessory that the command reached takes (and shows) its position;
    // one that was not reached keeps its state and picture. True when every command went out.
    // Through the panel's switchAccessory the accessories take their positions when the railway
    // confirms them.
    bool fahraktivieren(int route);
    // An accessory of the route did not switch: a set route is released (its switch and its
    // accessories drawn as they are). True when it was set.
    bool routeNotSet(int route);
    // Sets route `route` and shows it set: every other route is released first, so a switch that
    // looks released is released. False (nothing set) when a command could not be sent.
    bool setRoute(int route, int x, int y);
    void fahrdeaktiv(int route);
    void fahrstrasseniconchange(int route);
    void normaleiconchange(int route);
    void alleknopfaus();
    void knopfan(int x, int y);

    // Kind (E_Art) of element number n, 0 outside the catalogue.
    int kindOf(int n) const;

private:
    tPosEntry* placedAt(int x, int y) const;
    void draw(int state, int x, int y, int n);

    AppState& m_main;
    C_Position* m_postable = nullptr;
    C_Element* m_element = nullptr;
    LayoutPanel* m_panel = nullptr;
};

extern C_fahr* Fahr;
