#include "phone/PhoneThrottles.h"

#include <algorithm>
#include <chrono>

namespace withrottle {

PhoneThrottles::PhoneThrottles(Railway& railway, Send send, std::function<std::string(Text)> text)
    : clock([] {
          return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
              .count();
      }),
      m_railway(railway), m_send(std::move(send)), m_text(std::move(text))
{
}

void PhoneThrottles::alertOnce(int client, Text text, const std::string& detail)
{
    auto it = m_clients.find(client);
    if (it == m_clients.end())
        return;
    const std::int64_t now = clock();
    auto [last, fresh] = it->second.alerted.try_emplace(text, now);
    if (!fresh && now - last->second < AlertRepeatMs)
        return;  // a slider refused twenty times a second shows one alert, not twenty
    last->second = now;
    m_send(client, alert(detail.empty() ? m_text(text) : m_text(text) + " " + detail));
}

bool PhoneThrottles::refused(int client, Kind kind)
{
    switch (m_railway.refusal(kind)) {
    case Refusal::None: return false;
    case Refusal::NotConnected: alertOnce(client, NotConnected); return true;
    case Refusal::NotOperating: alertOnce(client, NotOperating); return true;
    }
    return true;
}

void PhoneThrottles::broadcast(const std::string& line)
{
    for (const auto& [id, c] : m_clients)
        m_send(id, line);
}

void PhoneThrottles::clientJoined(int client)
{
    m_clients[client] = Client{};
    Greeting g;
    g.serverName = m_railway.serverName();
    for (const RosterEntry& r : m_railway.roster())
        if (r.address > 0)
            g.roster.push_back(r);
    g.turnouts = m_railway.turnouts();
    g.routes = m_railway.routes();
    g.power = m_railway.power();
    g.heartbeatSeconds = m_heartbeat;
    if (m_turnouts.empty() || m_clients.size() == 1)
        m_turnouts = g.turnouts;
    m_clients[client].power = g.power;
    for (const std::string& line : greeting(g))
        m_send(client, line);
}

void PhoneThrottles::clientLeft(int client)
{
    if (!m_clients.count(client))
        return;
    stopAbandoned(client);
    m_clients.erase(client);
    poll();
}

void PhoneThrottles::heartbeatLost(int client)
{
    auto it = m_clients.find(client);
    if (it == m_clients.end() || it->second.silent)
        return;
    stopAbandoned(client);
    it->second.silent = true;
    poll();
}

void PhoneThrottles::stopAbandoned(int client)
{
    auto it = m_clients.find(client);
    if (it == m_clients.end())
        return;
    const auto heldElsewhere = [&](int lnr) {
        for (const auto& [id, c] : m_clients) {
            if (id == client || c.silent)
                continue;
            for (const Held& h : c.held)
                if (h.lnr == lnr)
                    return true;
        }
        return false;
    };
    std::vector<int> done;
    for (const Held& h : it->second.held) {
        if (std::find(done.begin(), done.end(), h.lnr) != done.end())
            continue;
        done.push_back(h.lnr);
        if (!heldElsewhere(h.lnr))
            m_railway.setSpeed(h.lnr, 0);
    }
}

std::vector<int> PhoneThrottles::heldBy(int client) const
{
    std::vector<int> out;
    if (auto it = m_clients.find(client); it != m_clients.end())
        for (const Held& h : it->second.held)
            out.push_back(h.lnr);
    return out;
}

int PhoneThrottles::findLoco(const Command& c) const
{
    const std::vector<RosterEntry> roster = m_railway.roster();
    for (std::size_t i = 0; i < roster.size(); ++i) {
        if (roster[i].address <= 0)
            continue;
        if (c.action == 'E' ? roster[i].name == c.text : roster[i].address == c.loco.address)
            return static_cast<int>(i);
    }
    return -1;
}

void PhoneThrottles::command(int client, const Command& c)
{
    auto me = m_clients.find(client);
    if (me == m_clients.end())
        return;
    me->second.silent = false;  // any line is a sign of life
    switch (c.kind) {
    case Kind::Name:
        m_send(client, heartbeatLine(m_heartbeat));
        break;
    case Kind::Power:
        // The phone's switch now shows what it asked for; until the server has answered, it is
        // not contradicted, and then it is told what the railway has.
        me->second.power = -1;  // told again once the railway has answered
        me->second.powerWanted = c.value;
        me->second.powerPending = !refused(client, c.kind);  // a refusal is contradicted at once
        me->second.powerAsked = clock();
        if (me->second.powerPending)
            m_railway.setPower(c.value == 1);
        break;
    case Kind::Turnout:
        if (!refused(client, c.kind) && !m_railway.setTurnout(c.text, c.action))
            m_send(client, alert(m_text(UnknownTurnout) + " " + c.text));
        break;
    case Kind::Route:
        if (!refused(client, c.kind) && !m_railway.setRoute(c.text))
            m_send(client, alert(m_text(UnknownRoute) + " " + c.text));
        break;
    case Kind::Acquire:
        acquire(client, c);
        break;
    case Kind::Release: {
        auto& held = m_clients[client].held;
        for (auto it = held.begin(); it != held.end();) {
            if (it->throttle == c.throttle && (c.loco.all || it->key == c.loco)) {
                m_send(client, throttleLine(c.throttle, '-', it->key, ""));
                it = held.erase(it);
            } else {
                ++it;
            }
        }
        break;
    }
    case Kind::Action:
        action(client, c);
        break;
    default:
        return;  // heartbeats and the like change nothing
    }
    poll();
}

void PhoneThrottles::acquire(int client, const Command& c)
{
    const int lnr = findLoco(c);
    if (lnr < 0) {
        m_send(client, alert(m_text(UnknownLoco) + " " + (c.action == 'E' ? c.text : std::to_string(c.loco.address))));
        return;
    }
    Client& cl = m_clients[client];
    for (const Held& h : cl.held)
        if (h.throttle == c.throttle && h.lnr == lnr)
            return;  // already on this throttle
    Held h;
    h.throttle = c.throttle;
    h.key = c.loco;
    h.lnr = lnr;
    m_send(client, throttleLine(c.throttle, '+', h.key, ""));
    // Labels up to the loco's last function; a function it lacks in between gets no label (no key).
    const unsigned has = m_railway.functions(lnr);
    std::vector<std::string> labels;
    for (int f = 0; f < PhoneFunctions; ++f)
        if (has >> f)
            labels.push_back(!(has & (1u << f)) ? "" : f == 0 ? "Light" : "F" + std::to_string(f));
    m_send(client, functionLabels(c.throttle, h.key, labels));
    cl.held.push_back(h);
    tellLoco(client, cl.held.back(), m_railway.loco(lnr), true);
    m_send(client, throttleLine(c.throttle, 'A', h.key, "s1"));
}

void PhoneThrottles::tellLoco(int client, Held& h, const LocoState& now, bool all)
{
    const unsigned has = m_railway.functions(h.lnr);
    for (int f = 0; f < PhoneFunctions; ++f) {
        const auto k = static_cast<std::size_t>(f);
        if (!(has & (1u << f)))
            continue;
        if (all || now.on[k] != h.told.on[k])
            m_send(client, throttleLine(h.throttle, 'A', h.key, "F" + std::string(now.on[k] ? "1" : "0") + std::to_string(f)));
    }
    if (all || now.speed != h.told.speed)
        m_send(client, throttleLine(h.throttle, 'A', h.key, "V" + std::to_string(now.speed)));
    if (all || now.forward != h.told.forward)
        m_send(client, throttleLine(h.throttle, 'A', h.key, now.forward ? "R1" : "R0"));
    h.told = now;
}

void PhoneThrottles::action(int client, const Command& c)
{
    Client& cl = m_clients[client];
    const bool drives = c.action == 'V' || c.action == 'X' || c.action == 'I' || c.action == 'R' ||
                        c.action == 'F' || c.action == 'f';
    // Refused: nothing is done, and the throttle's next report shows it what the loco does.
    const bool no = drives && std::any_of(cl.held.begin(), cl.held.end(), [&](const Held& h) {
                        return h.throttle == c.throttle && (c.loco.all || h.key == c.loco);
                    }) && refused(client, Kind::Action);
    for (Held& h : cl.held) {
        if (h.throttle != c.throttle || !(c.loco.all || h.key == c.loco))
            continue;
        switch (c.action) {
        case 'V':
            if (no) {
                h.told.speed = std::max(0, c.value);  // its slider shows it; put right at the poll
            } else if (c.value < 0) {
                m_railway.emergencyStop(h.lnr);
            } else {
                m_railway.setSpeed(h.lnr, c.value);
                // The sender's slider shows its speed: no echo unless the loco runs at another.
                const int now = m_railway.loco(h.lnr).speed;
                h.told.speed = m_railway.sameSpeed(h.lnr, c.value, now) ? now : c.value;
            }
            break;
        case 'X':
            if (!no)
                m_railway.emergencyStop(h.lnr);
            break;
        case 'I':
            if (!no)
                m_railway.setSpeed(h.lnr, 0);
            break;
        case 'R':
            h.told.forward = c.value == 1;  // as its button shows it; put right at the poll
            if (!no)
                m_railway.setDirection(h.lnr, c.value == 1);
            break;
        case 'F':
        case 'f': {
            if (c.function >= PhoneFunctions || !(m_railway.functions(h.lnr) & (1u << c.function))) {
                if (c.action == 'f' || c.value == 1)
                    alertOnce(client, NoSuchFunction, "F" + std::to_string(c.function));
                break;
            }
            if (no)
                break;
            const auto k = static_cast<std::size_t>(c.function);
            const bool on = m_railway.loco(h.lnr).on[k];
            if (c.action == 'f')
                m_railway.setFunction(h.lnr, c.function, c.value == 1);
            else if (cl.momentary[k])
                m_railway.setFunction(h.lnr, c.function, c.value == 1);
            else if (c.value == 1)  // a latching key switches on its press
                m_railway.setFunction(h.lnr, c.function, !on);
            break;
        }
        case 'm':
            if (c.function < PhoneFunctions)
                cl.momentary[static_cast<std::size_t>(c.function)] = c.value == 1;
            break;
        case 'q': {
            const LocoState now = m_railway.loco(h.lnr);
            m_send(client, throttleLine(h.throttle, 'A', h.key,
                                        c.value == 'V' ? "V" + std::to_string(now.speed) : (now.forward ? "R1" : "R0")));
            break;
        }
        case 's':
            m_send(client, throttleLine(h.throttle, 'A', h.key, "s1"));
            break;
        default:
            break;
        }
    }
}

void PhoneThrottles::pollTurnouts()
{
    const std::vector<NamedItem> now = m_railway.turnouts();
    for (const NamedItem& t : now) {
        auto old = std::find_if(m_turnouts.begin(), m_turnouts.end(),
                                [&](const NamedItem& o) { return o.systemName == t.systemName; });
        if (old == m_turnouts.end() || old->state != t.state)
            broadcast(turnoutState(t));
    }
    m_turnouts = now;
}

void PhoneThrottles::poll()
{
    if (m_clients.empty())
        return;
    for (auto& [id, cl] : m_clients)
        for (Held& h : cl.held)
            tellLoco(id, h, m_railway.loco(h.lnr), false);
    pollTurnouts();
    const int p = m_railway.power();
    const std::int64_t now = clock();
    for (auto& [id, cl] : m_clients) {
        if (cl.powerPending && (p == cl.powerWanted || now - cl.powerAsked >= PowerAnswerMs))
            cl.powerPending = false;
        if (p != cl.power && !cl.powerPending) {
            cl.power = p;
            m_send(id, powerLine(p));
        }
    }
}

}  // namespace withrottle
