#include "loco/JoystickControl.h"

#include "base/AppState.h"
#include "loco/Flookup.h"
#include "loco/JoystickSource.h"
#include "loco/LocoCommand.h"
#include "loco/LocoIcons.h"
#include "loco/ThrottleModel.h"
#include "base/TLok.h"

#include <QStringList>

namespace {

bool withFunctions(const QString& p)
{
    static const QStringList codes{QStringLiteral("M2"), QStringLiteral("M3"), QStringLiteral("M4"),
                                   QStringLiteral("M5"), QStringLiteral("N1"), QStringLiteral("N2"),
                                   QStringLiteral("N3"), QStringLiteral("N4"), QStringLiteral("N5")};
    return codes.contains(p);
}

// "F1" .. "F4" -> 1 .. 4; anything else ("keine") -> 0.
int functionNumber(const QString& name)
{
    static const QStringList names{QStringLiteral("F1"), QStringLiteral("F2"), QStringLiteral("F3"),
                                   QStringLiteral("F4")};
    return static_cast<int>(names.indexOf(name)) + 1;
}

const QString kLeft = QStringLiteral("pfeil_li.bmp");
const QString kRight = QStringLiteral("pfeil_re.bmp");
const QString kBoth = QStringLiteral("pfeil_dop.bmp");

}  // namespace

JoystickControl::JoystickControl(AppState& main, TLok& lok, ThrottleModel& throttles, LocoCommand& command,
                                 LocoIcons& icons, UserDialogs& dialogs, JoystickSource& source)
    : m_main(main), m_lok(lok), m_throttles(throttles), m_command(command), m_icons(icons), m_dialogs(dialogs),
      m_source(source)
{
}

int& JoystickControl::con(int joy) { return joy == 1 ? m_main.Joy1con : m_main.Joy2con; }
int& JoystickControl::loknr(int joy) { return joy == 1 ? m_main.Joy1loknr : m_main.Joy2loknr; }
int& JoystickControl::faktor(int joy) { return joy == 1 ? m_main.Joy1faktor : m_main.Joy2faktor; }
bool& JoystickControl::waiting(int joy) { return joy == 1 ? m_main.Joy1button_pressed : m_main.Joy2button_pressed; }

QString JoystickControl::text(int id) const
{
    if (message) {
        const QString t = message(id);
        if (!t.isEmpty())
            return t;
    }
    switch (id) {
    case 101:
        return QStringLiteral("There is a problem with the parameter file, it will be now generated. Please check settings!");
    case 102:
        return QStringLiteral("Error");
    case MsgFunctionCodesRepaired:
        return functionCodesRepairedText();
    case 122:
        return QStringLiteral("Controler ");
    case 130:
        return QStringLiteral("No Joystick detected!");
    case 138:
        return QStringLiteral(" ");
    case 139:
        return QStringLiteral("Joystick(s) is(are) detected");
    default:
        return {};
    }
}

void JoystickControl::debug(const QString& line)
{
    if (m_main.Debug && debugLine)
        debugLine(line);
}

void JoystickControl::notify(int joy)
{
    if (changed)
        changed(joy);
}

void JoystickControl::setInterval(int ms)
{
    m_interval = ms;
    if (setPolling)
        setPolling(ms);
}

void JoystickControl::stopPolling()
{
    setInterval(0);
}

void JoystickControl::startPolling()
{
    setInterval(m_wanted);
}

QString JoystickControl::lookup(int nr, int code)
{
    // A code no picture knows is set to "no function" for this one loco; the others keep theirs.
    return flookup(code, [this, nr] {
        reportRepairedCodes(m_lok, nr, m_dialogs, text(MsgFunctionCodesRepaired), text(102), saveParameters);
    });
}

void JoystickControl::setPic(int joy, int k, const QString& file)
{
    JoyView& view = v(joy);
    const auto i = static_cast<std::size_t>(k - 1);
    view.Icon[i].clear();
    view.Image[i] = QImage();
    if (file.isEmpty())
        return;
    // A picture that cannot be loaded stays empty: the button works all the same, and a timer
    // must not open message boxes.
    try {
        view.Image[i] = m_icons.load(file);
        view.Icon[i] = file;
    } catch (const std::exception& e) {
        debug(QString::fromLocal8Bit(e.what()));
    }
}

void JoystickControl::showFound(int count)
{
    for (int j = 1; j <= 2; ++j)
        v(j).ButtonVisible = count > 0;
    if (statusText) {
        if (count <= 0) {
            statusText(text(130));
        } else {
            // One sentence with the number between the two texts.
            QString middle = m_main.Joy_Mode == 0 ? QString::number(count) : QString();
            const QString tail = text(139);
            if (!middle.isEmpty() && !tail.startsWith(QLatin1Char(' ')))
                middle += QLatin1Char(' ');
            statusText(text(138) + middle + tail);
        }
    }
    notify(0);
}

