#include "loco/ThrottleModel.h"

#include "loco/DriveReport.h"

#include "base/AppState.h"
#include "base/C_SRCP08.h"
#include "loco/Flookup.h"
#include "loco/LocoCommand.h"
#include "loco/LocoIcons.h"
#include "base/TLok.h"
#include "base/UserDialogs.h"

#include <QStringList>

#include <algorithm>
#include <set>
#include <utility>

namespace {

// Slider position at which a loco stands: the bottom, or in centre-zero operation the position
// where vmax - Position is exactly half of vmax (for an odd vmax one below the middle).
int standstillPosition(int vmax, bool centreZero)
{
    return centreZero ? vmax - vmax / 2 : vmax;
}

// Protocols with an absolute direction: the glyph shows forward or backwards.
bool directional(const QString& p)
{
    static const QStringList codes{QStringLiteral("M2"), QStringLiteral("M3"), QStringLiteral("M4"),
                                   QStringLiteral("M5"), QStringLiteral("N1"), QStringLiteral("N2"),
                                   QStringLiteral("N3"), QStringLiteral("N4"), QStringLiteral("N5")};
    return codes.contains(p);
}

const QString kLeft = QStringLiteral("pfeil_li.bmp");
const QString kRight = QStringLiteral("pfeil_re.bmp");
const QString kBoth = QStringLiteral("pfeil_dop.bmp");
const QString kFuncOn = QStringLiteral("Func_on.bmp");
const QString kFuncOff = QStringLiteral("Func_off.bmp");

}  // namespace

ThrottleModel::ThrottleModel(AppState& main, TLok& lok, LocoCommand& command, LocoIcons& icons,
                             UserDialogs& dialogs)
    : m_main(main), m_lok(lok), m_command(command), m_icons(icons), m_dialogs(dialogs)
{
}

QString ThrottleModel::text(int id) const
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
    default:
        return {};
    }
}

void ThrottleModel::notify(int Device)
{
    if (regulatorChanged)
        regulatorChanged(Device);
}

void ThrottleModel::debug(const QString& line)
{
    if (m_main.Debug && debugLine)
        debugLine(line);
}

void ThrottleModel::setLokname(int Device)
{
    m_lokname = m_lok.get_name(Device);
    notify(-1);
}

bool ThrottleModel::loadIcon(const QString& file, QImage& image, QString& name)
{
    try {
        image = m_icons.load(file);
        name = file;
        return true;
    } catch (const std::exception& e) {
        const QString what = QString::fromLocal8Bit(e.what());
        if (m_collectMissing) {
            if (!m_missing.contains(what))
                m_missing << what;
        } else {
            m_dialogs.messageBox(what, text(102), UserDialogs::Icon::Error);
        }
        return false;
    }
}

bool ThrottleModel::loadDirection(int Device, const QString& file)
{
    RegulatorView& r = reg(Device);
    const bool ok = loadIcon(file, r.DirectionGlyph, r.DirectionIcon);
    notify(Device);
    return ok;
}

QString ThrottleModel::lookup(int nr, int code)
{
    // A code no picture knows is set to "no function" for this one loco; the others keep theirs.
    return flookup(code, [this, nr] {
        reportRepairedCodes(m_lok, nr, m_dialogs, text(MsgFunctionCodesRepaired), text(102), saveParameters);
    });
}

bool ThrottleModel::nearlyStopped(int Device) const
{
    const RegulatorView& r = regulator(Device);
    return r.Position > r.Max * 0.9;
}

void ThrottleModel::moveSlider(int Device, int position)
{
    RegulatorView& r = reg(Device);
    position = std::clamp(position, 0, std::max(0, r.Max));
    if (position == r.Position)
        return;
    r.Position = position;
    notify(Device);
    ScrollBar1Change(Device);
}

void ThrottleModel::ScrollBar1Change(int Device)
{
    changeScrollBar(Device);
    showpics(Device);
}

void ThrottleModel::SpeedButton1Click(int Device)
{
    if (m_main.Lokregler) {
        if (setuplok)
            setuplok(Device);
    } else if (m_main.Betrieb) {
        if (setupjoybuttons)
            setupjoybuttons(Device);
        speedswitch(Device);
    }
}

void ThrottleModel::CheckBoxClick(int Device, bool checked)
{
    reg(Device).Checked = checked;
    notify(Device);
    setupScrollBar(Device);
}

void ThrottleModel::Func_pic1Click(int Device)
{
    switch_basalfunction(Device);
}

void ThrottleModel::FuncPicClick(int Funcnr, int N)
{
    switch_function(N - 1, Funcnr);
}

