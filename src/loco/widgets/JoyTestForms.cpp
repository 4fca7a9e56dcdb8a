#include "loco/widgets/JoyTestForms.h"

#include "base/AppState.h"
#include "loco/JoystickControl.h"
#include "loco/JoystickSource.h"
#include "base/UserDialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSlider>
#include <QStandardPaths>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QLabel* named(const QString& name, const QString& text, QWidget* parent)
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    return l;
}

QSlider* makeTrackBar(const QString& name, int min, int max, QWidget* parent)
{
    auto* t = new QSlider(Qt::Vertical, parent);
    t->setObjectName(name);
    t->setRange(min, max);
    t->setInvertedAppearance(true);  // the top of the bar is the stick pushed forward
    t->setTickPosition(QSlider::TicksBothSides);
    t->setTickInterval((max - min) / 10);
    t->setFixedHeight(150);
    t->setEnabled(false);
    return t;
}

QCheckBox* makeBox(const QString& name, const QString& text, QWidget* parent)
{
    auto* b = new QCheckBox(text, parent);
    b->setObjectName(name);
    b->setAttribute(Qt::WA_TransparentForMouseEvents);  // shows the controller, not the mouse
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

}  // namespace

QString joystickCalibrationTool()
{
    return QStandardPaths::findExecutable(QStringLiteral("jstest-gtk"));
}

JoyTestBase::JoyTestBase(JoystickSource& source, JoystickControl& control, QWidget* parent)
    : QDialog(parent), m_source(source), m_control(control)
{
    setWindowModality(Qt::ApplicationModal);
    TestTimer = new QTimer(this);
    TestTimer->setObjectName(QStringLiteral("TestTimer"));
    connect(TestTimer, &QTimer::timeout, this, [this] { TestTimerTimer(); });
    startTool = [](const QString& program) { return QProcess::startDetached(program, {}); };
}

QWidget* JoyTestBase::buttonRow()
{
    auto* row = new QWidget(this);
    auto* box = new QHBoxLayout(row);
    box->setContentsMargins(0, 0, 0, 0);
    Test_button = new QPushButton(QStringLiteral("Test"), row);
    Test_button->setObjectName(QStringLiteral("Test_button"));
    CalButton = new QPushButton(QStringLiteral("Calibrate"), row);
    CalButton->setObjectName(QStringLiteral("CalButton"));
    const QString tool = joystickCalibrationTool();
    CalButton->setEnabled(!tool.isEmpty());
    CalButton->setToolTip(tool.isEmpty() ? QStringLiteral("No joystick calibration tool (jstest-gtk) is installed") : tool);
    Exit_button = new QPushButton(QStringLiteral("Exit"), row);
    Exit_button->setObjectName(QStringLiteral("Exit_button"));
    box->addWidget(Test_button);
    box->addWidget(CalButton);
    box->addStretch();
    box->addWidget(Exit_button);
    connect(Test_button, &QPushButton::clicked, this, [this] { Test_buttonClick(); });
    connect(CalButton, &QPushButton::clicked, this, &JoyTestBase::CalButtonClick);
    connect(Exit_button, &QPushButton::clicked, this, &JoyTestBase::Exit_buttonClick);
    return row;
}

void JoyTestBase::CalButtonClick()
{
    const QString tool = joystickCalibrationTool();
    if (tool.isEmpty())
        return;
    TestTimer->stop();
    m_control.stopPolling();
    if (startTool)
        startTool(tool);
    TestTimer->start();
}

void JoyTestBase::Exit_buttonClick()
{
    accept();
}

void JoyTestBase::done(int r)
{
    // However the window closes, the throttles are polled again.
    TestTimer->stop();
    m_control.startPolling();
    QDialog::done(r);
}

TJoyDxForm::TJoyDxForm(JoystickSource& source, JoystickControl& control, QWidget* parent)
    : JoyTestBase(source, control, parent)
{
    setObjectName(QStringLiteral("JoyDxForm"));
    setWindowTitle(QStringLiteral("JoyDxForm"));
    TestTimer->setInterval(JoystickControl::DxInterval);
    auto* outer = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    for (int j = 1; j <= 2; ++j) {
        const int col = (j - 1) * 2;
        grid->addWidget(named(QStringLiteral("JoyLabel%1").arg(j), QStringLiteral("Joystick %1").arg(j), this), 0, col, 1, 2);
        QSlider* t = makeTrackBar(QStringLiteral("TrackBar%1").arg(j), -100, 100, this);
        (j == 1 ? TrackBar1 : TrackBar2) = t;
        grid->addWidget(t, 1, col);
        auto* boxes = new QVBoxLayout;
        for (int k = 0; k <= 4; ++k) {
            QCheckBox* b = makeBox(QStringLiteral("CBF%1").arg(j == 1 ? k : 10 + k), QStringLiteral("F%1").arg(k), this);
            m_box[static_cast<std::size_t>(j - 1)][static_cast<std::size_t>(k)] = b;
            boxes->addWidget(b);
        }
        boxes->addStretch();
        grid->addLayout(boxes, 1, col + 1);
    }
    grid->setColumnMinimumWidth(1, 80);
    outer->addLayout(grid);
    Label1 = named(QStringLiteral("Label1"), QStringLiteral("false"), this);
    outer->addWidget(Label1);
    outer->addWidget(buttonRow());
}

void TJoyDxForm::showJoysetup(bool on)
{
    Label1->setText(on ? QStringLiteral("true") : QStringLiteral("false"));
}

