#pragma once
// The service object: operations on the application state, the position table, the element catalogue
// and the loco table. Its only state of its own is the list of accessory commands whose report from
// the server is still awaited. Its operations are implemented in one file per concern (parameter
// file, positions, rendering, layout file, accessories, routes).

#include "base/AccessoryOutcome.h"
#include "panel/AccessoryEchoes.h"
#include "panel/AccessoryPending.h"
#include "panel/DecoderPanelContent.h"
#include "panel/LayoutPanel.h"

#include <QString>

#include <array>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <functional>

struct AppState;
class C_Position;
class C_Element;
class TLok;
class UserDialogs;
class ProgressDisplay;
class GuiChannel;
struct tPosEntry;

class Cbahn {
public:
    Cbahn(AppState& main, C_Position& postable, C_Element& element, TLok& lok, UserDialogs& dialogs);

    // --- Folders and parameter file (app/Cbahn_parameter.cpp) ---
    QString getDataPath() const;
    QString getLayoutPath() const;
    void parameterladen();      // throws on a read error
    void parameterspeichern();  // throws on a write error

    // --- Position table and coordinates (layout/, forwarded to the track panel) ---
    static int sollkoord(int v) { return LayoutPanel::sollkoord(v); }
    void Quarnliste_eintragen(int x, int y, int n) { m_panel.Quarnliste_eintragen(x, y, n); }
    int poslistsuchen(int x, int y) const { return m_panel.poslistsuchen(x, y); }
    int poslistsuchen2(int x, int y) const { return m_panel.poslistsuchen2(x, y); }
    int compsuchen(int x, int y) const { return m_panel.compsuchen(x, y); }
    bool deletecompfromlist(int x, int y) { return m_panel.deletecompfromlist(x, y); }
    void EmptyQuarnlist() { m_panel.EmptyQuarnlist(); }
    bool deletefromTextlist(int x, int y) { return m_panel.deletefromTextlist(x, y); }
    void EmptyTextlist() { m_panel.EmptyTextlist(); }
    void EmptyMovelist() { m_panel.EmptyMovelist(); }
    void elementeladen() { m_panel.elementeladen(); }  // throws on a read error

    // --- Rendering (panel/) ---
    // The track panel: hooks (panel canvas, ga_out, progress, busy cursor, messages, text dialog)
    // and the editor's mouse handling live there.
    LayoutPanel& trackPanel() { return m_panel; }
    void changeicon(int state, int x, int y, int n) { m_panel.changeicon(state, x, y, n); }
    void change_2_icon(int state, int x, int y, int n) { m_panel.change_2_icon(state, x, y, n); }
    // changeicon as a callable, for the feedback evaluator, which draws detectors through it.
    std::function<void(int state, int x, int y, int n)> iconChanger()
    {
        return [this](int state, int x, int y, int n) { changeicon(state, x, y, n); };
    }
    void quarngraufaerben() { m_panel.quarngraufaerben(); }
    void deletecache() { m_panel.deletecache(); }
    void deleteundo() { m_panel.deleteundo(); }
    void writeQuarnText(const TTextEntry& label) { m_panel.writeQuarnText(label); }

    // --- Layout file (layout/) ---
    void gleisbildspeichern(const QString& name, const QString& folder) { m_panel.gleisbildspeichern(name, folder); }
    void gleisbildladen(const QString& name, const QString& folder) { m_panel.gleisbildladen(name, folder); }

