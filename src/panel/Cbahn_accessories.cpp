// Operating accessories: the accessory command, the operate click, synchronising all accessories
// and the decoder panel's content.

#include "panel/Cbahn.h"

#include "base/AppState.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "base/PositionTable.h"
#include "base/C_SRCP08.h"
#include "moba/THighResTimer.h"
#include "panel/LayoutHistory.h"
#include "base/CommandChannel.h"
#include "base/ProgressDisplay.h"

#include <chrono>
#include <string>
#include <thread>
#include <tuple>

namespace {

constexpr int EmergencyStop = 22;

bool isDetector(int n) { return n == 65 || n == 87; }
bool isRouteSwitch(int n) { return n == 66 || n == 88; }
bool isMomentary(int n) { return n == 20 || n == 42 || n == 64 || n == 86 || n == EmergencyStop; }

// Decoder and data port that reach `state` (1 to 3) of an element; {0, 0} for other states.
std::pair<int, int> pairOfState(const tPosEntry& e, int state)
{
    switch (state) {
    case 1: return {e.Decod1, e.Daten1};
    case 2: return {e.Decod2, e.Daten2};
    case 3: return {e.Decod3, e.Daten3};
    default: return {0, 0};
    }
}

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

void Cbahn::ga_out(const QString& Protokoll, int decoder, int dataPort)
{
    const AccessoryAddress a = gaAddress(decoder, dataPort);
    if (decoder <= 0 || dataPort < 0)
        return;
    if (m_main.SrcpVer == 73) {
        CommandChannel* session = m_main.Session;
        if (!session || !session->commandConnected()) {
            if (session && session->reconnecting())
                session->refuseWhileReconnecting();  // rather than sending it later, unasked
            return;
        }
        const std::string word = (Protokoll == QLatin1String("N") || Protokoll == QLatin1String("n"))
                                     ? "SET GA N "
                                     : "SET GA M ";
        const std::string target = word + std::to_string(a.address) + " " + std::to_string(a.port);
        session->writePulse(target + " 1 -1\n", target + " 0 -1\n", [this] { pause(300); });
        return;
    }
    // SRCP 0.8: the pulse, its 300 ms included, runs on the component's own thread.
    if (SRCP08)
        SRCP08->accessoryPulse(Protokoll == QLatin1String("M") || Protokoll == QLatin1String("m"), a.address, a.port,
                               300);
}

void Cbahn::operateClick(int x, int y, const OperateHooks& hooks)
{
    m_main.Fahrstrasse = 0;
    tPosEntry* e = m_postable.getEntryByKor(x, y);
    if (!e)
        return;
    const int n = e->Enummer;
    const int kind = (n >= 1 && n <= 88) ? m_element.get_art(n - 1) : 0;
    const int state = e->Stellung;

    if (isRouteSwitch(n)) {
        if (hooks.switchRoute)
            hooks.switchRoute(*e);
        return;
    }
    if (isDetector(n))
        return;

    int newState = state;
    int decoder = 0, dataPort = 0;
    if (kind == 1) {
        newState = 2;
        std::tie(decoder, dataPort) = pairOfState(*e, 1);
    } else if (kind == 2 && (state == 1 || state == 2)) {
        newState = state == 1 ? 2 : 1;
        std::tie(decoder, dataPort) = pairOfState(*e, newState);
    } else if (kind == 3 && state >= 1 && state <= 3) {
        newState = state % 3 + 1;
        std::tie(decoder, dataPort) = pairOfState(*e, newState);
    }

    if (newState == 3) {
        changeicon(1, e->Posx, e->Posy, n);
        ga_out(e->Protokoll, e->Decod1, e->Daten1);
    }
    ga_out(e->Protokoll, decoder, dataPort);
    changeicon(newState, e->Posx, e->Posy, n);
    if (n == EmergencyStop && hooks.stopAllLocos)
        hooks.stopAllLocos();
    if (isMomentary(n)) {
        pause(300);
        newState = 1;
        changeicon(1, e->Posx, e->Posy, n);
    }
    e->Stellung = newState;
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
