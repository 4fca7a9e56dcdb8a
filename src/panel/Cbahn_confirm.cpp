// Accessory commands awaiting the railway: an element takes the state of a command when the railway
// confirms it, shows a mark while the answer is slow, and stays as it was (with a word naming it)
// when the command is refused, times out or loses its connection.

#include "panel/Cbahn.h"
#include "panel/ElementDecoders.h"

#include "base/AppState.h"
#include "base/CommandChannel.h"
#include "base/GuiChannel.h"
#include "base/PositionTable.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "panel/C_fahr.h"

#include <QPoint>

#include <exception>

namespace {

// How often pending commands are looked at while there are any.
constexpr int CheckEveryMs = 50;
// How long a momentary element shows its switched picture.
constexpr int MomentaryMs = 300;

} // namespace

void Cbahn::setGuiChannel(std::shared_ptr<GuiChannel> gui)
{
    m_gui = std::move(gui);
}

int Cbahn::expectedState(const tPosEntry& e) const
{
    const auto heading = m_pending.heading(e.Posx, e.Posy);
    return heading && *heading != 0 ? *heading : e.Stellung;
}

Cbahn::SendResult Cbahn::switchAccessory(tPosEntry& e, int state, int route, bool momentary)
{
    const auto [decoder, dataPort] = pairOfState(e, state);
    const int x = e.Posx, y = e.Posy, n = e.Enummer;
    if (decoder <= 0 || dataPort < 0) {
        // Drawn only: the picture follows the click; there is nothing to send and nothing to say.
        const std::uint64_t id = m_pending.reserve();
        m_applied[{x, y}] = id;
        if (momentary) {
            showMomentary(x, y, n, id);
        } else {
            e.Stellung = state;
            changeicon(state, x, y, n);
            if (Fahr)
                Fahr->redrawShownRoute();
        }
        return SendResult::NoDecoder;
    }
    const AccessoryAddress a = gaAddress(decoder, dataPort);
    AccessoryPending::Command c;
    c.x = x;
    c.y = y;
    c.n = n;
    c.target = state;
    c.momentary = momentary;
    c.motorola = m_main.SrcpVer == 73 ? !(e.Protokoll == QLatin1String("N") || e.Protokoll == QLatin1String("n"))
                                      : (e.Protokoll == QLatin1String("M") || e.Protokoll == QLatin1String("m"));
    c.address = a.address;
    c.port = a.port;
    c.route = route;
    c.since = AccessoryPending::Clock::now();
    const std::uint64_t id = m_pending.add(c);
    const SendResult r = startPulse(e.Protokoll, decoder, dataPort, [this, alive = m_alive, id](AccessoryOutcome o) {
        if (*alive)
            commandOutcome(id, o);
    });
    if (r != SendResult::Sent) {
        m_pending.take(id);
        return r;
    }
    scheduleCheck();
    return r;
}

void Cbahn::commandOutcome(std::uint64_t id, AccessoryOutcome outcome)
{
    try {
        switch (outcome) {
        case AccessoryOutcome::Written: {
            CommandChannel* session = m_main.Session;
            if (session && session->reportsAccessories()) {
                // The server reports every accessory change on its info channel: that report
                // confirms the command; it is waited for (checkPending gives up on it).
                m_pending.markWritten(id, AccessoryPending::Clock::now());
                scheduleCheck();
                return;
            }
            // Nothing will report it: the line on the wire is all that can be known.
            [[fallthrough]];
        }
        case AccessoryOutcome::Acknowledged:
            if (const auto c = m_pending.take(id))
                applyCommand(*c);
            break;
        case AccessoryOutcome::Refused:
        case AccessoryOutcome::TimedOut:
        case AccessoryOutcome::ConnectionLost:
            if (const auto c = m_pending.take(id))
                revertCommand(*c, outcome);
            break;
        }
        updatePendingMarks(AccessoryPending::Clock::now());
    } catch (const std::exception& e) {
        // a picture that cannot be drawn
        if (m_panel.statusText)
            m_panel.statusText(QString::fromLocal8Bit(e.what()));
    }
}

