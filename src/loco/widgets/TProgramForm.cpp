#include "loco/widgets/TProgramForm.h"

#include "base/C_language.h"
#include "base/TLok.h"
#include "base/UserDialogs.h"
#include "loco/DecoderCvFile.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

namespace {
constexpr int MsgTitle = 28, MsgError = 102, MsgCancel = 519, MsgServerLost = 654;
constexpr int MsgBus = 700, MsgProtocol = 701, MsgProgTrack = 702, MsgMainTrack = 703;
constexpr int MsgAnyCv = 719, MsgBit = 720, MsgRead = 721, MsgWrite = 722, MsgVerify = 723;
constexpr int MsgReadAll = 724, MsgWriteChanged = 725, MsgSave = 726, MsgLoad = 727;
constexpr int MsgNoLoco = 728, MsgNoAck = 729, MsgWrongValue = 730, MsgNotSupported = 731;
constexpr int MsgNoAnswer = 733, MsgNotConnected = 734, MsgCvRead = 735, MsgCvWritten = 736;
constexpr int MsgCancelled = 738, MsgUpdateRecord = 739, MsgFileFilter = 740, MsgSaveFailed = 741;
constexpr int MsgLoadFailed = 742, MsgConnecting = 743, MsgReady = 744, MsgConnect = 746, MsgValue = 747;
constexpr int MsgClose = 748, MsgUnknownMaker = 749;
constexpr int MsgUnreachable = 761, MsgNoTrackOnBus = 762, MsgRefusedCode = 763, MsgDiffers = 764;
constexpr int MsgDiffersUnread = 765, MsgMatches = 766, MsgCancelledCount = 767, MsgCancelledReads = 768;
constexpr int MsgNotConnectedNow = 769, MsgFileNotAValue = 770, MsgFileNoSuchCv = 771, MsgFileOutOfRange = 772;
constexpr int MsgFileTooLarge = 773, MsgConnectionRefused = 774;

// The CV tables: their full size where the screen has room, scrolling where it has not (a small
// screen, a large scale factor), so that the buttons below stay on the screen.
class CvPages : public QScrollArea {
public:
    explicit CvPages(QWidget* page, QWidget* parent) : QScrollArea(parent)
    {
        setObjectName(QStringLiteral("CvPages"));
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(true);
        setWidget(page);
    }
    QSize sizeHint() const override
    {
        const QWidget* page = widget();
        return page ? page->sizeHint().expandedTo(page->minimumSizeHint()) : QScrollArea::sizeHint();
    }
    QSize minimumSizeHint() const override
    {
        const int bar = verticalScrollBar()->sizeHint().width();
        return {4 * bar, 4 * bar};
    }
};

// The decoder's address as its known CVs give it (long when CV 29 bit 5 is set).
std::optional<int> decoderAddress(const DecoderSheet& s)
{
    const auto cv29 = s.known(29);
    if (cv29 && (*cv29 & 0x20)) {
        const auto cv17 = s.known(17), cv18 = s.known(18);
        if (cv17 && cv18)
            return longAddressOf(*cv17, *cv18);
        return std::nullopt;
    }
    return s.known(1);
}
}  // namespace

TProgramForm::TProgramForm(UserDialogs& dialogs, const C_language& lang, TLok& lok, QWidget* parent)
    : QDialog(parent), m_dialogs(dialogs), m_lang(lang), m_lok(lok)
{
    setObjectName(QStringLiteral("ProgramForm"));
    build();
}

TProgramForm::~TProgramForm() = default;  // the programmer says its goodbye on its own thread

QString TProgramForm::msg(int id) const
{
    return m_lang.getmessage(id, m_settings.lang);
}

