#include "loco/VirtualJoystick.h"

#include <QByteArray>
#include <QStringList>

#include <SDL.h>

#include <algorithm>

VirtualJoystick::VirtualJoystick(const QString& name)
{
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    m_started = SDL_InitSubSystem(SDL_INIT_JOYSTICK) == 0;
    if (!m_started)
        return;
    const QByteArray n = name.toUtf8();
    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = 3;
    desc.nbuttons = 4;
    desc.name = n.constData();
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0)
        return;
    m_instance = SDL_JoystickGetDeviceInstanceID(index);
    m_handle = SDL_JoystickOpen(index);
}

VirtualJoystick::~VirtualJoystick()
{
    detach();
    if (m_started)
        SDL_QuitSubSystem(SDL_INIT_JOYSTICK);
}

void VirtualJoystick::setAxis(int axis, int value)
{
    if (m_handle)
        SDL_JoystickSetVirtualAxis(m_handle, axis, static_cast<Sint16>(std::clamp(value, -32768, 32767)));
}

void VirtualJoystick::setButton(int button, bool pressed)
{
    if (m_handle)
        SDL_JoystickSetVirtualButton(m_handle, button, pressed ? 1 : 0);
}

void VirtualJoystick::detach()
{
    if (!m_handle)
        return;
    SDL_JoystickClose(m_handle);
    m_handle = nullptr;
    // The device index of a virtual controller can change when others come and go.
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == m_instance) {
            SDL_JoystickDetachVirtual(i);
            break;
        }
    }
    m_instance = -1;
}

std::vector<std::unique_ptr<VirtualJoystick>> VirtualJoystick::attachFromEnvironment()
{
    std::vector<std::unique_ptr<VirtualJoystick>> out;
    if (!qEnvironmentVariableIsSet("QUARN_VIRTUAL_JOYSTICKS"))
        return out;
    const QString setting = qEnvironmentVariable("QUARN_VIRTUAL_JOYSTICKS");
    const QStringList devices = setting.split(QLatin1Char(';'));
    for (int d = 0; d < devices.size() && d < 2; ++d) {
        auto v = std::make_unique<VirtualJoystick>(QStringLiteral("Quarn virtual controller %1").arg(d + 1));
        if (!v->attached())
            break;
        for (const QString& part : devices[d].split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            const QString p = part.trimmed().toLower();
            if (p.size() == 2 && p[0] == QLatin1Char('b') && p[1] >= QLatin1Char('1') && p[1] <= QLatin1Char('4')) {
                v->setButton(p[1].digitValue() - 1, true);
            } else if (p.size() > 2 && p[1] == QLatin1Char('=')) {
                const int axis = QStringLiteral("xyz").indexOf(p[0]);
                bool ok = false;
                const int value = p.mid(2).toInt(&ok);
                if (axis >= 0 && ok)
                    v->setAxis(axis, value);
            }
        }
        out.push_back(std::move(v));
    }
    return out;
}