void ThrottleModel::setupScrollBar(int Device)
{
    if (m_lok.get_addr(Device) <= 0)
        return;
    RegulatorView& r = reg(Device);
    r.AddressText = QString::number(m_lok.get_addr(Device));
    const int vmax = m_lok.get_speedmax(Device);
    r.Max = std::max(0, vmax);
    if (r.Position > r.Max)
        r.Position = r.Max;  // the control keeps its position inside the range
    notify(Device);
    moveSlider(Device, standstillPosition(vmax, r.Checked));

    if (nearlyStopped(Device)) {
        const QString p = m_lok.get_protocol(Device);
        if (directional(p))
            loadDirection(Device, m_lok.get_direction(Device) == 1 ? kLeft : kRight);
        else if (p == QLatin1String("M1"))
            loadDirection(Device, kBoth);
    }
    showpics(Device);
}

void ThrottleModel::setupAll()
{
    for (int d = 0; d < Count; ++d)
        setupScrollBar(d);
}

void ThrottleModel::changeScrollBar(int Device)
{
    if (m_lok.get_addr(Device) <= 0 || !m_main.Betrieb)
        return;
    setLokname(Device);
    const RegulatorView& r = regulator(Device);
    const int vmax = m_lok.get_speedmax(Device);
    int v = vmax - r.Position;
    if (r.Checked) {
        const int half = vmax / 2;
        v = (v == half) ? 0 : (v - half) * 2;
        debug(QStringLiteral("V = %1 Position = %2").arg(v).arg(r.Position));
        if (v < 0) {
            m_lok.set_direction(Device, 1);
            v = -v;
        } else {
            m_lok.set_direction(Device, 0);
        }
    }
    if (v < vmax * 0.03)
        v = 0;
    m_lok.set_speed(Device, v);
    send(Device);
}

void ThrottleModel::speedswitch(int Device)
{
    if (m_lok.get_addr(Device) <= 0)
        return;
    setLokname(Device);
    if (nearlyStopped(Device)) {
        const QString p = m_lok.get_protocol(Device);
        const bool wasForward = m_lok.get_direction(Device) == 1;
        if (directional(p)) {
            m_lok.set_direction(Device, wasForward ? 0 : 1);
            loadDirection(Device, wasForward ? kRight : kLeft);
        } else if (p == QLatin1String("M1")) {
            m_lok.set_direction(Device, wasForward ? 0 : 1);
            loadDirection(Device, kBoth);
        }
    }
    showpics(Device);
    send(Device);
}

void ThrottleModel::showpics(int Device)
{
    RegulatorView& r = reg(Device);
    for (int k = 0; k < 5; ++k) {
        r.FuncIcon[static_cast<std::size_t>(k)].clear();
        r.FuncImage[static_cast<std::size_t>(k)] = QImage();
    }
    const Dekod_Funcs f = m_lok.get_F(Device);
    const bool drawn = loadIcon(functionOn(f[0]) ? kFuncOn : kFuncOff, r.FuncImage[0], r.FuncIcon[0]);
    debug(QStringLiteral("Reglernr: %1").arg(Device));
    debug(QStringLiteral("Functions: "));
    QString codes;
    for (int k = 0; k < 5; ++k)
        codes += QString::number(f[static_cast<std::size_t>(k)]) + QLatin1Char(' ');
    debug(codes);
    if (drawn && m_lok.get_nrof(Device) > 0) {
        for (std::size_t k = 1; k <= 4; ++k) {
            if (f[k] == 0)
                continue;
            const QString file = lookup(Device, f[k]);
            if (file.isEmpty())
                continue;  // a damaged code, now "no function": no picture
            if (!loadIcon(file, r.FuncImage[k], r.FuncIcon[k]))
                break;
        }
    }
    notify(Device);
}

void ThrottleModel::switch_basalfunction(int Device)
{
    if (m_lok.get_addr(Device) <= 0)
        return;
    Dekod_Funcs f = m_lok.get_F(Device);
    RegulatorView& r = reg(Device);
    f[0] = toggledFunction(f[0]);
    m_lok.set_F(Device, f);
    loadIcon(functionOn(f[0]) ? kFuncOn : kFuncOff, r.FuncImage[0], r.FuncIcon[0]);
    notify(Device);
    send(Device);
}

void ThrottleModel::switch_function(int Device, int Funcnr)
{
    if (Funcnr < 1 || Funcnr > 4 || m_lok.get_addr(Device) <= 0)
        return;
    Dekod_Funcs f = m_lok.get_F(Device);
    const auto k = static_cast<std::size_t>(Funcnr);
    if (f[k] == 0)
        return;
    f[k] = toggledFunction(f[k]);
    m_lok.set_F(Device, f);
    RegulatorView& r = reg(Device);
    const QString file = lookup(Device, f[k]);
    if (!file.isEmpty())
        loadIcon(file, r.FuncImage[k], r.FuncIcon[k]);
    notify(Device);
    send(Device);
}