    // --- Accessories (panel/Cbahn_accessories.cpp) ---
    // SRCP accessory address and output of decoder d, data port p: 4 d + (p + 1) div 2, output 0
    // for odd p and 1 for even p (p 0 to 8; any other p: offset p div 2, output 1).
    struct AccessoryAddress {
        int address = 0;
        int port = 0;
    };
    static AccessoryAddress gaAddress(int decoder, int dataPort);
    // What became of an accessory command. Reconnecting and Refused: the channel has already told
    // the user why nothing went out (a reconnect in progress; a missing bus or group, an address
    // out of range).
    enum class SendResult { Sent, NoDecoder, NotConnected, Reconnecting, Refused };
    // One accessory pulse: switch on, pause 300 ms, switch off (SRCP 0.7.3: under the session's
    // Lock_socket), written by a thread of its own: ga_out returns at once, the pulses go out in
    // the order given. Nothing is sent for decoder <= 0, data port < 0 or without a connection.
    // Sent means handed on; nobody is told what became of it (see switchAccessory).
    SendResult ga_out(const QString& Protokoll, int decoder, int dataPort);
    // Why a click sent nothing, for the status bar (empty when the session says so itself).
    QString notSentText(SendResult r) const;
    // Blocks the calling thread for ms milliseconds on the high-resolution timer.
    void pause(int ms);

    // --- Commands awaiting the railway (panel/Cbahn_confirm.cpp) ---
    // Switches element e to `state` with the decoder and data port of that state, for route `route`
    // (0: a click). The picture and Stellung change when the railway confirms the command (SRCP
    // 0.8: the server's OK or its report; 0.7.3: the info channel's report, or the written line
    // when no info channel is open); a command still unanswered after AccessoryPending::MarkAfter
    // shows the waiting mark; one that is refused, times out or loses its connection leaves the
    // element as it was and says so, naming it. Momentary elements show their switched picture
    // for 300 ms and keep Stellung 1. An element without decoder for that state is drawn only: it
    // takes the state at once and nothing is sent or said (NoDecoder). Other results: nothing
    // was sent, nothing changes.
    SendResult switchAccessory(tPosEntry& e, int state, int route = 0, bool momentary = false);
    // The state element e is on its way to (its last pending command's), else its Stellung.
    int expectedState(const tPosEntry& e) const;
    const AccessoryPending& pending() const { return m_pending; }
    // What became of pending command `id` (GUI thread; the pulse threads post it here).
    void commandOutcome(std::uint64_t id, AccessoryOutcome outcome);
    // Marks the commands that wait long and gives up on unreported ones (the timer calls it).
    void checkPending(AccessoryPending::Clock::time_point now = AccessoryPending::Clock::now());
    // The way from the pulse threads back to the GUI thread, and a single-shot timer on it. Without
    // them no outcome arrives and momentary pictures return at once.
    void setGuiChannel(std::shared_ptr<GuiChannel> gui);
    std::function<void(int ms, std::function<void()> call)> later;
    // What an operate click needs from other parts of the program.
    struct OperateHooks {
        std::function<void(tPosEntry&)> switchRoute;  // a route switch (66, 88) was clicked
        std::function<void()> stopAllLocos;           // the emergency stop (22) was clicked
        std::function<void(const QString&)> status;   // why a click sent nothing
    };
    // Operate click on the cell at layout point (x, y): next state, accessory commands, icons. The
    // picture and Stellung follow only what went out: a click that sends nothing leaves both as they
    // are and says why through hooks.status. Errors (a missing icon, a failed write) propagate;
    // Stellung is then not updated.
    void operateClick(int x, int y, const OperateHooks& hooks = {});
    // The server reports that port `port` of accessory `address` was switched to `value` (whoever
    // switched it). A switch-on moves every accessory that port reaches to the state it belongs to;
    // an uncoupling track shows its switched picture until the switch-off. Reports of our own
    // commands change nothing. Returns the number of elements drawn.
    int accessoryReported(bool motorola, int address, int port, int value);
    const AccessoryEchoes& echoes() const { return m_echoes; }
    // "S&ynchronize": re-sends every accessory's stored state.
    void synchronizeAccessories(ProgressDisplay& progress);
    // Decoder mode click and S88 mode click on the cell at (x, y): set Speichern_posx/-posy and
    // return what the decoder panel shows (rows -1 and not filled when the click is ignored).
    DecoderPanelContent decoderClick(int x, int y);
    DecoderPanelContent s88Click(int x, int y);
    DecoderPanelContent decodpaneldarstellen(int n, int x, int y) const;
    // "Save" of the decoder panel: the six edits (Decod_edit1..3, Daten_Edit1..3) and the protocol
    // index into the element at (Speichern_posx, Speichern_posy). Empty texts are skipped. False,
    // and nothing stored, on a non-number or when no element of the current mode is chosen.
    bool decoderPanelSave(const std::array<QString, 6>& edits, int protocolIndex);
    // Decoder mode: the first accessory address the edits give that the protocol cannot reach
    // (Motorola 1..256, NMRA 1..4096), with that maximum; none when every filled row is in range.
    std::optional<std::pair<int, int>> decoderAddressOutOfRange(const std::array<QString, 6>& edits,
                                                                int protocolIndex) const;
    static constexpr int MaxAccessoryAddressMM = 256, MaxAccessoryAddressNMRA = 4096;