void JoystickControl::Joyinitsetup()
{
    Joysetup = false;
    m_buttonpressed = {};
    m_lastStick = {-1, -1};
    StickChanged = false;
    m_lastWord = 0;
    if (m_main.Joy_Mode == 1) {
        JoyWinSetup();
        return;
    }
    const int r = m_source.Joy_init();
    showFound(r == 0 ? m_source.getNrOfJoysticks() : 0);
    // The timer also notices a controller plugged in later, unless the service itself is missing.
    m_wanted = r == 1 ? 0 : DxInterval;
    setInterval(m_wanted);
}

bool JoystickControl::JoyWinSetup()
{
    Joysetup = false;
    const int r = m_source.Joy_init();
    const bool found = r == 0;
    showFound(found ? 1 : 0);
    m_wanted = r == 1 ? 0 : WinInterval;
    setInterval(m_wanted);
    return found;
}

void JoystickControl::ButtonClick(int joy)
{
    if (joy == 1 || joy == 2)
        waiting(joy) = true;
}

void JoystickControl::ButtonRightClick(int joy)
{
    if (joy != 1 && joy != 2)
        return;
    con(joy) = 0;
    loknr(joy) = -1;
    waiting(joy) = false;
    v(joy).Joylabel.clear();
    for (int k = 1; k <= 4; ++k)
        setPic(joy, k, QString());
    m_code[static_cast<std::size_t>(joy - 1)] = {};
    m_throttles.clearLokname();
    notify(joy);
}

void JoystickControl::setupjoybuttons(int Device)
{
    if (Device < 0 || Device >= ThrottleModel::Count)
        return;
    for (int j = 1; j <= 2; ++j) {
        if (!waiting(j))
            continue;
        con(j) = Device + 1;
        loknr(j) = Device;
        v(j).Joylabel = text(122) + QString::number(con(j));
        faktor(j) = m_throttles.regulator(Device).Max;
        m_buttonpressed[static_cast<std::size_t>(j - 1)] = 0;
        m_lastStick[static_cast<std::size_t>(j - 1)] = -1;
        loadjoypics(j, Device);
        waiting(j) = false;
        notify(j);
    }
}

void JoystickControl::loadjoypics(int joy, int nr)
{
    if ((joy != 1 && joy != 2) || nr < 0 || nr >= TLok::Count)
        return;
    std::array<int, 4>& code = m_code[static_cast<std::size_t>(joy - 1)];
    code = {};
    for (int k = 1; k <= 4; ++k)
        setPic(joy, k, QString());

    const int jb1 = m_lok.get_jb1(nr);
    if (jb1 > 0) {
        code[0] = jb1;
        QString file;
        if ((jb1 == 7 || jb1 == 17) && m_lok.get_protocol(nr) != QLatin1String("M1"))
            file = m_lok.get_direction(nr) == 1 ? kLeft : kRight;
        else
            file = lookup(nr, jb1);
        setPic(joy, 1, file);
    }
    const int jb2 = m_lok.get_jb2(nr);
    if (jb2 > 0) {
        code[1] = jb2;
        setPic(joy, 2, lookup(nr, jb2));
    }
    const Dekod_Funcs f = m_lok.get_F(nr);
    const auto chosen = [&](int k, int jb, const QString& func) {
        const int fn = functionNumber(func);
        if (jb <= 0 || fn == 0)
            return;  // "keine": the button switches nothing and shows nothing
        code[static_cast<std::size_t>(k - 1)] = f[static_cast<std::size_t>(fn)];
        if (f[static_cast<std::size_t>(fn)] != 0)
            setPic(joy, k, lookup(nr, f[static_cast<std::size_t>(fn)]));
    };
    chosen(3, m_lok.get_jb3(nr), m_lok.get_jb3func(nr));
    chosen(4, m_lok.get_jb4(nr), m_lok.get_jb4func(nr));
    notify(joy);
}

