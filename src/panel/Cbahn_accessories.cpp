// Operating accessories: the accessory command, the operate click, synchronising all accessories
// and the decoder panel's content.

#include "panel/Cbahn.h"
#include "panel/ElementDecoders.h"

#include "base/AppState.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "base/PositionTable.h"
#include "base/C_SRCP08.h"
#include "moba/THighResTimer.h"
#include "panel/LayoutHistory.h"
#include "base/CommandChannel.h"
#include "base/GuiChannel.h"
#include "base/ProgressDisplay.h"

#include <chrono>
#include <string>
#include <thread>
#include <tuple>

namespace {

constexpr int EmergencyStop = 22;

bool isDetector(int n) { return n == 65 || n == 87; }
bool isRouteSwitch(int n) { return n == 66 || n == 88; }

} // namespace

Cbahn::AccessoryAddress Cbahn::gaAddress(int decoder, int dataPort)
{
    if (dataPort >= 0 && dataPort <= 8)
        return {4 * decoder + (dataPort + 1) / 2, dataPort % 2 == 1 ? 0 : 1};
    return {4 * decoder + dataPort / 2, 1};
}

void Cbahn::pause(int ms)
{
    if (m_main.HRT1)
        m_main.HRT1->Wait(std::int64_t(ms) * 1000);
    else
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

Cbahn::SendResult Cbahn::ga_out(const QString& Protokoll, int decoder, int dataPort)
{
    return startPulse(Protokoll, decoder, dataPort, {});
}

Cbahn::SendResult Cbahn::startPulse(const QString& Protokoll, int decoder, int dataPort, PulseDone done)
{
    const AccessoryAddress a = gaAddress(decoder, dataPort);
    if (decoder <= 0 || dataPort < 0)
        return SendResult::NoDecoder;
    if (m_main.SrcpVer == 73) {
        CommandChannel* session = m_main.Session;
        if (!session || !session->commandConnected()) {
            if (session && session->reconnecting()) {
                session->refuseWhileReconnecting();  // rather than sending it later, unasked
                return SendResult::Reconnecting;
            }
            return SendResult::NotConnected;
        }
        const std::string word = (Protokoll == QLatin1String("N") || Protokoll == QLatin1String("n"))
                                     ? "SET GA N "
                                     : "SET GA M ";
        const std::string target = word + std::to_string(a.address) + " " + std::to_string(a.port);
        const bool motorola = word == "SET GA M ";
        m_echoes.expect(motorola, a.address, a.port);
        // The pulse thread tells the GUI thread that the switch-on line went out from inside the
        // pulse; the 300 ms count from before that, so the gap stays what it was.
        std::shared_ptr<GuiChannel> gui = done ? m_gui : nullptr;
        auto between = [hrt = m_main.HRT1, gui, done] {
            const auto start = std::chrono::steady_clock::now();
            if (hrt)
                hrt->StartWait(300000);
            if (gui)
                gui->post([done] { done(AccessoryOutcome::Written); });
            if (hrt)
                hrt->EndWait();
            else
                std::this_thread::sleep_until(start + std::chrono::milliseconds(300));
        };
        session->postPulse(target + " 1 -1\n", target + " 0 -1\n", std::move(between),
                           [this, alive = m_alive, gui, done, motorola, a](bool written) {
                               if (written)
                                   return;
                               if (gui)
                                   gui->post([this, alive, done, motorola, a] {
                                       if (*alive)
                                           m_echoes.forget(motorola, a.address, a.port);
                                       done(AccessoryOutcome::ConnectionLost);
                                   });
                               else
                                   m_echoes.forget(motorola, a.address, a.port);  // thread-safe
                           });
        return SendResult::Sent;
    }
    // SRCP 0.8: the pulse, its 300 ms included, runs on the component's own thread.
    if (!SRCP08)
        return SendResult::NotConnected;
    const bool motorola = Protokoll == QLatin1String("M") || Protokoll == QLatin1String("m");
    const bool connected = SRCP08->view.connected;
    m_echoes.expect(motorola, a.address, a.port);
    if (!SRCP08->accessoryPulse(motorola, a.address, a.port, 300, std::move(done))) {
        m_echoes.forget(motorola, a.address, a.port);
        if (connected)
            return SendResult::Refused;  // the adapter named the missing bus or the wrong address
        CommandChannel* session = m_main.Session;
        return session && session->reconnecting() ? SendResult::Reconnecting : SendResult::NotConnected;
    }
    return SendResult::Sent;
}

QString Cbahn::notSentText(SendResult r) const
{
    switch (r) {
    case SendResult::NoDecoder:
        return QStringLiteral("No decoder assigned: nothing was sent");
    case SendResult::NotConnected: {
        const QString what = m_panel.message ? m_panel.message(127) : QString();
        return (what.isEmpty() ? QStringLiteral("Not connected to server") : what)
               + QStringLiteral(": nothing was sent");
    }
    case SendResult::Reconnecting:  // the session says so itself
    case SendResult::Refused:       // and so does the channel
    case SendResult::Sent:
        break;
    }
    return {};
}

void Cbahn::operateClick(int x, int y, const OperateHooks& hooks)
{
    m_main.Fahrstrasse = 0;
    tPosEntry* e = m_postable.getEntryByKor(x, y);
    if (!e)
        return;
    const int n = e->Enummer;
    const int kind = (n >= 1 && n <= 88) ? m_element.get_art(n - 1) : 0;

    if (isRouteSwitch(n)) {
        if (hooks.switchRoute)
            hooks.switchRoute(*e);
        return;
    }
    if (isDetector(n))
        return;

    // A click on an element whose command is on its way goes on from where that command leads.
    const int state = expectedState(*e);
    int newState = state;
    if (kind == 1)
        newState = 2;
    else if (kind == 2 && (state == 1 || state == 2))
        newState = state == 1 ? 2 : 1;
    else if (kind == 3 && state >= 1 && state <= 3)
        newState = state % 3 + 1;

    if (n == EmergencyStop && hooks.stopAllLocos)
        hooks.stopAllLocos();  // does not depend on an accessory decoder behind the button
    if (newState == state)
        return;  // not an accessory: nothing to switch

    const auto refused = [&](SendResult r) {
        if (hooks.status)
            if (const QString why = notSentText(r); !why.isEmpty())
                hooks.status(why);
    };
    const auto sent = [](SendResult r) { return r == SendResult::Sent || r == SendResult::NoDecoder; };
    if (kind == 1) {
        // Momentary: the switched picture for the pulse, Stellung stays 1.
        if (const SendResult r = switchAccessory(*e, 1, 0, true); !sent(r))
            refused(r);
        return;
    }
    if (newState == 3) {
        // Through state 1: its command first.
        if (const SendResult r = switchAccessory(*e, 1); !sent(r)) {
            refused(r);
            return;
        }
    }
    if (const SendResult r = switchAccessory(*e, newState); !sent(r))
        refused(r);
}

int Cbahn::accessoryReported(bool motorola, int address, int port, int value)
{
    if (value == 1) {
        // The report of a command on its way confirms it.
        if (const auto id = m_pending.onPort(motorola, address, port)) {
            m_echoes.take(motorola, address, port);
            const bool drawn = m_pending.find(*id) && !m_pending.find(*id)->momentary;
            commandOutcome(*id, AccessoryOutcome::Acknowledged);
            return drawn ? 1 : 0;
        }
    }
    if (value == 1 && m_echoes.take(motorola, address, port))
        return 0;
    int drawn = 0;
    for (int i = 0; i < m_postable.getNumbofEntries(); ++i) {
        tPosEntry* e = m_postable.getEntryByNum(i);
        const int n = e->Enummer;
        if (n < 1 || n > 88 || isDetector(n) || isRouteSwitch(n) || n == EmergencyStop)
            continue;
        const bool isM = e->Protokoll == QLatin1String("M") || e->Protokoll == QLatin1String("m");
        if (isM != motorola)
            continue;
        const int kind = m_element.get_art(n - 1);
        for (int s = 1; s <= kind && s <= 3; ++s) {
            const auto [decoder, dataPort] = pairOfState(*e, s);
            const AccessoryAddress a = gaAddress(decoder, dataPort);
            if (decoder <= 0 || dataPort < 0 || a.address != address || a.port != port)
                continue;
            if (kind == 1) {
                // switched while the output is on, back when it goes off; Stellung stays 1
                changeicon(value == 1 ? 2 : 1, e->Posx, e->Posy, n);
                ++drawn;
            } else if (value == 1 && e->Stellung != s) {
                changeicon(s, e->Posx, e->Posy, n);
                e->Stellung = s;
                ++drawn;
            }
            break;
        }
    }
    return drawn;
}

void Cbahn::synchronizeAccessories(ProgressDisplay& progress)
{
    const int count = m_postable.getNumbofEntries();
    ProgressScope scope(progress, count);
    for (int i = 0; i < count; ++i) {
        tPosEntry* e = m_postable.getEntryByNum(i);
        if (!e)
            continue;
        const int n = e->Enummer;
        const int kind = (n >= 1 && n <= 88) ? m_element.get_art(n - 1) : 0;
        if (kind > 0 && !isDetector(n)) {
            auto [decoder, dataPort] = pairOfState(*e, e->Stellung);
            ga_out(e->Protokoll, decoder, dataPort);
        }
        progress.step(i, i * 100 / count);
    }
}

DecoderPanelContent Cbahn::decoderClick(int x, int y)
{
    tPosEntry* e = m_postable.getEntryByKor(x, y);
    const int n = e ? e->Enummer : 0;
    if (n <= 0 || isDetector(n))
        return {};
    const int kind = n <= 88 ? m_element.get_art(n - 1) : -1;
    m_main.Speichern_posx = x;
    m_main.Speichern_posy = y;
    DecoderPanelContent c = decodpaneldarstellen(n, x, y);
    c.rows = (kind >= 0 && kind <= 3) ? kind : -1;
    return c;
}

DecoderPanelContent Cbahn::s88Click(int x, int y)
{
    tPosEntry* e = m_postable.getEntryByKor(x, y);
    if (!e || !isDetector(e->Enummer))
        return {};
    m_main.Speichern_posx = x;
    m_main.Speichern_posy = y;
    return decodpaneldarstellen(e->Enummer, x, y);
}

DecoderPanelContent Cbahn::decodpaneldarstellen(int n, int x, int y) const
{
    DecoderPanelContent c;
    tPosEntry* e = m_postable.getEntryByKor(x, y);
    if (n == EmergencyStop || !e || n < 1 || n > 88)
        return c;
    c.filled = true;
    c.compId = e->CompID;
    c.decod = {e->Decod1, e->Decod2, e->Decod3};
    c.daten = {e->Daten1, e->Daten2, e->Daten3};
    c.protocolIndex = e->Protokoll == QLatin1String("M") ? 0 : 1;
    const int kind = m_element.get_art(n - 1);
    const QString data = getDataPath();
    c.iconFiles[0] = data + m_element.get_i01(n - 1);
    if (kind > 1)
        c.iconFiles[1] = data + m_element.get_i02(n - 1);
    if (kind > 2)
        c.iconFiles[2] = data + m_element.get_i03(n - 1);
    return c;
}

std::optional<std::pair<int, int>> Cbahn::decoderAddressOutOfRange(const std::array<QString, 6>& edits,
                                                                   int protocolIndex) const
{
    if (m_main.S88config)
        return std::nullopt;
    const int maxAddress = protocolIndex == 0 ? MaxAccessoryAddressMM : MaxAccessoryAddressNMRA;
    for (int r = 0; r < 3; ++r) {
        bool decoderOk = false, portOk = false;
        const int decoder = edits[r].trimmed().toInt(&decoderOk, 10);
        const int dataPort = edits[3 + r].trimmed().toInt(&portOk, 10);
        if (!decoderOk || decoder <= 0)
            continue;  // no decoder: nothing is ever sent for this state
        const int address = gaAddress(decoder, portOk ? dataPort : 1).address;
        if (address < 1 || address > maxAddress)
            return std::make_pair(address, maxAddress);
    }
    return std::nullopt;
}

bool Cbahn::decoderPanelSave(const std::array<QString, 6>& edits, int protocolIndex)
{
    // Only an element chosen in the current mode takes the edits: in decoder mode an accessory, in
    // S88 mode a feedback detector.
    tPosEntry* e = m_postable.getEntryByKor(m_main.Speichern_posx, m_main.Speichern_posy);
    if (!e || (m_main.S88config && !isDetector(e->Enummer)) || (m_main.Decoder && isDetector(e->Enummer)))
        return false;
    std::array<int, 6> values{};
    for (int i = 0; i < 6; ++i) {
        if (edits[i].isEmpty())
            continue;
        bool ok = false;
        values[i] = edits[i].trimmed().toInt(&ok, 10);
        if (!ok)
            return false;  // nothing is stored from a panel with a wrong entry
    }
    LayoutHistory* history = m_panel.history;
    if (history)
        history->begin();
    int* fields[6] = {&e->Decod1, &e->Decod2, &e->Decod3, &e->Daten1, &e->Daten2, &e->Daten3};
    for (int i = 0; i < 6; ++i)
        if (!edits[i].isEmpty())
            *fields[i] = values[i];
    e->Protokoll = protocolIndex == 0 ? QStringLiteral("M") : QStringLiteral("N");
    if (history)
        history->commit(m_main.S88config ? QStringLiteral("S88 assignment") : QStringLiteral("Decoder assignment"));
    return true;
}
