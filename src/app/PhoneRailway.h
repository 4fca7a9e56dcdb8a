#pragma once
// The program's side of the phone throttles: the loco table as the roster, the layout's turnouts
// (signals are not turnouts, and the protocol has no list for them: they are left out) and route
// switches, the power as the power panel shows it, and every phone command carried out the way the
// window's own controls do it (and refused where they would do nothing: not connected, operate mode
// off):
// speed, direction and functions through the throttle model (the screen throttle moves with them),
// turnouts and routes as operate clicks on their panel cell, power through the menu's items.

#include "phone/PhoneThrottles.h"

#include <QString>

#include <functional>

class TMainForm;
class ThrottleModel;
class SessionHost;
struct tPosEntry;

class PhoneRailway : public withrottle::Railway {
public:
    PhoneRailway(TMainForm& form, std::function<ThrottleModel*()> throttles, std::function<SessionHost*()> session);

    withrottle::Refusal refusal(withrottle::Kind kind) const override;
    unsigned functions(int lnr) const override;
    bool sameSpeed(int lnr, int a, int b) const override;
    std::string serverName() const override;
    std::vector<withrottle::RosterEntry> roster() const override;
    std::vector<withrottle::NamedItem> turnouts() const override;
    std::vector<withrottle::NamedItem> routes() const override;
    // As the power panel shows it (the server's last word in either protocol); unknown while not
    // connected.
    int power() const override;
    withrottle::LocoState loco(int lnr) const override;
    void setSpeed(int lnr, int speed) override;
    void setDirection(int lnr, bool forward) override;
    void setFunction(int lnr, int function, bool on) override;
    void emergencyStop(int lnr) override;
    bool setTurnout(const std::string& systemName, char how) override;
    bool setRoute(const std::string& systemName) override;
    void setPower(bool on) override;

    // A loco speed 0..vmax as a phone's 0..126 and back.
    static int toPhone(int speed, int vmax);
    static int fromPhone(int speed, int vmax);

private:
    tPosEntry* find(const std::string& systemName, bool route) const;
    QString text(int id) const;
    bool connected() const;
    void speedSlider(int lnr, int speed, bool forward);

    TMainForm& m_form;
    std::function<ThrottleModel*()> m_throttles;
    std::function<SessionHost*()> m_session;
    // The turnout names of the language last asked for (text 798 for every address is dear).
    mutable int m_namesLanguage = -1;
    mutable QString m_turnoutName;
};
