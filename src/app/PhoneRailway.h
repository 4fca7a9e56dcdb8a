#pragma once
// The program's side of the phone throttles: the loco table as the roster, the layout's turnouts
// and route switches, and every phone command carried out the way the window's own controls do it:
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

    std::string serverName() const override;
    std::vector<withrottle::RosterEntry> roster() const override;
    std::vector<withrottle::NamedItem> turnouts() const override;
    std::vector<withrottle::NamedItem> routes() const override;
    int power() const override { return m_power; }
    withrottle::LocoState loco(int lnr) const override;
    void setSpeed(int lnr, int speed) override;
    void setDirection(int lnr, bool forward) override;
    void setFunction(int lnr, int function, bool on) override;
    void emergencyStop(int lnr) override;
    bool setTurnout(const std::string& systemName, char how) override;
    bool setRoute(const std::string& systemName) override;
    void setPower(bool on) override;

    // The power state as last switched from the menu or a phone (2: not known yet).
    void powerSwitched(bool on) { m_power = on ? 1 : 0; }

    // A loco speed 0..vmax as a phone's 0..126 and back.
    static int toPhone(int speed, int vmax);
    static int fromPhone(int speed, int vmax);

private:
    tPosEntry* find(const std::string& systemName, bool route) const;
    QString text(int id) const;
    void speedSlider(int lnr, int speed, bool forward);

    TMainForm& m_form;
    std::function<ThrottleModel*()> m_throttles;
    std::function<SessionHost*()> m_session;
    int m_power = 2;
};