void JoystickControl::funcPicClick(int joy, int k)
{
    if (joy != 1 && joy != 2)
        return;
    const int nr = loknr(joy);
    if (nr < 0 || nr >= TLok::Count || con(joy) <= 0)
        return;  // not bound
    const QString protocol = m_lok.get_protocol(nr);
    switch (k) {
    case 1: {
        if (m_lok.get_addr(nr) <= 0)
            return;
        if (m_lok.get_speed(nr) <= 0) {
            const bool wasForward = m_lok.get_direction(nr) == 1;
            if (withFunctions(protocol)) {
                m_lok.set_direction(nr, wasForward ? 0 : 1);
                setPic(joy, 1, wasForward ? kRight : kLeft);
            } else if (protocol == QLatin1String("M1")) {
                m_lok.set_direction(nr, wasForward ? 0 : 1);
                setPic(joy, 1, kBoth);
            }
            m_throttles.showDirection(nr);
            notify(joy);
        }
        m_command.gl_out(nr);
        break;
    }
    case 2: {
        Dekod_Funcs f = m_lok.get_F(nr);
        if (!functionOn(f[0])) {
            f[0] = 11;
            setPic(joy, 2, QStringLiteral("Func_on.bmp"));
        } else {
            f[0] = 1;
            setPic(joy, 2, QStringLiteral("Func_off.bmp"));
        }
        m_lok.set_F(nr, f);
        notify(joy);
        m_throttles.showpics(nr);
        m_command.gl_out(nr);
        break;
    }
    case 3:
    case 4: {
        if (!withFunctions(protocol))
            return;
        const QString func = k == 3 ? m_lok.get_jb3func(nr) : m_lok.get_jb4func(nr);
        const int fn = functionNumber(func);
        if (fn == 0)
            return;  // "keine"
        searchAndClickPics(func, nr);
        // The picture shows the function as it is now.
        const int now = m_lok.get_F(nr)[static_cast<std::size_t>(fn)];
        m_code[static_cast<std::size_t>(joy - 1)][static_cast<std::size_t>(k - 1)] = now;
        setPic(joy, k, now != 0 ? lookup(nr, now) : QString());
        notify(joy);
        break;
    }
    default:
        break;
    }
}

void JoystickControl::searchAndClickPics(const QString& Fname, int loknr)
{
    const int fn = functionNumber(Fname);
    if (fn == 0 || loknr < 0 || loknr >= ThrottleModel::Count)
        return;
    m_throttles.FuncPicClick(fn, loknr + 1);
}

int JoystickControl::stickPosition(int y, int faktor)
{
    const int p = y == 0 ? 50 : y / 2 + 50;
    return faktor * p / 100;
}

void JoystickControl::devicesChanged()
{
    const int n = m_source.getNrOfJoysticks();
    showFound(m_main.Joy_Mode == 0 ? n : (n > 0 ? 1 : 0));
}

void JoystickControl::checkDevices()
{
    if (m_source.updateDevices())
        devicesChanged();
}

void JoystickControl::setButtonsVisible(bool visible)
{
    for (int j = 1; j <= 2; ++j)
        v(j).ButtonVisible = visible;
    notify(0);
}

void JoystickControl::JoyTimerTimer()
{
    checkDevices();
    if (m_main.Joy_Mode == 1) {
        JoyMove();
        return;
    }
    StickChanged = !StickChanged;
    readDx(StickChanged ? 1 : 2);
}

void JoystickControl::readDx(int joy)
{
    if (con(joy) <= 0)
        return;
    TJoyData d;
    // A controller that is gone leaves the loco as it is (an all-zero reading would be half speed).
    if (m_source.GetInput(joy, d) != 0)
        return;
    const int p = stickPosition(d.Joy_y, faktor(joy));
    debug(QStringLiteral("Joystick%1: %2").arg(joy).arg(d.Joy_y));
    int& last = m_lastStick[static_cast<std::size_t>(joy - 1)];
    if (con(joy) >= 1 && con(joy) <= ThrottleModel::Count && p != last)
        m_throttles.moveSlider(con(joy) - 1, p);
    last = p;

    int& counter = m_buttonpressed[static_cast<std::size_t>(joy - 1)];
    if (counter == 0) {
        const int buttons[4] = {d.Button1, d.Button2, d.Button3, d.Button4};
        for (int k = 1; k <= 4; ++k) {
            if (buttons[k - 1] > 0) {
                funcPicClick(joy, k);
                counter = 1;
            }
        }
    } else if (++counter >= 5) {
        counter = 0;
    }
}

void JoystickControl::JoyMove()
{
    JoyWinData d;
    if (m_source.GetWinInput(d) != 0) {
        m_lastWord = 0;
        return;  // no controller: the locos stay as they are
    }
    if (m_main.Joy1con >= 1 && m_main.Joy1con <= ThrottleModel::Count) {
        m_throttles.moveSlider(m_main.Joy1con - 1, d.Ypos);
        debug(QString::number(d.Ypos));
    }
    if (m_main.Joy2con >= 1 && m_main.Joy2con <= ThrottleModel::Count) {
        m_throttles.moveSlider(m_main.Joy2con - 1, d.Zpos);
        debug(QString::number(d.Zpos));
    }
    // A held combination acts once; it acts again after the buttons were let go or changed.
    const unsigned word = d.Buttons;
    const bool fresh = word != m_lastWord;
    m_lastWord = word;
    if (!fresh)
        return;
    switch (word) {
    case 1:
    case 3:
        funcPicClick(1, 1);
        break;
    case 2:
        funcPicClick(1, 3);
        break;
    case 4:
        funcPicClick(2, 1);
        break;
    case 8:
        funcPicClick(2, 2);
        break;
    case 12:
        funcPicClick(2, 3);
        break;
    default:
        break;
    }
}
