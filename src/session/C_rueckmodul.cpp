#include "session/C_rueckmodul.h"

#include "base/AppState.h"
#include "layout/C_Position.h"
#include "base/PositionTable.h"
#include "session/FeedbackLine.h"
#include "base/ProgressDisplay.h"

#include <stdexcept>
#include <string>
#include <utility>

C_rueckmodul* Rueckmodul = nullptr;

C_rueckmodul::C_rueckmodul(AppState& main, C_Position& postable, ChangeIcon changeicon)
    : m_main(main), m_postable(postable), m_changeicon(std::move(changeicon))
{
}

void C_rueckmodul::iconrefresh(int module, int port, int value)
{
    const int count = m_postable.getNumbofEntries();
    for (int i = 0; i < count; ++i) {
        tPosEntry* e = m_postable.getEntryByNum(i);
        if (!e || !isDetector(e->Enummer) || e->Daten1 <= 0)
            continue;
        if (e->Daten1 == port && e->Decod1 == module) {
            if (value != 0 && value != 1)
                throw std::runtime_error("no detector icon for feedback value " + std::to_string(value));
            debug(QStringLiteral("Icon%1%2.bmp").arg(e->Enummer, 2, 10, QLatin1Char('0'))
                      .arg(value == 0 ? QStringLiteral("01") : QStringLiteral("02")));
            m_changeicon(value == 0 ? 1 : 2, e->Posx, e->Posy, e->Enummer);
            return;
        }
    }
}

void C_rueckmodul::fbport_auswerten(std::string_view line)
{
    FeedbackContact c = decodeFbPort(line);
    iconrefresh(c.module, c.port, c.value);
}

void C_rueckmodul::fball_auswerten(std::string_view line)
{
    for (const FeedbackContact& c : decodeFbAll(line))
        iconrefresh(c.module, c.port, c.value);
}

void C_rueckmodul::iconreset()
{
    const int count = m_postable.getNumbofEntries();
    for (int i = 0; i < count; ++i) {
        tPosEntry* e = m_postable.getEntryByNum(i);
        if (!e || !isDetector(e->Enummer))
            continue;
        try {
            m_changeicon(1, e->Posx, e->Posy, e->Enummer);
        } catch (const std::exception&) {
            // A detector whose icon cannot be drawn keeps its picture; the others are reset.
            debug(QString::fromUtf8("Es wurde eine Exception im Modul !Rueckmodul! ausgelöst"));
        }
    }
}

void C_rueckmodul::parse(std::string_view) {}

void C_rueckmodul::debug(const QString& line) const
{
    if (m_main.Debug && debugLine)
        debugLine(line);
}

void C_rueckmodul::showStoredContacts()
{
    struct Quiet : ProgressDisplay {
        void begin(int) override {}
        void step(int, int) override {}
        void end() override {}
    } quiet;
    iconreset();
    synchronize(quiet);
}

void C_rueckmodul::synchronize(ProgressDisplay& progress)
{
    const int count = m_postable.getNumbofEntries();
    ProgressScope scope(progress, count);
    debug(QString::number(count));
    for (int i = 0; i < count; ++i) {
        if (const tPosEntry* e = m_postable.getEntryByNum(i))
            debug(QStringLiteral("**** Nr: %1 Indexnummer: %2 Enummer: %3 Modul: %4 Port: %5  ***")
                      .arg(i).arg(e->CompID).arg(e->Enummer).arg(e->Decod1).arg(e->Daten1));
        // The stored contact states come from the SRCP 0.8 client; in 0.7.3 mode there are none.
        tPosEntry* e = m_postable.getEntryByNum(i);
        if (contactValue && e && isDetector(e->Enummer) && e->Decod1 > 0 && e->Daten1 > 0) {
            if (std::optional<int> value = contactValue((e->Decod1 - 1) * 16 + (e->Daten1 - 1))) {
                try {
                    iconrefresh(e->Decod1, e->Daten1, *value);
                } catch (const std::exception&) {
                    // a detector whose icon cannot be drawn keeps its picture
                }
            }
        }
        progress.step(i, count > 0 ? i * 100 / count : 0);
    }
}
