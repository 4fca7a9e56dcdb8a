#include "app/PhoneRailway.h"

#include "app/SessionHost.h"
#include "app/TMainForm.h"
#include "base/C_language.h"
#include "base/PositionTable.h"
#include "base/TLok.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "loco/ThrottleModel.h"
#include "panel/Cbahn.h"
#include "session/ReconnectPolicy.h"
#include "session/ServerSession.h"

#include <QAction>

#include <algorithm>
#include <cmath>

namespace {

// The catalogue's palette rows hold 22 kinds each, in the same order: columns 1 to 8 are
// signals, 14 to 18 turnouts (18 the double slip), 22 the light switch and route switch.
int paletteColumn(int number) { return (number - 1) % 22 + 1; }

bool isTurnout(const tPosEntry& e)
{
    if (!Element || e.Enummer < 1 || e.Enummer > 88 || Element->get_art(e.Enummer - 1) != 2)
        return false;
    const int column = paletteColumn(e.Enummer);
    return column >= 14 && column <= 18 && (e.Decod1 > 0 || e.Decod2 > 0);
}
bool isRouteSwitch(const tPosEntry& e) { return e.Enummer == 66 || e.Enummer == 88; }

std::string systemName(const tPosEntry& e, bool route)
{
    return (route ? "QR" : "QT") + std::to_string(e.Posx) + "," + std::to_string(e.Posy);
}

}  // namespace

PhoneRailway::PhoneRailway(TMainForm& form, std::function<ThrottleModel*()> throttles,
                           std::function<SessionHost*()> session)
    : m_form(form), m_throttles(std::move(throttles)), m_session(std::move(session))
{
}

QString PhoneRailway::text(int id) const { return Lang ? Lang->getmessage(id, m_form.Lang_id) : QString(); }

bool PhoneRailway::connected() const
{
    SessionHost* s = m_session();
    return s && s->session().reconnectPolicy().state() == ReconnectPolicy::State::Connected;
}

withrottle::Refusal PhoneRailway::refusal(withrottle::Kind kind) const
{
    if (!connected())
        return withrottle::Refusal::NotConnected;
    // Power is switched in any mode, as from the menu; locos, turnouts and routes in operate mode.
    if (kind != withrottle::Kind::Power && !m_form.Betrieb)
        return withrottle::Refusal::NotOperating;
    return withrottle::Refusal::None;
}

int PhoneRailway::power() const
{
    if (!connected())
        return 2;
    const QString shown = m_form.statusText(0);
    if (shown == QLatin1String("Power on"))
        return 1;
    if (shown == QLatin1String("Power off"))
        return 0;
    return 2;  // not reported yet, or the buses differ
}

unsigned PhoneRailway::functions(int lnr) const
{
    if (!Lok || lnr < 0 || lnr >= TLok::Count || Lok->get_addr(lnr) <= 0)
        return 0;
    // As the throttle shows them: F0 always, F1..F4 where the record gives the function a picture.
    unsigned has = 1;
    const Dekod_Funcs f = Lok->get_F(lnr);
    if (Lok->get_nrof(lnr) > 0)
        for (int k = 1; k < withrottle::PhoneFunctions; ++k)
            if (f[static_cast<std::size_t>(k)] != 0)
                has |= 1u << k;
    return has;
}

bool PhoneRailway::sameSpeed(int lnr, int a, int b) const
{
    if (!Lok || lnr < 0 || lnr >= TLok::Count)
        return a == b;
    const int vmax = Lok->get_speedmax(lnr);
    // The throttle's own rule: below 3 % of the top speed the loco stands.
    const auto drive = [vmax](int phone) {
        const int v = fromPhone(phone, vmax);
        return v < vmax * 0.03 ? 0 : v;
    };
    return drive(a) == drive(b);
}

std::string PhoneRailway::serverName() const { return "Quarn"; }

int PhoneRailway::toPhone(int speed, int vmax)
{
    if (vmax <= 0 || speed <= 0)
        return 0;
    return std::clamp(static_cast<int>(std::lround(double(speed) * withrottle::MaxSpeed / vmax)), 0, withrottle::MaxSpeed);
}

int PhoneRailway::fromPhone(int speed, int vmax)
{
    if (vmax <= 0 || speed <= 0)
        return 0;
    return std::clamp(static_cast<int>(std::lround(double(speed) * vmax / withrottle::MaxSpeed)), 0, vmax);
}

std::vector<withrottle::RosterEntry> PhoneRailway::roster() const
{
    std::vector<withrottle::RosterEntry> out;
    if (!Lok)
        return out;
    for (int l = 0; l < TLok::Count; ++l)
        out.push_back({Lok->get_name(l).toStdString(), std::max(0, Lok->get_addr(l))});
    return out;
}

std::vector<withrottle::NamedItem> PhoneRailway::turnouts() const
{
    std::vector<withrottle::NamedItem> out;
    if (!Postable)
        return out;
    for (int i = 0; i < Postable->getNumbofEntries(); ++i) {
        const tPosEntry* e = Postable->getEntryByNum(i);
        if (!e || !isTurnout(*e))
            continue;
        const Cbahn::AccessoryAddress a = e->Decod1 > 0 ? Cbahn::gaAddress(e->Decod1, e->Daten1)
                                                        : Cbahn::gaAddress(e->Decod2, e->Daten2);
        if (m_namesLanguage != m_form.Lang_id) {
            m_turnoutName = text(798);
            m_namesLanguage = m_form.Lang_id;
        }
        out.push_back({systemName(*e, false), m_turnoutName.arg(a.address).toStdString(),
                       e->Stellung == 1 ? 2 : (e->Stellung == 2 ? 4 : 1)});
    }
    return out;
}

