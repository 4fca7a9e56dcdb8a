#pragma once
// Puts the model clock into the main window: the time setup dialog TimeForm, the clock window
// UhrForm, the "&Time" item of "&Commands" and the server's time messages. Create it after the
// session host; leaving the server closes the clock.

#include "session/ModelClock.h"

#include <QObject>

#include <functional>
#include <memory>

class TMainForm;
class TTimeForm;
class TUhrForm;
class TSRCPCustomTime;

class ClockHost : public QObject {
    Q_OBJECT
public:
    explicit ClockHost(TMainForm& form);
    ~ClockHost() override;

    ModelClock& clock() { return m_clock; }
    TTimeForm& timeForm() { return *m_timeForm; }
    TUhrForm& uhrForm() { return *m_uhrForm; }

    // "&Time" after Qt has toggled its check mark.
    void Zeit1Click();
    // The server's time event: `time` is the time group that reported a new model time.
    void SRCPCl2TimeChange(const TSRCPCustomTime* time);
    // The same with bus 0's time as the server reported it.
    void serverTimeChanged(double value);
    // The server clock is set again with the speed-up and the model time the clock shows (after a
    // lost server came back); nothing unless the clock runs on server time.
    void resendServerTime();
    // Leaving the server: the clock window closes and "&Time" is unchecked.
    void serverClosed();

    // The SRCP 0.8 server's clock (bus 0's time group), reached without waiting: `available` says
    // whether a connected server offers it, `start` hands it speed-up and time, `stop` ends it.
    struct ServerClock {
        std::function<bool()> available;
        std::function<void(int fx, int fy, double time)> start;
        std::function<void()> stop;
    } serverClock;
    // Shows the time setup dialog modally; true when it was closed with "&Set". Tests replace it.
    std::function<bool()> execTimeForm;

private:
    QString message(int id) const;

    TMainForm& m_form;
    ModelClock m_clock;
    TTimeForm* m_timeForm = nullptr;  // owned by the main window
    std::unique_ptr<TUhrForm> m_uhrForm;
};
