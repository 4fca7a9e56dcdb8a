#pragma once
// Route mode and route switches without the window: recording, removing and connecting by mouse,
// the buttons of both route editor pages, and setting and releasing a route from a route switch in
// operate mode. The window shows `labels` and leaves the editor when an operation says so.

#include "panel/LayoutPanel.h"

#include <QString>

#include <functional>

struct AppState;
struct tPosEntry;
class C_fahr;
class C_Position;
class UserDialogs;

struct RouteLabels {
    QString LabelFahrerst2;  // route number (recording page)
    QString LabelFahrerst4;  // element count of that route
    QString LabelFahrdel2;   // route number (deleting page)
};

class RouteMode {
public:
    RouteMode(AppState& main, C_fahr& fahr, C_Position& postable, LayoutPanel& panel, UserDialogs& dialogs);

    // Writes the route file (fahrspeichern); throws on a write error. Unset: nothing is written.
    std::function<void()> saveRoutes;

    RouteLabels labels;

    // Entering route mode: takes a new route number. False when none is left (a message was shown);
    // the window then returns to operate mode.
    bool enter();
    // Mouse-down on the panel in route mode: record (left), remove (right), connect (after Connect).
    void mouseDown(LayoutPanel::Button button, int X, int Y);
    // "Connect": the next left click on a route switch connects it to the route.
    void connectClicked();
    // "Save": true when the route was saved and the window goes to operate mode.
    bool save();
    // "Cancel": the window then goes to operate mode.
    void cancel();
    // The editor closes without "Save" or "Cancel" (another mode was chosen): what was recorded
    // becomes one step of undo.
    void leave();
    // "+" and "-" of the recording page and of the deleting page; "Delete".
    void createPlus();
    void createMinus();
    void deletePlus();
    void deleteMinus();
    void deleteRoute();
    // Another page was chosen: both pages show the route number and its element count.
    void pageChanged();

    // Operate mode: a left click on route switch p sets or releases its route.
    void routeSwitchClick(tPosEntry& p);

    // The highest route number in use, by the route list or by a placed route switch.
    int highestRouteInUse() const;

private:
    void updateLabels();
    QString message(int id) const;
    void showRangeError(int route);
    template <class F> void guarded(F&& f);

    AppState& m_main;
    C_fahr& m_fahr;
    C_Position& m_postable;
    LayoutPanel& m_panel;
    UserDialogs& m_dialogs;
};