    // --- Routes (panel/) ---
    // Route file of the current layout, beside it: Gleisbildpfad + DateinameohneEndung + ".dat"
    // (getLayoutPath while no folder is known).
    QString routeFilePath() const;
    // Where every route file used to be kept, whatever folder its layout was in: getLayoutPath +
    // DateinameohneEndung + ".dat".
    QString sharedRouteFilePath() const;
    // Writes the route list Fahr to the route file; throws on a write error (the old file stays).
    // Nothing is written without a layout name. A file there that this program neither read nor
    // wrote for the layout (one left by an earlier layout of that name) is first kept as ".bak".
    void fahrspeichern();
    // Reads the route file of the layout just opened into Fahr and clears the Knopf flags; the layout
    // is not touched. A missing file gives no routes. A file found only under getLayoutPath for a
    // layout in another folder is taken when its routes lie on this layout's elements and is then
    // written beside the layout (the file under getLayoutPath stays as it is); otherwise its routes
    // are not taken. A file with values that cannot be loses those routes only (readRouteText): it is
    // kept as ".bak" and written anew. A file that cannot be read at all gives no routes; it is kept
    // as ".bak" and the error is thrown for the default error dialog. Returns what the user should
    // know (in English, one sentence a line), empty when the file was read as it was or is missing.
    QString fahrladen();
    // "&New": the layout has no route file of its own yet.
    void forgetRouteFile() { m_routeFile.clear(); }
private:
    AppState& m_main;
    C_Position& m_postable;
    C_Element& m_element;
    TLok& m_lok;
    UserDialogs& m_dialogs;
    LayoutPanel m_panel{m_main, m_postable, m_element, m_dialogs};
    AccessoryEchoes m_echoes;  // our own commands whose report is still to come
    QString m_routeFile;       // the route file read or written for the current layout

    // --- commands awaiting the railway ---
    using PulseDone = std::function<void(AccessoryOutcome)>;
    // ga_out with the outcome reported to `done` on the GUI thread when it is Sent.
    SendResult startPulse(const QString& Protokoll, int decoder, int dataPort, PulseDone done);
    void applyCommand(const AccessoryPending::Command& c);
    void revertCommand(const AccessoryPending::Command& c, AccessoryOutcome why);
    void showMomentary(int x, int y, int n, std::uint64_t id);
    void updatePendingMarks(AccessoryPending::Clock::time_point now);
    void scheduleCheck();
    QString elementName(const AccessoryPending::Command& c) const;
    AccessoryPending m_pending;
    // Per cell, the last command (by id) whose state the element took: an older one confirmed later
    // does not draw over it.
    std::map<std::pair<int, int>, std::uint64_t> m_applied;
    std::shared_ptr<GuiChannel> m_gui;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);  // calls queued for this object
    bool m_checkScheduled = false;

public:
    ~Cbahn();
    Cbahn(const Cbahn&) = delete;
    Cbahn& operator=(const Cbahn&) = delete;
};

extern Cbahn* Bahn;
