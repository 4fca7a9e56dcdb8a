#include "panel/C_fahr.h"

#include "base/AppState.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "panel/LayoutPanel.h"

#include <algorithm>

C_fahr* Fahr = nullptr;

QString C_fahr::routeRangeMessage(int route)
{
    return QStringLiteral("Route number %1 is outside the range 1 to %2. No further route numbers can be used; "
                          "delete routes you no longer need.")
        .arg(route)
        .arg(MaxRoute);
}

C_fahr::C_fahr(AppState& main) : m_main(main) {}

void C_fahr::attach(C_Position& postable, C_Element& element, LayoutPanel& panel)
{
    m_postable = &postable;
    m_element = &element;
    m_panel = &panel;
}

// --- list operations ---

bool C_fahr::fahrsuchen(int route, int x, int y) const
{
    return std::any_of(Fahrlist.begin(), Fahrlist.end(), [&](const auto& e) {
        return e->Fahrnr == route && e->Xpos == x && e->Ypos == y;
    });
}

void C_fahr::fahreintragen(int route, int n, int x, int y, int position)
{
    if (fahrsuchen(route, x, y))
        return;
    auto e = std::make_unique<C_fahrelement>();
    e->Fahrnr = route;
    e->Gleiselementnr = n;
    e->Xpos = x;
    e->Ypos = y;
    e->Stellung = position;
    Fahrlist.push_back(std::move(e));
}

int C_fahr::getstellung(int route, int x, int y) const
{
    int position = 0;
    for (const auto& e : Fahrlist)
        if (e->Fahrnr == route && e->Xpos == x && e->Ypos == y)
            position = e->Stellung;
    return position;
}

void C_fahr::setstellung(int route, int x, int y, int position)
{
    for (auto& e : Fahrlist)
        if (e->Fahrnr == route && e->Xpos == x && e->Ypos == y)
            e->Stellung = position;
}

void C_fahr::fahrdel(int route, int x, int y)
{
    std::erase_if(Fahrlist, [&](const auto& e) { return e->Fahrnr == route && e->Xpos == x && e->Ypos == y; });
}

void C_fahr::fahrtotdel(int route)
{
    std::erase_if(Fahrlist, [&](const auto& e) { return e->Fahrnr == route; });
    if (m_postable) {
        for (int i = 0; i < m_postable->getNumbofEntries(); ++i) {
            tPosEntry* p = m_postable->getEntryByNum(i);
            if (p->Fahrnr == route)
                p->Fahrnr = 0;
        }
    }
    if (route >= 0 && route <= MaxRoute)
        m_main.Knopf[static_cast<size_t>(route)] = false;
}

int C_fahr::readgleisnr(int route) const
{
    return static_cast<int>(
        std::count_if(Fahrlist.begin(), Fahrlist.end(), [&](const auto& e) { return e->Fahrnr == route; }));
}

const C_fahrelement* C_fahr::getEntryByNum(int i) const
{
    return i >= 0 && i < getnumerofEntries() ? Fahrlist[static_cast<size_t>(i)].get() : nullptr;
}

int C_fahr::highestRoute() const
{
    int highest = 0;
    for (const auto& e : Fahrlist)
        highest = std::max(highest, e->Fahrnr);
    return highest;
}

// --- setting, releasing and showing ---

int C_fahr::kindOf(int n) const
{
    return m_element ? m_element->get_art(n - 1) : 0;
}

tPosEntry* C_fahr::placedAt(int x, int y) const
{
    return m_postable ? m_postable->getEntryByKor(x, y) : nullptr;
}

void C_fahr::draw(int state, int x, int y, int n)
{
    if (m_panel)
        m_panel->changeicon(state, x, y, n);
}

bool C_fahr::fahraktivieren(int route)
{
    if (!attached())
        return false;
    bool all = true;
    // The list is walked by index: a command may take long, but nothing changes the list meanwhile.
    for (size_t i = 0; i < Fahrlist.size(); ++i) {
        const C_fahrelement e = *Fahrlist[i];
        if (e.Fahrnr != route)
            continue;
        tPosEntry* p = placedAt(e.Xpos, e.Ypos);
        if (!p || kindOf(p->Enummer) <= 1)
            continue;
        const int s = e.Stellung - 10;
        int decoder = 0, port = 0;
        switch (s) {
        case 1: decoder = p->Decod1; port = p->Daten1; break;
        case 2: decoder = p->Decod2; port = p->Daten2; break;
        case 3: decoder = p->Decod3; port = p->Daten3; break;
        default: break;
        }
        if (m_panel->switchAccessory) {
            if (!m_panel->switchAccessory(*p, s, route))
                all = false;
            continue;  // the accessory takes its position when the railway confirms it
        }
        const QString protocol = p->Protokoll;
        const bool sent = m_panel->accessoryOut && m_panel->accessoryOut(protocol, decoder, port);
        p = placedAt(e.Xpos, e.Ypos);  // the table may have changed while the command went out
        if (!p)
            continue;
        if (sent && s >= 1 && s <= 3) {
            p->Stellung = s;  // the railway is there now
            draw(s, e.Xpos, e.Ypos, p->Enummer);
        } else {
            all = false;
        }
    }
    return all;
}