void TProgramForm::build()
{
    auto* top = new QVBoxLayout(this);

    auto* where = new QGridLayout;
    m_bus = new QSpinBox(this);
    m_bus->setObjectName(QStringLiteral("ProgBus"));
    m_bus->setRange(1, 255);
    m_protocol = new QComboBox(this);
    m_protocol->addItem(QStringLiteral("NMRA/DCC"));
    m_progTrack = new QRadioButton(this);
    m_progTrack->setChecked(true);
    m_mainTrack = new QRadioButton(this);
    m_locoAddress = new QSpinBox(this);
    m_locoAddress->setRange(1, LongAddressMax);
    m_locoAddress->setValue(3);
    m_connect = new QPushButton(this);
    m_busLabel = new QLabel(this);
    m_protocolLabel = new QLabel(this);
    where->addWidget(m_busLabel, 0, 0);
    where->addWidget(m_bus, 0, 1);
    where->addWidget(m_protocolLabel, 0, 2);
    where->addWidget(m_protocol, 0, 3);
    where->addWidget(m_progTrack, 1, 0, 1, 4);
    where->addWidget(m_mainTrack, 2, 0, 1, 3);
    where->addWidget(m_locoAddress, 2, 3);
    where->addWidget(m_connect, 0, 4, 3, 1);
    where->setColumnStretch(5, 1);
    top->addLayout(where);

    auto* page = new QWidget;
    auto* pageLayout = new QVBoxLayout(page);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    auto* common = new QGroupBox(page);
    auto* grid = new QGridLayout(common);
    int row = 0;
    for (const CommonCv& c : commonCvs()) {
        if (c.cv == 17 || c.cv == 18 || c.cv == 29)
            continue;
        auto* name = new QLabel(common);
        name->setObjectName(QStringLiteral("CvName%1").arg(c.cv));
        auto* box = new QSpinBox(common);
        box->setRange(c.min - 1, c.max);  // one below the range: not known yet
        box->setSpecialValueText(QStringLiteral("?"));
        box->setReadOnly(c.readOnly);
        box->setObjectName(QStringLiteral("Cv%1").arg(c.cv));
        m_values[c.cv] = box;
        grid->addWidget(name, row, 0);
        grid->addWidget(new QLabel(QStringLiteral("CV %1").arg(c.cv), common), row, 1);
        grid->addWidget(box, row, 2);
        if (c.cv == 8) {
            m_manufacturer = new QLabel(common);
            grid->addWidget(m_manufacturer, row, 3);
        } else {
            grid->addWidget(new QLabel(QStringLiteral("%1 - %2").arg(c.min).arg(c.max), common), row, 3);
        }
        const int cv = c.cv;
        connect(box, &QSpinBox::valueChanged, this, [this, cv, box](int v) {
            if (!m_filling && v >= box->minimum() + 1)
                m_sheet.setEdited(cv, v);
            if (!m_filling)
                showSheet();
        });
        ++row;
    }
    auto* longName = new QLabel(common);
    longName->setObjectName(QStringLiteral("CvName17"));
    m_longAddress = new QSpinBox(common);
    m_longAddress->setObjectName(QStringLiteral("LongAddress"));
    m_longAddress->setRange(LongAddressMin - 1, LongAddressMax);
    m_longAddress->setSpecialValueText(QStringLiteral("?"));
    grid->addWidget(longName, row, 0);
    grid->addWidget(new QLabel(QStringLiteral("CV 17/18"), common), row, 1);
    grid->addWidget(m_longAddress, row, 2);
    grid->addWidget(new QLabel(QStringLiteral("%1 - %2").arg(LongAddressMin).arg(LongAddressMax), common), row, 3);
    connect(m_longAddress, &QSpinBox::valueChanged, this, [this](int v) {
        if (m_filling)
            return;
        if (v >= LongAddressMin)
            m_sheet.setEditedLongAddress(v);
        showSheet();
    });
    ++row;
    auto* config = new QLabel(common);
    config->setObjectName(QStringLiteral("CvName29"));
    grid->addWidget(config, row, 0);
    grid->addWidget(new QLabel(QStringLiteral("CV 29"), common), row, 1);
    auto* bits = new QGridLayout;
    int bitIndex = 0;
    for (const Cv29Bit& b : cv29Bits()) {
        auto* box = new QCheckBox(common);
        box->setObjectName(QStringLiteral("Cv29Bit%1").arg(b.bit));
        m_bits[b.bit] = box;
        bits->addWidget(box, bitIndex / 2, bitIndex % 2);
        ++bitIndex;
        const int bit = b.bit;
        connect(box, &QCheckBox::toggled, this, [this, bit](bool on) {
            if (m_filling)
                return;
            m_sheet.setEditedBit(29, bit, on);
            showSheet();
        });
    }
    grid->addLayout(bits, row + 1, 0, 1, 4);
    pageLayout->addWidget(common);

    auto* any = new QGroupBox(page);
    any->setObjectName(QStringLiteral("AnyCv"));
    auto* anyLayout = new QVBoxLayout(any);
    auto* anyRow = new QHBoxLayout;
    auto* anyButtons = new QHBoxLayout;
    anyLayout->addLayout(anyRow);
    anyLayout->addLayout(anyButtons);
    m_anyCv = new QSpinBox(any);
    m_anyCv->setRange(1, 1024);
    m_anyBit = new QLineEdit(any);
    m_anyBit->setMaximumWidth(40);
    m_anyValue = new QSpinBox(any);
    m_anyValue->setRange(0, 255);
    anyRow->addWidget(new QLabel(QStringLiteral("CV"), any));
    anyRow->addWidget(m_anyCv);
    m_bitLabel = new QLabel(any);
    m_valueLabel = new QLabel(any);
    anyRow->addWidget(m_bitLabel);
    anyRow->addWidget(m_anyBit);
    anyRow->addWidget(m_valueLabel);
    anyRow->addWidget(m_anyValue);
    anyRow->addStretch();
    for (SmOp op : {SmOp::Read, SmOp::Write, SmOp::Verify}) {
        auto* b = new QPushButton(any);
        m_anyButtons[op] = b;
        anyButtons->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, op] { anyCv(op); });
    }
    anyButtons->addStretch();
    pageLayout->addWidget(any);
    top->addWidget(new CvPages(page, this), 1);

    auto* actions = new QGridLayout;
    m_readAll = new QPushButton(this);
    m_writeChanged = new QPushButton(this);
    m_cancel = new QPushButton(this);
    m_save = new QPushButton(this);
    m_load = new QPushButton(this);
    auto* close = new QPushButton(this);
    close->setObjectName(QStringLiteral("ProgClose"));
    int index = 0;
    for (QPushButton* b : {m_readAll, m_writeChanged, m_cancel, m_save, m_load, close}) {
        actions->addWidget(b, index / 3, index % 3);
        ++index;
    }
    top->addLayout(actions);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    top->addWidget(m_progress);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("ProgStatus"));
    m_status->setWordWrap(true);
    // Room for two lines from the start, so that a longer message does not take it from the tables.
    m_status->setMinimumHeight(2 * m_status->fontMetrics().lineSpacing());
    m_status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    top->addWidget(m_status);

    connect(m_connect, &QPushButton::clicked, this, [this] { restart(); });
    connect(m_readAll, &QPushButton::clicked, this, [this] { readAll(); });
    connect(m_writeChanged, &QPushButton::clicked, this, [this] { writeChanged(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { cancel(); });
    connect(m_save, &QPushButton::clicked, this, [this] { saveFile(); });
    connect(m_load, &QPushButton::clicked, this, [this] { loadFile(); });
    connect(close, &QPushButton::clicked, this, &QDialog::close);
    setBusy(0);
}

void TProgramForm::begin(const Settings& settings)
{
    m_settings = settings;
    m_bus->setValue(settings.bus);

    // Texts in the user's language.
    QString title = msg(MsgTitle);
    title.remove(QLatin1Char('&'));
    setWindowTitle(title);
    for (const CommonCv& c : commonCvs())
        if (auto* l = findChild<QLabel*>(QStringLiteral("CvName%1").arg(c.cv))) {
            l->setText(msg(c.nameId));
            l->setToolTip(msg(c.meaningId));
            if (auto it = m_values.find(c.cv); it != m_values.end())
                it->second->setToolTip(msg(c.meaningId));
        }
    m_longAddress->setToolTip(msg(758));
    for (const Cv29Bit& b : cv29Bits())
        m_bits[b.bit]->setText(msg(b.nameId));
    m_busLabel->setText(msg(MsgBus));
    m_protocolLabel->setText(msg(MsgProtocol));
    m_progTrack->setText(msg(MsgProgTrack));
    m_mainTrack->setText(msg(MsgMainTrack));
    m_connect->setText(msg(MsgConnect));
    findChild<QGroupBox*>(QStringLiteral("AnyCv"))->setTitle(msg(MsgAnyCv));
    m_bitLabel->setText(msg(MsgBit));
    m_valueLabel->setText(msg(MsgValue));
    m_anyButtons[SmOp::Read]->setText(msg(MsgRead));
    m_anyButtons[SmOp::Write]->setText(msg(MsgWrite));
    m_anyButtons[SmOp::Verify]->setText(msg(MsgVerify));
    m_readAll->setText(msg(MsgReadAll));
    m_writeChanged->setText(msg(MsgWriteChanged));
    m_cancel->setText(msg(MsgCancel));
    m_save->setText(msg(MsgSave));
    m_load->setText(msg(MsgLoad));
    findChild<QPushButton*>(QStringLiteral("ProgClose"))->setText(msg(MsgClose));
    showSheet();
    restart();
}

void TProgramForm::restart()
{
    m_programmer.reset();  // ends the previous session's thread at once
    m_ready = false;
    m_outstanding = 0;
    setBusy(0);
    m_status->setText(msg(MsgConnecting));
    m_programmer = std::make_unique<TMoBaSRCPProgrammer>(
        [this](const SmResult& r) { QMetaObject::invokeMethod(this, [this, r] { result(r); }, Qt::QueuedConnection); },
        [this](const SmResult& report) {
            QMetaObject::invokeMethod(this, [this, report] { connected(report); }, Qt::QueuedConnection);
        });
    TMoBaSRCPProgrammer::Target t;
    t.host = m_settings.host;
    t.port = m_settings.port;
    t.bus = m_bus->value();
    t.decoderAddress = m_mainTrack->isChecked() ? m_locoAddress->value() : 0;
    m_programmer->start(t);
}

void TProgramForm::serverLost(bool lost)
{
    if (!lost) {
        if (std::exchange(m_serverAway, false))
            restart();
        return;
    }
    m_serverAway = true;
    m_ready = false;
    setBusy(m_outstanding);
    m_status->setText(msg(MsgServerLost));
}

void TProgramForm::connected(const SmResult& report)
{
    if (!isVisible())
        return;  // closed meanwhile: the session is being ended
    if (m_serverAway && report.ok) {
        m_ready = false;
        setBusy(m_outstanding);
        return;  // the loss is what the window shows until the server is back
    }
    m_ready = report.ok && !m_serverAway;
    setBusy(m_outstanding);
    if (report.ok) {
        m_status->setText(msg(MsgReady).arg(m_bus->value()));
        return;
    }
    QString why;
    switch (report.failure) {
    case SmFailure::NotConnected:
        why = msg(MsgUnreachable).arg(QStringLiteral("%1:%2").arg(QString::fromStdString(m_settings.host)).arg(m_settings.port));
        break;
    case SmFailure::NoAnswer:
        why = msg(MsgNoAnswer);
        break;
    case SmFailure::WrongValue:     // 412: no such bus
    case SmFailure::NotSupported:  // no service mode on that bus
        why = msg(MsgNoTrackOnBus).arg(m_bus->value());
        break;
    default:
        why = report.code > 0 ? msg(MsgRefusedCode).arg(report.code) : msg(MsgConnectionRefused);
        break;
    }
    const QString text = msg(MsgNotConnected).arg(why);
    m_status->setText(text);
    m_dialogs.messageBox(text, msg(MsgError), UserDialogs::Icon::Error);
}

void TProgramForm::hideEvent(QHideEvent* event)
{
    QDialog::hideEvent(event);
    if (event->spontaneous())
        return;  // minimised: the job goes on
    // Closed: the job stops now and the service mode ends, without waiting for the server.
    if (m_programmer)
        m_programmer->finish();
    m_ready = false;
    if (m_outstanding > 0)
        m_status->setText(msg(MsgCancelled));
    m_addressBefore.reset();
    setBusy(0);
}

void TProgramForm::setBusy(int outstanding)
{
    m_outstanding = outstanding;
    const bool idle = outstanding == 0;
    // Programming only on an open session; files at any time the window is not busy.
    const bool canProgram = idle && m_ready;
    m_readAll->setEnabled(canProgram);
    m_writeChanged->setEnabled(canProgram);
    for (auto& [op, b] : m_anyButtons)
        b->setEnabled(canProgram);
    m_save->setEnabled(idle);
    m_load->setEnabled(idle);
    m_connect->setEnabled(idle);
    m_cancel->setEnabled(!idle);
}

void TProgramForm::send(const std::vector<SmRequest>& requests)
{
    if (m_serverAway) {
        m_status->setText(msg(MsgServerLost));
        return;  // nothing can reach the decoder until the server is back
    }
    if (requests.empty() || !m_programmer || m_outstanding > 0 || !m_ready)
        return;
    m_batch = static_cast<int>(requests.size());
    m_batchDone = 0;
    m_batchCancelled = false;
    m_batchFailed = false;
    m_progress->setRange(0, m_batch);
    m_progress->setValue(0);
    setBusy(m_batch);
    for (const SmRequest& r : requests)
        m_programmer->submit(r);
}

void TProgramForm::readAll()
{
    if (!m_ready || m_outstanding > 0)
        return;
    // The decoder on the track may be another one: what is not read now is unknown.
    const auto requests = DecoderSheet::readAllRequests();
    for (const SmRequest& r : requests)
        m_sheet.forget(r.number);
    showSheet();
    m_batchReadsAll = true;
    send(requests);
}

void TProgramForm::writeChanged()
{
    m_addressBefore = decoderAddress(m_sheet);
    m_batchReadsAll = false;
    send(m_sheet.writeChangedRequests());
}

void TProgramForm::anyCv(SmOp op)
{
    SmRequest r;
    r.op = op;
    r.number = m_anyCv->value();
    r.tag = r.number;
    bool isBit = false;
    const int bit = m_anyBit->text().trimmed().toInt(&isBit);
    if (isBit && bit >= 0 && bit <= 7) {
        r.type = smtCVBit;
        r.bit = bit;
        r.value = m_anyValue->value() ? 1 : 0;
    } else {
        r.value = m_anyValue->value();
    }
    if (op == SmOp::Read)
        r.value = -1;
    if (op == SmOp::Write)
        m_addressBefore = decoderAddress(m_sheet);
    m_batchReadsAll = false;
    send({r});
}

void TProgramForm::cancel()
{
    if (m_programmer)
        m_programmer->cancel();
}

QString TProgramForm::failureText(const SmResult& r) const
{
    switch (r.failure) {
    case SmFailure::NoLoco:
        return msg(MsgNoLoco);
    case SmFailure::NoAcknowledge:
        return msg(MsgNoAck);
    case SmFailure::WrongValue:
        return msg(MsgWrongValue);
    case SmFailure::NotSupported:
        return msg(MsgNotSupported);
    case SmFailure::Refused:
        return msg(MsgRefusedCode).arg(r.code);
    case SmFailure::NoAnswer:
        return msg(MsgNoAnswer);
    case SmFailure::NotConnected:
        return msg(MsgNotConnectedNow);
    case SmFailure::Cancelled:
        return msg(MsgCancelled);
    case SmFailure::None:
        break;
    }
    return {};
}

void TProgramForm::result(const SmResult& r)
{
    if (m_outstanding <= 0)
        return;  // a straggler of a session that was restarted or closed
    const QString cvText = r.request.type == smtCVBit ? QStringLiteral("%1.%2").arg(r.request.number).arg(r.request.bit)
                                                      : QString::number(r.request.number);
    if (r.failure == SmFailure::Cancelled) {
        m_batchCancelled = true;
    } else {
        m_progress->setValue(m_progress->value() + 1);
        m_sheet.applied(r);
    }
    const bool verifyDiffers = r.request.op == SmOp::Verify && r.failure == SmFailure::WrongValue;
    if (r.ok && r.request.op == SmOp::Verify) {
        ++m_batchDone;
        m_status->setText(msg(MsgMatches).arg(cvText).arg(r.value));
    } else if (r.ok) {
        ++m_batchDone;
        const int id = r.request.op == SmOp::Read ? MsgCvRead : MsgCvWritten;
        m_status->setText(msg(id).arg(cvText).arg(r.value));
        if (r.request.op == SmOp::Read && r.request.number == m_anyCv->value() && r.request.type != smtCVBit)
            m_anyValue->setValue(r.value);
    } else if (verifyDiffers) {
        // A result, not a failure: the window says what the decoder holds.
        ++m_batchDone;
        m_status->setText(r.value >= 0 ? msg(MsgDiffers).arg(cvText).arg(r.value).arg(r.request.value)
                                       : msg(MsgDiffersUnread).arg(cvText).arg(r.request.value));
    } else if (r.failure != SmFailure::Cancelled && !m_batchFailed) {
        // The first refusal stops the rest of the batch and is told once.
        m_batchFailed = true;
        if (m_programmer)
            m_programmer->cancel();
        const QString text = QStringLiteral("CV %1: %2").arg(cvText, failureText(r));
        m_status->setText(text);
        m_dialogs.messageBox(text, msg(MsgError), UserDialogs::Icon::Error);
    }
    setBusy(m_outstanding - 1);
    showSheet();
    if (m_outstanding == 0 && m_batchCancelled && !m_batchFailed)
        m_status->setText(m_batchReadsAll ? msg(MsgCancelledReads).arg(m_batchDone).arg(m_batch)
                                          : msg(MsgCancelledCount).arg(m_batchDone).arg(m_batch));
    if (m_outstanding == 0 && !m_batchFailed && !m_batchCancelled && m_addressBefore) {
        const auto after = decoderAddress(m_sheet);
        const int before = *m_addressBefore;
        m_addressBefore.reset();
        if (after && *after != before)
            offerLocoRecordUpdate(before, *after);
    }
    if (m_outstanding == 0)
        m_addressBefore.reset();
}

void TProgramForm::offerLocoRecordUpdate(int oldAddress, int newAddress)
{
    for (int i = 0; i < TLok::Count; ++i) {
        if (m_lok.get_addr(i) != oldAddress)
            continue;
        const QString text = msg(MsgUpdateRecord).arg(i + 1).arg(oldAddress).arg(newAddress);
        if (m_dialogs.messageBox(text, QStringLiteral("Info"), UserDialogs::Icon::Question,
                                 UserDialogs::Yes | UserDialogs::No) == UserDialogs::Yes) {
            m_lok.set_addr(i, newAddress);
            if (onLocoRecordChanged)
                onLocoRecordChanged(i);
        }
        return;
    }
}

void TProgramForm::showSheet()
{
    m_filling = true;
    auto mark = [](QWidget* w, bool changed) {
        QFont f = w->font();
        f.setBold(changed);
        w->setFont(f);
    };
    for (auto& [cv, box] : m_values) {
        box->setValue(m_sheet.edited(cv).value_or(box->minimum()));
        mark(box, m_sheet.changed(cv));
    }
    if (const auto maker = m_sheet.known(8)) {
        const auto name = manufacturerName(*maker);
        m_manufacturer->setText(name ? *name : msg(MsgUnknownMaker).arg(*maker));
    } else {
        m_manufacturer->clear();
    }
    const auto cv17 = m_sheet.edited(17), cv18 = m_sheet.edited(18);
    m_longAddress->setValue(cv17 && cv18 ? std::clamp(longAddressOf(*cv17, *cv18), LongAddressMin - 1, LongAddressMax)
                                         : m_longAddress->minimum());
    mark(m_longAddress, m_sheet.changed(17) || m_sheet.changed(18));
    const auto cv29 = m_sheet.edited(29);
    for (auto& [bit, box] : m_bits) {
        box->setChecked(cv29 && ((*cv29 >> bit) & 1));
        mark(box, m_sheet.changed(29) && m_sheet.known(29) && (((*m_sheet.known(29) ^ *cv29) >> bit) & 1));
    }
    m_filling = false;
}

void TProgramForm::saveFile()
{
    const auto path = m_dialogs.saveFileName(msg(MsgSave), m_settings.cvFolder, msg(MsgFileFilter));
    if (!path)
        return;
    QString file = *path;
    if (!file.endsWith(QStringLiteral(".cv"), Qt::CaseInsensitive))
        file += QStringLiteral(".cv");
    DecoderCvs cvs;
    cvs.values = m_sheet.values();
    const QString why = writeDecoderCvFile(file, cvs);
    if (!why.isEmpty())
        m_dialogs.messageBox(msg(MsgSaveFailed).arg(why), msg(MsgError), UserDialogs::Icon::Error);
}

void TProgramForm::loadFile()
{
    const auto path = m_dialogs.openFileName(msg(MsgLoad), m_settings.cvFolder, msg(MsgFileFilter));
    if (!path)
        return;
    CvFileProblem problem;
    const auto cvs = readDecoderCvFile(*path, &problem);
    if (!cvs) {
        QString why;
        switch (problem.kind) {
        case CvFileProblem::Kind::NotAValue:
            why = msg(MsgFileNotAValue).arg(problem.line).arg(problem.text);
            break;
        case CvFileProblem::Kind::NoSuchCv:
            why = msg(MsgFileNoSuchCv).arg(problem.line).arg(problem.cv);
            break;
        case CvFileProblem::Kind::OutOfRange:
            why = msg(MsgFileOutOfRange)
                      .arg(problem.line)
                      .arg(problem.cv)
                      .arg(problem.value)
                      .arg(problem.min)
                      .arg(problem.max);
            break;
        case CvFileProblem::Kind::TooLarge:
            why = msg(MsgFileTooLarge);
            break;
        case CvFileProblem::Kind::CannotOpen:
        case CvFileProblem::Kind::None:
            why = m_lang.localize(problem.text, m_settings.lang);
            break;
        }
        m_dialogs.messageBox(msg(MsgLoadFailed).arg(why), msg(MsgError), UserDialogs::Icon::Error);
        return;
    }
    // Loaded values are what the decoder is to hold: "Write changed" writes them.
    for (const auto& [cv, value] : cvs->values)
        m_sheet.setEdited(cv, value);
    showSheet();
}

QSpinBox* TProgramForm::valueBox(int cv) const
{
    auto it = m_values.find(cv);
    return it == m_values.end() ? nullptr : it->second;
}

QCheckBox* TProgramForm::cv29Box(int bit) const
{
    auto it = m_bits.find(bit);
    return it == m_bits.end() ? nullptr : it->second;
}

QPushButton* TProgramForm::anyButton(SmOp op) const
{
    auto it = m_anyButtons.find(op);
    return it == m_anyButtons.end() ? nullptr : it->second;
}

QString TProgramForm::statusText() const
{
    return m_status->text();
}
