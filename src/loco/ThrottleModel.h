#pragma once
// The ten throttles ("Regler"): what each regulator shows (slider, direction glyph, address, the five
// function pictures) and what happens when the user moves a slider, clicks a direction button, a
// centre-zero check box or a function picture. Regulator `Device` 0..9 drives loco `Device`. The
// widgets of the throttle panel only mirror RegulatorView and forward their events here.

#include <QImage>
#include <QString>

#include <array>
#include <functional>
#include <vector>

struct AppState;
struct DriveReport;
class TLok;
class LocoCommand;
class LocoIcons;
class UserDialogs;

struct RegulatorView {
    // The slider works upside down: Position 0 is the top, Position == Max the bottom.
    int Max = 100;
    int Position = 100;
    bool Checked = false;      // centre-zero operation
    QString AddressText;       // Regler<n>_label
    QString DirectionIcon;     // file name on the direction button; empty until one was loaded
    QImage DirectionGlyph;
    std::array<QString, 5> FuncIcon;   // F0..F4 picture file names; empty = cleared
    std::array<QImage, 5> FuncImage;
};

class ThrottleModel {
public:
    static constexpr int Count = 10;

    ThrottleModel(AppState& main, TLok& lok, LocoCommand& command, LocoIcons& icons, UserDialogs& dialogs);

    const RegulatorView& regulator(int Device) const { return m_reg[static_cast<std::size_t>(Device)]; }
    const QString& Lokname() const { return m_lokname; }

    // Hooks, all optional.
    std::function<void(int Device)> regulatorChanged;  // redraw regulator Device; -1: the name label
    std::function<void(const QString& text)> debugLine;
    std::function<QString(int id)> message;            // message table in the current language
    std::function<void()> saveParameters;              // parameter file (throws on a write error)
    std::function<void(int nr)> setuplok;              // loco setup dialog for loco nr
    std::function<void(int Device)> setupjoybuttons;   // offer the regulator to a waiting joystick

    // Events of the panel's controls.
    // The slider is put to `position` (by the user or the program); a changed position fires
    // ScrollBar1Change like the control's change event.
    void moveSlider(int Device, int position);
    void ScrollBar1Change(int Device);
    void SpeedButton1Click(int Device);
    void CheckBoxClick(int Device, bool checked);
    void Func_pic1Click(int Device);
    void FuncPicClick(int Funcnr, int N);  // picture Func<Funcnr>_pic<N>, N = 1..10

    // Operations.
    void setupScrollBar(int Device);
    void setupAll();  // setupScrollBar for all ten
    void changeScrollBar(int Device);
    void speedswitch(int Device);
    void showpics(int Device);
    void switch_basalfunction(int Device);
    void switch_function(int Device, int Funcnr);
    // Stops every loco. A regulator in normal operation goes to the bottom, one in centre-zero
    // operation to its middle: both are standstill.
    void setall_lokostop();
    // The direction glyph of regulator Device after the loco's direction was changed elsewhere
    // (joystick), and emptying the name label (joystick unbound).
    void showDirection(int Device);
    void clearLokname();

    // The server reports a loco's drive state (whoever drove it): every regulator on that loco
    // (SRCP 0.7.3: protocol code and address; SRCP 0.8: bus and address) takes direction, the
    // switched state of F0..Fn and the speed, put on its own scale, and shows them; nothing is
    // sent. A speed the decoder would not tell from the regulator's own stays as the regulator
    // has it. Returns the regulators moved.
    int locoReported(const DriveReport& report);
    // The server has no state for loco Device (a server that restarted knows no loco): the regulator
    // shows it stopped, keeping direction and functions, and nothing is sent until it is touched.
    void locoNotOnServer(int Device);
    // The regulators other than Device that drive the same loco (protocol and address).
    std::vector<int> sameLoco(int Device) const;

private:
    RegulatorView& reg(int Device) { return m_reg[static_cast<std::size_t>(Device)]; }
    // gl_out of Device, then the regulators on the same loco follow it.
    void send(int Device);
    // Puts slider, direction glyph and function pictures to the loco record without sending.
    void showDriveState(int Device);
    bool nearlyStopped(int Device) const;
    // Loads `file` into `image`/`name`; a missing or bad file is reported and false returned.
    bool loadIcon(const QString& file, QImage& image, QString& name);
    bool loadDirection(int Device, const QString& file);
    QString lookup(int nr, int code);  // the icon of loco nr's code
    void setLokname(int Device);
    void notify(int Device);
    void debug(const QString& text);
    QString text(int id) const;

    AppState& m_main;
    TLok& m_lok;
    LocoCommand& m_command;
    LocoIcons& m_icons;
    UserDialogs& m_dialogs;
    std::array<RegulatorView, Count> m_reg;
    QString m_lokname;
    // While stopping all locos, missing icons are collected and reported once at the end.
    bool m_collectMissing = false;
    QStringList m_missing;
};
