#pragma once
// The feedback evaluator: draws feedback detectors (elements 65 and 87) free or occupied as their
// S88 contacts report. A detector carries its module in Decod1 and its port in Daten1.
// Runs on the GUI thread only; the reader threads hand decoded contacts over to it.

#include <QString>

#include <functional>
#include <optional>
#include <string_view>

struct AppState;
class C_Position;
class ProgressDisplay;

class C_rueckmodul {
public:
    // Draws element `n`'s icon for `state` (1 free, 2 occupied) into the layout picture and onto
    // the panel at layout point (x, y): the track panel's changeicon.
    using ChangeIcon = std::function<void(int state, int x, int y, int n)>;

    C_rueckmodul(AppState& main, C_Position& postable, ChangeIcon changeicon);

    // Redraws the first detector (in table order) with this module and port: value 0 free, 1
    // occupied. Any other value has no icon and throws, like a missing icon file.
    void iconrefresh(int module, int port, int value);
    // Decode a one-contact or an all-contacts line and refresh (throw FeedbackLineError when
    // the line is malformed).
    void fbport_auswerten(std::string_view line);
    void fball_auswerten(std::string_view line);
    // Draws every detector free, whatever its module and port; a detector that cannot be drawn is
    // skipped.
    void iconreset();
    // Accepts a line and does nothing with it.
    void parse(std::string_view line);
    // "Synchroni&ze" of the feedback menu. In SRCP 0.7.3 mode only the progress display runs.
    void synchronize(ProgressDisplay& progress);
    // After a new connection: every detector drawn free, then as the stored contacts of the new
    // server say (nothing stays occupied from the server before).
    void showStoredContacts();
    // The stored value of contact `index` (0-based, 16 per module) of the SRCP 0.8 feedback bus, or
    // nothing when there is no such store (0.7.3 mode, not connected, no feedback group).
    std::function<std::optional<int>(int index)> contactValue;

    static bool isDetector(int elementNumber) { return elementNumber == 65 || elementNumber == 87; }

    // Receives the diagnostic lines of debug mode (the debug window).
    std::function<void(const QString& line)> debugLine;

private:
    void debug(const QString& line) const;

    AppState& m_main;
    C_Position& m_postable;
    ChangeIcon m_changeicon;
};

extern C_rueckmodul* Rueckmodul;