bool C_fahr::routeNotSet(int route)
{
    if (!validRoute(route) || !m_main.Knopf[static_cast<size_t>(route)])
        return false;
    m_main.Knopf[static_cast<size_t>(route)] = false;
    if (shownRoute == route)
        shownRoute = 0;
    normaleiconchange(route);
    return true;
}

bool C_fahr::setRoute(int route, int x, int y)
{
    // Every route switch is drawn released below (alleknopfaus): so are their routes.
    for (int other = 1; other <= MaxRoute; ++other)
        if (other != route && m_main.Knopf[static_cast<size_t>(other)]) {
            m_main.Knopf[static_cast<size_t>(other)] = false;
            normaleiconchange(other);
        }
    alleknopfaus();
    normaleiconchange(route);
    if (!fahraktivieren(route)) {
        // Not every accessory could be switched: the route is not set, and the panel shows
        // where the accessories really are.
        normaleiconchange(route);
        shownRoute = 0;
        return false;
    }
    m_main.Knopf[static_cast<size_t>(route)] = true;
    shownRoute = route;
    knopfan(x, y);
    redrawShownRoute();
    return true;
}

void C_fahr::redrawShownRoute()
{
    if (!attached() || !validRoute(shownRoute) || !m_main.Knopf[static_cast<size_t>(shownRoute)])
        return;
    // Each accessory marked in the state the railway has: an undo or redo since the route was set
    // may have brought back a recording that names another state.
    for (const auto& e : Fahrlist) {
        if (e->Fahrnr != shownRoute)
            continue;
        if (tPosEntry* p = placedAt(e->Xpos, e->Ypos)) {
            const bool switched = kindOf(p->Enummer) > 1 && p->Stellung >= 1 && p->Stellung <= 3;
            draw(switched ? 10 + p->Stellung : e->Stellung, e->Xpos, e->Ypos, p->Enummer);
        }
    }
    for (int i = 0; i < m_postable->getNumbofEntries(); ++i) {
        const tPosEntry* p = m_postable->getEntryByNum(i);
        if (p->Fahrnr == shownRoute)
            draw(11, p->Posx, p->Posy, p->Enummer);
    }
}

void C_fahr::fahrdeaktiv(int route)
{
    // Releasing sends nothing: the accessories stay where the route put them.
    for (const auto& e : Fahrlist) {
        if (e->Fahrnr != route)
            continue;
        if (tPosEntry* p = placedAt(e->Xpos, e->Ypos); p && kindOf(p->Enummer) > 1)
            draw(e->Stellung, e->Xpos, e->Ypos, p->Enummer);
    }
}

void C_fahr::fahrstrasseniconchange(int route)
{
    for (const auto& e : Fahrlist) {
        if (e->Fahrnr != route)
            continue;
        if (tPosEntry* p = placedAt(e->Xpos, e->Ypos))
            draw(e->Stellung, e->Xpos, e->Ypos, p->Enummer);
    }
}

void C_fahr::normaleiconchange(int route)
{
    for (const auto& e : Fahrlist) {
        if (e->Fahrnr != route)
            continue;
        if (tPosEntry* p = placedAt(e->Xpos, e->Ypos))
            draw(p->Stellung, e->Xpos, e->Ypos, p->Enummer);
    }
    alleknopfaus();
}

void C_fahr::alleknopfaus()
{
    if (!m_postable)
        return;
    for (int i = 0; i < m_postable->getNumbofEntries(); ++i) {
        const tPosEntry* p = m_postable->getEntryByNum(i);
        if (p->Fahrnr > 0)
            draw(1, p->Posx, p->Posy, p->Enummer);
    }
}

void C_fahr::knopfan(int x, int y)
{
    if (const tPosEntry* p = placedAt(x, y))
        draw(11, x, y, p->Enummer);
}