std::vector<withrottle::NamedItem> PhoneRailway::routes() const
{
    std::vector<withrottle::NamedItem> out;
    if (!Postable)
        return out;
    for (int i = 0; i < Postable->getNumbofEntries(); ++i) {
        const tPosEntry* e = Postable->getEntryByNum(i);
        if (e && isRouteSwitch(*e))
            out.push_back({systemName(*e, true), text(799).arg(out.size() + 1).toStdString(), 0});
    }
    return out;
}

tPosEntry* PhoneRailway::find(const std::string& name, bool route) const
{
    if (!Postable)
        return nullptr;
    for (int i = 0; i < Postable->getNumbofEntries(); ++i) {
        tPosEntry* e = Postable->getEntryByNum(i);
        if (e && (route ? isRouteSwitch(*e) : isTurnout(*e)) && systemName(*e, route) == name)
            return e;
    }
    return nullptr;
}

withrottle::LocoState PhoneRailway::loco(int lnr) const
{
    withrottle::LocoState s;
    if (!Lok || lnr < 0 || lnr >= TLok::Count)
        return s;
    s.speed = toPhone(Lok->get_speed(lnr), Lok->get_speedmax(lnr));
    s.forward = Lok->get_direction(lnr) != 0;
    const Dekod_Funcs f = Lok->get_F(lnr);
    for (std::size_t k = 0; k < s.on.size(); ++k)
        s.on[k] = functionOn(f[k]);  // as the loco line says it
    return s;
}

void PhoneRailway::speedSlider(int lnr, int speed, bool forward)
{
    ThrottleModel* t = m_throttles();
    if (!t)
        return;
    const RegulatorView& r = t->regulator(lnr);
    const int vmax = Lok->get_speedmax(lnr);
    const int v = fromPhone(speed, vmax);
    if (!r.Checked) {
        t->moveSlider(lnr, vmax - v);
        return;
    }
    // Centre-zero: standstill in the middle, direction 1 above it, direction 0 below.
    const int half = vmax / 2;
    const int raw = forward ? half - v / 2 : half + v / 2;
    t->moveSlider(lnr, vmax - raw);
}

void PhoneRailway::setSpeed(int lnr, int speed)
{
    if (!Lok || lnr < 0 || lnr >= TLok::Count)
        return;
    speedSlider(lnr, speed, Lok->get_direction(lnr) == 1);
}

void PhoneRailway::emergencyStop(int lnr) { setSpeed(lnr, 0); }

void PhoneRailway::setDirection(int lnr, bool forward)
{
    ThrottleModel* t = m_throttles();
    if (!t || !Lok || lnr < 0 || lnr >= TLok::Count || (Lok->get_direction(lnr) == 1) == forward)
        return;
    if (t->regulator(lnr).Checked) {
        const int speed = toPhone(Lok->get_speed(lnr), Lok->get_speedmax(lnr));
        if (speed > 0)
            speedSlider(lnr, speed, forward);  // the mirrored position
        return;
    }
    // The direction button: it turns a loco only near standstill, as on the screen.
    t->speedswitch(lnr);
}

void PhoneRailway::setFunction(int lnr, int function, bool on)
{
    ThrottleModel* t = m_throttles();
    if (!t || !Lok || lnr < 0 || lnr >= TLok::Count || function < 0 || function >= withrottle::PhoneFunctions)
        return;
    // The function picture's click, until the loco line says what the phone asked for (one click;
    // never more than two, whatever a click does).
    for (int click = 0; click < 2 && loco(lnr).on[static_cast<std::size_t>(function)] != on; ++click) {
        if (function == 0)
            t->switch_basalfunction(lnr);
        else
            t->switch_function(lnr, function);
    }
}

bool PhoneRailway::setTurnout(const std::string& name, char how)
{
    tPosEntry* e = find(name, false);
    if (!e)
        return false;
    // Where the turnout is going when a command of it is on its way, else where it is.
    const int state = Bahn ? Bahn->expectedState(*e) : e->Stellung;
    const bool thrown = state == 2;
    const bool want = how == '2' ? !thrown : how == 'T';
    if (state != (want ? 2 : 1))
        if (SessionHost* s = m_session())
            s->operateAt(e->Posx, e->Posy);
    return true;
}

bool PhoneRailway::setRoute(const std::string& name)
{
    tPosEntry* e = find(name, true);
    if (!e)
        return false;
    if (e->Fahrnr >= 1 && e->Fahrnr < static_cast<int>(m_form.Knopf.size()) &&
        m_form.Knopf[static_cast<std::size_t>(e->Fahrnr)])
        return true;  // "set route" sets: a route that is set stays set
    if (SessionHost* s = m_session())
        s->operateAt(e->Posx, e->Posy);
    return true;
}

void PhoneRailway::setPower(bool on)
{
    if (QAction* a = m_form.action(on ? QStringLiteral("Spannungan1") : QStringLiteral("Spannungaus1")))
        a->trigger();
}