void ThrottleModel::setall_lokostop()
{
    m_collectMissing = true;
    m_missing.clear();
    // One stop per loco: regulators on the same loco share its one command.
    std::set<std::pair<QString, int>> stopped;
    for (int d = 0; d < Count; ++d) {
        if (m_lok.get_addr(d) <= 0)
            continue;
        const int vmax = m_lok.get_speedmax(d);
        RegulatorView& r = reg(d);
        // A slider whose range was not set up for the loco's top speed could not reach standstill.
        r.Max = std::max(0, vmax);
        r.Position = standstillPosition(vmax, r.Checked);
        m_lok.set_speed(d, 0);
        showDirection(d);
        notify(d);
        if (stopped.insert({m_lok.get_protocol(d), m_lok.get_addr(d)}).second)
            m_command.gl_out(d);
    }
    m_collectMissing = false;
    if (!m_missing.isEmpty())
        m_dialogs.messageBox(m_missing.join(QLatin1Char('\n')), text(102), UserDialogs::Icon::Error);
    m_missing.clear();
}

std::vector<int> ThrottleModel::sameLoco(int Device) const
{
    std::vector<int> out;
    const int addr = m_lok.get_addr(Device);
    if (addr <= 0)
        return out;
    for (int d = 0; d < Count; ++d)
        if (d != Device && m_lok.get_addr(d) == addr && m_lok.get_protocol(d) == m_lok.get_protocol(Device))
            out.push_back(d);
    return out;
}

void ThrottleModel::send(int Device)
{
    m_command.gl_out(Device);
    for (int d : sameLoco(Device)) {
        m_lok.set_speed(d, m_lok.get_speed(Device));
        m_lok.set_direction(d, m_lok.get_direction(Device));
        Dekod_Funcs f = m_lok.get_F(d);
        const Dekod_Funcs mine = m_lok.get_F(Device);
        for (std::size_t k = 0; k < f.size(); ++k)
            if (functionOn(f[k]) != functionOn(mine[k]) && (k == 0 || f[k] != 0))
                f[k] = toggledFunction(f[k]);
        m_lok.set_F(d, f);
        showDriveState(d);
    }
}

void ThrottleModel::showDriveState(int Device)
{
    RegulatorView& r = reg(Device);
    const int vmax = std::max(0, m_lok.get_speedmax(Device));
    const int v = std::clamp(m_lok.get_speed(Device), 0, vmax);
    r.Max = vmax;
    if (r.Checked) {
        // the inverse of changeScrollBar's centre-zero arithmetic: direction 0 is the upper half
        const int half = vmax / 2;
        const int offset = (v + 1) / 2;
        r.Position = std::clamp(vmax - half - (m_lok.get_direction(Device) == 1 ? -offset : offset), 0, vmax);
    } else {
        r.Position = vmax - v;
    }
    showDirection(Device);
    showpics(Device);
}

int ThrottleModel::locoReported(const DriveReport& report)
{
    int moved = 0;
    for (int d = 0; d < Count; ++d) {
        if (report.address <= 0 || m_lok.get_addr(d) != report.address)
            continue;
        if (report.bus >= 0 ? C_SRCP08::locoBusOf(m_main, m_lok, d) != report.bus
                            : m_lok.get_protocol(d) != report.protocol)
            continue;
        const int own = m_lok.get_speedmax(d);
        const int scale = report.speedMax > 0 ? report.speedMax : own;
        int speed = m_lok.get_speed(d);
        if (!sameDecoderSpeed(report.speed, scale, speed, own, report.steps))
            speed = speedOnScale(report.speed, scale, own);
        const int direction = report.direction < 0 ? m_lok.get_direction(d) : report.direction;
        Dekod_Funcs f = m_lok.get_F(d);
        bool same = m_lok.get_speed(d) == speed && m_lok.get_direction(d) == direction;
        for (std::size_t k = 0; k < report.functions.size() && k < f.size(); ++k) {
            if (k > 0 && f[k] == 0)
                continue;  // no function there: nothing to show
            if (functionOn(f[k]) != (report.functions[k] != 0)) {
                f[k] = toggledFunction(f[k]);
                same = false;
            }
        }
        if (same)
            continue;
        m_lok.set_speed(d, speed);
        m_lok.set_direction(d, direction);
        m_lok.set_F(d, f);
        showDriveState(d);
        ++moved;
    }
    return moved;
}

void ThrottleModel::locoNotOnServer(int Device)
{
    if (Device < 0 || Device >= Count || m_lok.get_addr(Device) <= 0)
        return;
    m_lok.set_speed(Device, 0);
    showDriveState(Device);
}

void ThrottleModel::showDirection(int Device)
{
    const QString p = m_lok.get_protocol(Device);
    if (directional(p))
        loadDirection(Device, m_lok.get_direction(Device) == 1 ? kLeft : kRight);
    else if (p == QLatin1String("M1"))
        loadDirection(Device, kBoth);
}

void ThrottleModel::clearLokname()
{
    m_lokname.clear();
    notify(-1);
}