void Cbahn::applyCommand(const AccessoryPending::Command& c)
{
    tPosEntry* e = m_postable.getEntryByKor(c.x, c.y);
    if (!e || e->Enummer != c.n)
        return;  // the element went (another layout, an edit) while its command was on its way
    std::uint64_t& applied = m_applied[{c.x, c.y}];
    if (c.id < applied)
        return;  // a later step of this element is already shown
    applied = c.id;
    if (c.momentary) {
        showMomentary(c.x, c.y, c.n, c.id);
        return;
    }
    e->Stellung = c.target;
    changeicon(c.target, c.x, c.y, c.n);
    if (Fahr)
        Fahr->redrawShownRoute();
}

void Cbahn::showMomentary(int x, int y, int n, std::uint64_t id)
{
    changeicon(2, x, y, n);
    const auto back = [this, x, y, n, id] {
        tPosEntry* e = m_postable.getEntryByKor(x, y);
        if (!e || e->Enummer != n || m_applied[{x, y}] != id)
            return;  // another step of this element took over
        e->Stellung = 1;
        changeicon(1, x, y, n);
    };
    if (later)
        later(MomentaryMs, [alive = m_alive, back] {
            if (*alive)
                back();
        });
    else
        back();
}

void Cbahn::revertCommand(const AccessoryPending::Command& c, AccessoryOutcome why)
{
    m_echoes.forget(c.motorola, c.address, c.port);
    if (tPosEntry* e = m_postable.getEntryByKor(c.x, c.y); e && e->Enummer == c.n && !m_pending.pendingAt(c.x, c.y)) {
        // The picture never left what the railway confirmed; drawn again in case a route's
        // marking was put over it meanwhile.
        changeicon(e->Stellung, c.x, c.y, c.n);
        if (Fahr)
            Fahr->redrawShownRoute();
    }
    QString text;
    switch (why) {
    case AccessoryOutcome::Refused:
        text = QStringLiteral("%1: the server refused the command; it is shown as it was.");
        break;
    case AccessoryOutcome::TimedOut:
        text = QStringLiteral("%1: the server did not answer in time; it is shown as it was.");
        break;
    default:
        text = QStringLiteral("%1: the connection was lost before the server answered; it is shown as it was.");
        break;
    }
    text = text.arg(elementName(c));
    if (c.route && Fahr && Fahr->routeNotSet(c.route))
        text = QStringLiteral("%1 Route %2 is not set.").arg(text).arg(c.route);
    if (m_panel.statusText)
        m_panel.statusText(text);
}

QString Cbahn::elementName(const AccessoryPending::Command& c) const
{
    // As the user knows it: the accessory address and the cell (columns and rows from 1).
    return QStringLiteral("Accessory %1 %2 (column %3, row %4)")
        .arg(c.motorola ? QStringLiteral("M") : QStringLiteral("N"))
        .arg(c.address)
        .arg(c.x / 27 + 1)
        .arg(c.y / 27 + 1);
}

void Cbahn::checkPending(AccessoryPending::Clock::time_point now)
{
    for (const std::uint64_t id : m_pending.unreported(now))
        commandOutcome(id, AccessoryOutcome::TimedOut);
    updatePendingMarks(now);
}

void Cbahn::updatePendingMarks(AccessoryPending::Clock::time_point now)
{
    std::vector<QPoint> cells;
    for (const auto& [x, y] : m_pending.slowCells(now))
        cells.emplace_back(x, y);
    m_panel.setPendingMarks(std::move(cells));
}

void Cbahn::scheduleCheck()
{
    if (m_checkScheduled || !later)
        return;
    m_checkScheduled = true;
    later(CheckEveryMs, [this, alive = m_alive] {
        if (!*alive)
            return;
        m_checkScheduled = false;
        checkPending();
        if (!m_pending.empty())
            scheduleCheck();
    });
}