void TJoyDxForm::Test_buttonClick()
{
    m_control.stopPolling();
    m_second = false;
    TestTimer->start();
}

void TJoyDxForm::TestTimerTimer()
{
    m_control.checkDevices();
    // Joystick 1 and 2 take turns, when there are two.
    const int joy = m_second && m_source.getNrOfJoysticks() > 1 ? 2 : 1;
    m_second = !m_second;
    TJoyData d;
    m_source.GetInput(joy, d);  // a controller that is gone reads all 0
    trackBar(joy)->setValue(d.Joy_y);
    const int buttons[4] = {d.Button1, d.Button2, d.Button3, d.Button4};
    for (int k = 0; k < 4; ++k)
        box(joy, k)->setChecked(buttons[k] > 0);
}

TJoyWinForm::TJoyWinForm(AppState& main, UserDialogs& dialogs, JoystickSource& source, JoystickControl& control,
                         QWidget* parent)
    : JoyTestBase(source, control, parent), m_main(main), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("JoyWinForm"));
    setWindowTitle(QStringLiteral("JoyWinForm"));
    TestTimer->setInterval(JoystickControl::WinInterval);
    auto* outer = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    const char* const captions[2][3] = {{"Button 1", "Button 2", "Button 1+ 2"}, {"Button 1", "Button 2", "Button 1 + 2"}};
    for (int j = 1; j <= 2; ++j) {
        const int col = (j - 1) * 2;
        grid->addWidget(named(QStringLiteral("JoyLabel%1").arg(j), QStringLiteral("Joystick %1").arg(j), this), 0, col, 1, 2);
        QSlider* t = j == 1 ? makeTrackBar(QStringLiteral("TrackBarY"), -100, 100, this)
                            : makeTrackBar(QStringLiteral("TrackBarZ"), -50, 50, this);
        (j == 1 ? TrackBarY : TrackBarZ) = t;
        grid->addWidget(t, 1, col);
        auto* boxes = new QVBoxLayout;
        for (int i = 0; i < 3; ++i) {
            QCheckBox* b = makeBox(QStringLiteral("CB%1_%2").arg(j).arg(i + 1), QString::fromLatin1(captions[j - 1][i]), this);
            m_box[static_cast<std::size_t>(j - 1)][static_cast<std::size_t>(i)] = b;
            boxes->addWidget(b);
        }
        const char axis = j == 1 ? 'Y' : 'Z';
        m_range[static_cast<std::size_t>((j - 1) * 2)] = named(QStringLiteral("%1min").arg(axis), QString(), this);
        m_range[static_cast<std::size_t>((j - 1) * 2 + 1)] = named(QStringLiteral("%1max").arg(axis), QString(), this);
        m_value[static_cast<std::size_t>(j - 1)] = named(QStringLiteral("%1value").arg(axis), QString(), this);
        boxes->addWidget(m_range[static_cast<std::size_t>((j - 1) * 2)]);
        boxes->addWidget(m_range[static_cast<std::size_t>((j - 1) * 2 + 1)]);
        boxes->addWidget(m_value[static_cast<std::size_t>(j - 1)]);
        boxes->addStretch();
        grid->addLayout(boxes, 1, col + 1);
    }
    grid->setColumnMinimumWidth(1, 110);
    outer->addLayout(grid);
    m_result = named(QStringLiteral("JoyResult"), QString(), this);
    outer->addWidget(m_result);
    outer->addWidget(buttonRow());
    setDebug(main.Debug);
}

void TJoyWinForm::setDebug(bool on)
{
    for (QLabel* l : m_range)
        l->setVisible(on);
    for (QLabel* l : m_value)
        l->setVisible(on);
}

void TJoyWinForm::Test_buttonClick()
{
    setDebug(m_main.Debug);
    m_control.checkDevices();
    JoyWinData d;
    const int code = m_source.GetWinInput(d);
    m_result->setText(QStringLiteral("Joy = %1").arg(code));
    if (code != 0) {
        m_control.setButtonsVisible(false);
        m_dialogs.messageBox(m_control.text(130), m_control.text(102), UserDialogs::Icon::Error);
        return;
    }
    // The raw axis range of the controller.
    for (QSlider* t : {TrackBarY, TrackBarZ}) {
        t->setRange(0, 65535);
        t->setTickInterval(65535 / 10);
    }
    m_range[0]->setText(QStringLiteral("Ymin = 0"));
    m_range[1]->setText(QStringLiteral("Ymax = 65535"));
    m_range[2]->setText(QStringLiteral("Zmin = 0"));
    m_range[3]->setText(QStringLiteral("Zmax = 65535"));
    m_control.setButtonsVisible(true);
    m_control.stopPolling();
    TestTimer->start();
}

void TJoyWinForm::TestTimerTimer()
{
    m_control.checkDevices();
    JoyWinData d;
    m_source.GetWinInput(d);
    TrackBarY->setValue(d.Ypos);
    TrackBarZ->setValue(d.Zpos);
    m_value[0]->setText(QString::number(d.Ypos));
    m_value[1]->setText(QString::number(d.Zpos));
    static const unsigned words[2][3] = {{1, 2, 3}, {4, 8, 12}};
    for (int j = 0; j < 2; ++j)
        for (int i = 0; i < 3; ++i)
            m_box[static_cast<std::size_t>(j)][static_cast<std::size_t>(i)]->setChecked(d.Buttons == words[j][i]);
}
