#include "session/widgets/TTimeForm.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QSpinBox>
#include <QTime>
#include <QVBoxLayout>

TTimeForm* TimeForm = nullptr;

namespace {

QSpinBox* spin(const char* name, int max, QWidget* parent)
{
    auto* s = new QSpinBox(parent);
    s->setObjectName(QString::fromLatin1(name));
    s->setRange(0, max);
    s->setWrapping(true);
    s->setAlignment(Qt::AlignRight);
    return s;
}

QRadioButton* radio(const char* name, const char* text, QWidget* parent)
{
    auto* r = new QRadioButton(QString::fromLatin1(text), parent);
    r->setObjectName(QString::fromLatin1(name));
    return r;
}

}  // namespace

TTimeForm::TTimeForm(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TimeForm"));
    setWindowTitle(QStringLiteral("Time setup"));

    auto* timeBox = new QGroupBox(QStringLiteral("Time setup"), this);
    timeBox->setObjectName(QStringLiteral("TimeGroup"));
    edHours = spin("edHours", 23, timeBox);
    edMin = spin("edMin", 59, timeBox);
    esSecs = spin("esSecs", 59, timeBox);
    auto* timeGrid = new QGridLayout(timeBox);
    const char* labels[] = {"Hours", "Minutes", "Seconds"};
    QSpinBox* spins[] = {edHours, edMin, esSecs};
    for (int i = 0; i < 3; ++i) {
        auto* l = new QLabel(QString::fromLatin1(labels[i]), timeBox);
        l->setBuddy(spins[i]);
        timeGrid->addWidget(l, 0, i);
        timeGrid->addWidget(spins[i], 1, i);
    }

    rgServer = new QGroupBox(QStringLiteral("Server"), this);
    rgServer->setObjectName(QStringLiteral("rgServer"));
    pcClock = radio("pcClock", "PC clock", rgServer);
    kavoServer = radio("kavoServer", "Kavo server", rgServer);
    auto* serverRow = new QHBoxLayout(rgServer);
    serverRow->addWidget(pcClock);
    serverRow->addWidget(kavoServer);
    connect(pcClock, &QRadioButton::toggled, this, [this] { rgServerClick(); });

    rgSpeed = new QGroupBox(QStringLiteral("Speed"), this);
    rgSpeed->setObjectName(QStringLiteral("rgSpeed"));
    increase = radio("increase", "increase", rgSpeed);
    decrease = radio("decrease", "decrease", rgSpeed);
    auto* speedRow = new QHBoxLayout(rgSpeed);
    speedRow->addWidget(increase);
    speedRow->addWidget(decrease);
    edSpeed = new QSpinBox(this);
    edSpeed->setObjectName(QStringLiteral("edSpeed"));
    edSpeed->setRange(1, 10);
    edSpeed->setValue(1);
    edSpeed->setPrefix(QStringLiteral("x "));
    auto* speedLine = new QHBoxLayout;
    speedLine->addWidget(rgSpeed, 1);
    speedLine->addWidget(edSpeed);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* set = buttons->addButton(QStringLiteral("&Set"), QDialogButtonBox::AcceptRole);
    set->setObjectName(QStringLiteral("TimeSet_button"));
    set->setDefault(true);
    QPushButton* cancel = buttons->addButton(QStringLiteral("&Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("TimeCancel_button"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(timeBox);
    layout->addWidget(rgServer);
    layout->addLayout(speedLine);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
    pcClock->setChecked(true);
    increase->setChecked(true);
}

void TTimeForm::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TTimeForm::FormShow()
{
    const QTime now = QTime::currentTime();
    edHours->setValue(now.hour());
    edMin->setValue(now.minute());
    esSecs->setValue(now.second());
    increase->setChecked(true);
    pcClock->setChecked(true);
    rgServerClick();
}

void TTimeForm::rgServerClick()
{
    const bool server = kavoServer->isChecked();
    rgSpeed->setEnabled(server);
    edSpeed->setEnabled(server);
    if (!server)
        edSpeed->setValue(1);
}

TimeSetup TTimeForm::values() const
{
    TimeSetup v;
    v.hours = edHours->value();
    v.minutes = edMin->value();
    v.seconds = esSecs->value();
    v.kavoServer = kavoServer->isChecked();
    v.decrease = decrease->isChecked();
    v.speed = edSpeed->value();
    return v;
}
