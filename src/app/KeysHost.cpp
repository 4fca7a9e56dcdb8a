#include "app/KeysHost.h"

#include "app/LocoControlHost.h"
#include "app/TMainForm.h"
#include "base/C_language.h"
#include "loco/ThrottleKeys.h"
#include "loco/ThrottleModel.h"
#include "loco/widgets/ReglerPanel.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>

namespace {

constexpr int MsgEmergencyStop = 830;
constexpr int MsgThrottleMenu = 831;
constexpr int MsgThrottle = 832;
constexpr int MsgFaster = 833;
constexpr int MsgSlower = 834;
constexpr int MsgReverse = 835;
constexpr int MsgStopLoco = 836;
constexpr int MsgFunction = 837;
constexpr int MsgEmergencySent = 838;
constexpr int MsgEmergencyNotConnected = 839;

constexpr Qt::Key EmergencyKey = Qt::Key_F12;

QAction* item(QMenu* menu, const QString& name, const QKeySequence& key)
{
    QAction* a = menu->addAction(name);
    a->setObjectName(name);
    a->setShortcut(key);
    return a;
}

}  // namespace

KeysHost::KeysHost(TMainForm& form, LocoControlHost& loco) : QObject(&form), m_form(form), m_loco(loco)
{
    setObjectName(QStringLiteral("KeysHost"));
    if (loco.throttles())
        m_keys = std::make_unique<ThrottleKeys>(*loco.throttles());
    buildMenu();
    applyLanguage();
    connect(&form, &TMainForm::languageApplied, this, &KeysHost::applyLanguage);
    qApp->installEventFilter(this);
}

KeysHost::~KeysHost()
{
    qApp->removeEventFilter(this);
}

void KeysHost::buildMenu()
{
    QMenu* commands = m_form.menu(QStringLiteral("Befehle1"));
    if (!commands)
        return;
    // Power from every window of the program.
    const std::pair<const char*, Qt::Key> power[] = {{"Spannungan1", Qt::Key_F9}, {"Spannungaus1", Qt::Key_F11}};
    for (const auto& [name, key] : power) {
        if (QAction* a = m_form.action(QString::fromLatin1(name))) {
            a->setShortcut(key);
            a->setShortcutContext(Qt::ApplicationShortcut);
        }
    }
    commands->addSeparator();
    // The menu shows the key; the key itself is taken by eventFilter, also past modal dialogs.
    QAction* stop = item(commands, QStringLiteral("Nothalt1"), EmergencyKey);
    connect(stop, &QAction::triggered, this, &KeysHost::emergencyStop);

    if (!m_keys)
        return;
    QMenu* throttle = commands->addMenu(QStringLiteral("Regler1"));
    throttle->setObjectName(QStringLiteral("Regler1"));
    m_choice = new QActionGroup(this);
    for (int d = 0; d < ThrottleModel::Count; ++d) {
        QAction* a = item(throttle, QStringLiteral("ReglerWahl%1").arg(d + 1), QKeySequence(Qt::Key_0 + (d + 1) % 10));
        a->setCheckable(true);
        a->setChecked(d == m_keys->selected());
        m_choice->addAction(a);
        connect(a, &QAction::triggered, this, [this, d] { selectThrottle(d); });
    }
    throttle->addSeparator();
    const struct {
        const char* name;
        QKeySequence key;
        void (ThrottleKeys::*run)();
    } moves[] = {{"Schneller1", QKeySequence(Qt::Key_Plus), &ThrottleKeys::faster},
                 {"Langsamer1", QKeySequence(Qt::Key_Minus), &ThrottleKeys::slower},
                 {"Richtung1", QKeySequence(Qt::Key_R), &ThrottleKeys::reverse},
                 {"Lokstop1", QKeySequence(Qt::Key_S), &ThrottleKeys::stop}};
    for (const auto& m : moves)
        connect(item(throttle, QString::fromLatin1(m.name), m.key), &QAction::triggered, this,
                [this, run = m.run] { (m_keys.get()->*run)(); });
    throttle->addSeparator();
    const Qt::Key functionKeys[] = {Qt::Key_L, Qt::Key_F1, Qt::Key_F2, Qt::Key_F3, Qt::Key_F4};
    for (int k = 0; k < 5; ++k)
        connect(item(throttle, QStringLiteral("Funktion%1_1").arg(k), functionKeys[k]), &QAction::triggered, this,
                [this, k] { m_keys->function(k); });
}

void KeysHost::applyLanguage()
{
    const auto text = [this](int id) { return Lang ? Lang->getmessage(id, m_form.Lang_id) : QString(); };
    if (QAction* a = m_form.action(QStringLiteral("Nothalt1")))
        a->setText(text(MsgEmergencyStop));
    if (QMenu* m = m_form.menu(QStringLiteral("Regler1")))
        m->setTitle(text(MsgThrottleMenu));
    for (int d = 0; d < ThrottleModel::Count; ++d)
        if (QAction* a = m_form.action(QStringLiteral("ReglerWahl%1").arg(d + 1)))
            a->setText(text(MsgThrottle).arg(d + 1));
    const std::pair<const char*, int> items[] = {
        {"Schneller1", MsgFaster}, {"Langsamer1", MsgSlower}, {"Richtung1", MsgReverse}, {"Lokstop1", MsgStopLoco}};
    for (const auto& [name, id] : items)
        if (QAction* a = m_form.action(QString::fromLatin1(name)))
            a->setText(text(id));
    for (int k = 0; k < 5; ++k)
        if (QAction* a = m_form.action(QStringLiteral("Funktion%1_1").arg(k)))
            a->setText(text(MsgFunction).arg(k));
}

void KeysHost::selectThrottle(int Device)
{
    m_keys->select(Device);
    if (ReglerPanel* panel = m_loco.panel())
        panel->setSelected(Device);
}

void KeysHost::emergencyStop()
{
    // The layout's emergency stop element first (it works in every mode), then "Voltage off"; while
    // there is no server nothing can be sent, and the status bar says so.
    if (m_loco.throttles())
        m_loco.throttles()->setall_lokostop();
    QAction* off = m_form.action(QStringLiteral("Spannungaus1"));
    const bool connected = off && off->isEnabled();
    if (connected)
        off->trigger();
    m_form.setStatusText(1, Lang ? Lang->getmessage(connected ? MsgEmergencySent : MsgEmergencyNotConnected,
                                                    m_form.Lang_id)
                                 : QString());
}

bool KeysHost::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::ShortcutOverride || type == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == EmergencyKey && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            // Claimed at the shortcut stage so that no shortcut runs it a second time; the key
            // press that follows runs it once (not again while the key is held).
            event->accept();
            if (type == QEvent::KeyPress && !key->isAutoRepeat())
                if (QAction* stop = m_form.action(QStringLiteral("Nothalt1")))
                    stop->trigger();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
