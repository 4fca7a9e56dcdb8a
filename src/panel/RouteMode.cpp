#include "panel/RouteMode.h"

#include "base/AppState.h"
#include "layout/C_Position.h"
#include "panel/C_fahr.h"
#include "panel/LayoutHistory.h"
#include "base/UserDialogs.h"

#include <algorithm>
#include <exception>

namespace {
bool isRouteSwitch(int n) { return n == 66 || n == 88; }
}  // namespace

RouteMode::RouteMode(AppState& main, C_fahr& fahr, C_Position& postable, LayoutPanel& panel, UserDialogs& dialogs)
    : m_main(main), m_fahr(fahr), m_postable(postable), m_panel(panel), m_dialogs(dialogs)
{
}

QString RouteMode::message(int id) const
{
    QString text = m_panel.messageText(id);
    if (text.isEmpty() && id == 121)
        text = QStringLiteral("The route must be assigned to a switch button !");
    if (text.isEmpty() && id == 102)
        text = QStringLiteral("Error");
    return text;
}

void RouteMode::showRangeError(int route)
{
    m_dialogs.messageBox(C_fahr::routeRangeMessage(route), message(102), UserDialogs::Icon::Error);
}

template <class F> void RouteMode::guarded(F&& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        m_dialogs.showError(QString::fromUtf8(e.what()));
    }
}

void RouteMode::updateLabels()
{
    labels.LabelFahrerst2 = QString::number(m_main.Fahrstrasse);
    labels.LabelFahrerst4 = QString::number(m_fahr.readgleisnr(m_main.Fahrstrasse));
    labels.LabelFahrdel2 = QString::number(m_main.Fahrstrasse);
}

int RouteMode::highestRouteInUse() const
{
    int highest = m_fahr.highestRoute();
    for (int i = 0; i < m_postable.getNumbofEntries(); ++i)
        highest = std::max(highest, m_postable.getEntryByNum(i)->Fahrnr);
    return highest;
}

bool RouteMode::enter()
{
    // A new number is never one that a stored route or a route switch already uses.
    const int next = std::max(m_fahr.Anz_strassen, highestRouteInUse()) + 1;
    if (next > C_fahr::MaxRoute) {
        showRangeError(next);
        return false;
    }
    m_fahr.Anz_strassen = next;
    m_main.Fahrstrasse = next;
    m_main.Verbinden = 0;
    updateLabels();
    // What is recorded and deleted until the editor closes is one step of undo.
    if (m_panel.history)
        m_panel.history->begin();
    return true;
}

void RouteMode::mouseDown(LayoutPanel::Button button, int X, int Y)
{
    const int x = LayoutPanel::sollkoord(X) + m_main.Hpos_alt;
    const int y = LayoutPanel::sollkoord(Y) + m_main.Vpos_alt;
    const int route = m_main.Fahrstrasse;
    tPosEntry* p = m_postable.getEntryByKor(x, y);

    if (m_main.Verbinden == 1) {
        if (button == LayoutPanel::Button::Left && p && isRouteSwitch(p->Enummer)) {
            m_panel.changeicon(11, x, y, p->Enummer);
            m_main.Verbinden = 2;
            p->Fahrnr = route;
        }
        return;
    }
    if (m_main.Verbinden != 0 || !C_fahr::validRoute(route))
        return;

    if (button == LayoutPanel::Button::Left) {
        if (p) {
            const int n = p->Enummer;
            const int s = p->Stellung >= 1 && p->Stellung <= 3 ? p->Stellung : 1;
            int position = s + 10;
            if (!m_fahr.fahrsuchen(route, x, y)) {
                m_fahr.fahreintragen(route, n, x, y, position);
            } else {
                position = m_fahr.getstellung(route, x, y);
                const int kind = m_fahr.kindOf(n);
                if (kind > 1) {
                    position += 1;
                    if (position - 10 > kind)
                        position = 11;
                }
                m_fahr.setstellung(route, x, y, position);
            }
            updateLabels();
            m_panel.changeicon(position, x, y, n);
        }
    } else if (button == LayoutPanel::Button::Right) {
        if (p) {
            m_fahr.fahrdel(route, x, y);
            updateLabels();
            m_panel.changeicon(p->Stellung, x, y, p->Enummer);
        }
    }
}

void RouteMode::connectClicked()
{
    m_main.Verbinden = 1;
}

bool RouteMode::save()
{
    if (m_main.Verbinden != 2) {
        m_dialogs.messageBox(message(121), message(102), UserDialogs::Icon::None);
        return false;
    }
    try {
        if (saveRoutes)
            saveRoutes();
        m_panel.gleisbildspeichern(m_main.Gleisbildname, m_main.Gleisbildpfad);
    } catch (const std::exception& e) {
        // Nothing is lost: the route stays connected in memory and "Save" can be tried again.
        m_dialogs.showError(QString::fromUtf8(e.what()));
        return false;
    }
    m_main.Verbinden = 0;
    guarded([&] { m_fahr.normaleiconchange(m_main.Fahrstrasse); });
    if (m_panel.history) {
        m_panel.history->commit(QStringLiteral("Route"));
        m_panel.history->markSaved();  // the layout file was written with the route
    }
    return true;
}

void RouteMode::cancel()
{
    m_fahr.Anz_strassen = std::min(m_fahr.Anz_strassen + 1, C_fahr::MaxRoute);
    m_main.Verbinden = 0;
    guarded([&] { m_fahr.normaleiconchange(m_main.Fahrstrasse); });
    leave();
}

void RouteMode::leave()
{
    if (m_panel.history)
        m_panel.history->commit(QStringLiteral("Route"));
}

void RouteMode::createPlus()
{
    if (m_main.Fahrstrasse + 1 > C_fahr::MaxRoute) {
        showRangeError(m_main.Fahrstrasse + 1);
        return;
    }
    m_main.Fahrstrasse += 1;
    updateLabels();
    guarded([&] {
        m_fahr.normaleiconchange(m_main.Fahrstrasse - 1);
        m_fahr.fahrstrasseniconchange(m_main.Fahrstrasse);
    });
}

void RouteMode::createMinus()
{
    if (m_main.Fahrstrasse > 1)
        m_main.Fahrstrasse -= 1;
    updateLabels();
    guarded([&] {
        m_fahr.normaleiconchange(m_main.Fahrstrasse + 1);
        m_fahr.fahrstrasseniconchange(m_main.Fahrstrasse);
    });
}

void RouteMode::deletePlus()
{
    if (m_main.Fahrstrasse + 1 > C_fahr::MaxRoute) {
        showRangeError(m_main.Fahrstrasse + 1);
        return;
    }
    const int shown = m_main.Fahrstrasse;
    m_main.Fahrstrasse += 1;
    updateLabels();
    guarded([&] {
        m_fahr.normaleiconchange(shown);
        m_fahr.fahrstrasseniconchange(m_main.Fahrstrasse);
    });
}

void RouteMode::deleteMinus()
{
    const int shown = m_main.Fahrstrasse;
    if (m_main.Fahrstrasse > 1)
        m_main.Fahrstrasse -= 1;
    updateLabels();
    guarded([&] {
        m_fahr.normaleiconchange(shown);
        m_fahr.fahrstrasseniconchange(m_main.Fahrstrasse);
    });
}

void RouteMode::deleteRoute()
{
    guarded([&] { m_fahr.normaleiconchange(m_main.Fahrstrasse); });
    m_fahr.fahrtotdel(m_main.Fahrstrasse);
    updateLabels();
    guarded([&] {
        if (saveRoutes)
            saveRoutes();
    });
    if (m_panel.history) {  // one step for the deletion; the editor stays open
        m_panel.history->commit(QStringLiteral("Delete route"));
        m_panel.history->begin();
    }
}

void RouteMode::pageChanged()
{
    updateLabels();
}

void RouteMode::routeSwitchClick(tPosEntry& p)
{
    const int r = p.Fahrnr;
    m_main.Fahrstrasse = r;
    if (r < 0 || r > C_fahr::MaxRoute) {
        showRangeError(r);
        return;
    }
    bool& set = m_main.Knopf[static_cast<size_t>(r)];
    if (!set && r > 0) {
        if (!m_fahr.setRoute(r, p.Posx, p.Posy) && m_panel.statusText)
            m_panel.statusText(QStringLiteral("Route %1 not set: not every command was sent").arg(r));
    } else if (!set) {
        m_dialogs.messageBox(message(121), message(102), UserDialogs::Icon::Information);
    } else {
        m_fahr.alleknopfaus();
        set = false;
        if (m_fahr.shownRoute == r)
            m_fahr.shownRoute = 0;
        m_fahr.fahrdeaktiv(r);
        m_fahr.normaleiconchange(r);
    }
}
