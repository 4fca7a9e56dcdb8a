#include "app/TrackPanelHost.h"

#include "panel/Cbahn.h"
#include "app/TMainForm.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "base/TLok.h"
#include "panel/C_fahr.h"
#include "app/EditMenu.h"
#include "panel/LayoutFileCommands.h"
#include "panel/LayoutHistory.h"
#include "panel/ViewZoom.h"
#include "panel/widgets/PanelView.h"
#include "base/C_language.h"
#include "base/UserDialogs.h"

#include <QAction>
#include <QKeySequence>
#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPointer>
#include <QScrollBar>
#include <QVBoxLayout>

#include <exception>
#include <utility>

TrackPanelHost::TrackPanelHost(TMainForm& form) : QObject(&form), m_form(form)
{
    m_element = std::make_unique<C_Element>();
    m_postable = std::make_unique<C_Position>();
    Element = m_element.get();
    Postable = m_postable.get();
    if (!Lok)
        return;  // no loco table: the service object cannot exist
    m_bahn = std::make_unique<Cbahn>(form, *m_postable, *m_element, *Lok, form.dialogs());
    Bahn = m_bahn.get();
    LayoutPanel& tp = m_bahn->trackPanel();
    UserDialogs& dialogs = form.dialogs();

    auto* area = new QWidget;
    area->setObjectName(QStringLiteral("QuarnArea"));
    auto* grid = new QGridLayout(area);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setSpacing(0);
    m_view = new PanelView(form, tp, dialogs, area);
    m_view->setMaximumSize(form.Quarnbreite, form.Quarnhoehe);
    m_view->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_h = new QScrollBar(Qt::Horizontal, area);
    m_h->setObjectName(QStringLiteral("HScrollBar"));
    m_v = new QScrollBar(Qt::Vertical, area);
    m_v->setObjectName(QStringLiteral("VScrollBar"));
    grid->addWidget(m_view, 1, 1);
    grid->addWidget(m_v, 1, 2);
    grid->addWidget(m_h, 2, 1);
    // Where the window is larger than the (zoomed) layout picture, the panel stays in the middle
    // with its scroll bars beside it; the spare room goes to empty columns and rows on both sides.
    grid->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum), 1, 0);
    grid->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum), 1, 3);
    grid->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), 0, 1);
    grid->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), 3, 1);
    grid->setColumnStretch(1, 10000);
    grid->setRowStretch(1, 10000);
    for (int side : {0, 3}) {
        grid->setColumnStretch(side, 1);
        grid->setRowStretch(side, 1);
    }
    m_view->attachScrollBars(m_h, m_v);
    // A scroll bar only where the panel does not show the whole picture in its direction.
    m_view->installEventFilter(this);
    form.setTrackPanel(area);

    m_progress = new QProgressBar(m_view);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->hide();
    m_percent = new QLabel(m_view);
    m_percent->setObjectName(QStringLiteral("Prozent_label"));
    m_percent->hide();

    m_palette = new PaletteView(form, tp, form.Design_Panel);
    auto* box = new QVBoxLayout(form.Design_Panel);
    box->setContentsMargins(0, 0, 0, 0);
    box->addWidget(m_palette);
    connect(&form, &TMainForm::paletteRepaint, m_palette, qOverload<>(&QWidget::update));
    connect(&form, &TMainForm::designModeEntered, this, [&tp] { tp.deletecache(); });

    tp.message = [](int id) { return Lang ? Lang->getmessage(id, MainForm ? MainForm->Lang_id : 2) : QString(); };
    tp.busyCursor = [](bool busy) {
        if (busy)
            QApplication::setOverrideCursor(Qt::WaitCursor);
        else
            QApplication::restoreOverrideCursor();
    };
    tp.progress = [this](bool visible, int value, int max, const QString& percent) {
        const int w = m_view->width(), h = m_view->height();
        m_progress->setGeometry(w / 2 - 150, std::max(0, h - 50), 300, 18);
        m_progress->setRange(0, std::max(0, max));
        m_progress->setValue(value);
        m_percent->setText(percent);
        m_percent->adjustSize();
        m_percent->move(w / 2 - m_percent->width() / 2, std::max(0, h - 28));
        m_progress->setVisible(visible);
        m_percent->setVisible(visible);
        // Paint the bar now and then, not at every step: a repaint per element held the window
        // for seconds on a full layout.
        if (!visible) {
            m_progressPainted.invalidate();
        } else if (!m_progressPainted.isValid()) {
            m_progressPainted.start();
        } else if (m_progressPainted.elapsed() >= 250) {
            m_progressPainted.restart();
            QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        }
    };
    tp.textQuery = [this, &form, &dialogs](const QString& caption, const QString& prompt, int x, int y) {
        const QPoint at = m_view->mapToGlobal(m_view->toView(QPoint(x - form.Hpos_alt, y - form.Vpos_alt)));
        return MyInputQuery(&form, form, dialogs, caption, prompt, at.x(), at.y());
    };
    form.loadCatalogue = [&tp] { tp.elementeladen(); };
    try {
        tp.quarngraufaerben();
        tp.elementeladen();
    } catch (const std::exception& e) {
        dialogs.showError(QString::fromUtf8(e.what()));
    }
    tp.QuarnPaint();

    m_history = std::make_unique<LayoutHistory>(form, *m_postable, tp, Fahr);
    tp.history = m_history.get();
    m_history->routesRestored = [&dialogs] {
        try {
            Bahn->fahrspeichern();
        } catch (const std::exception& e) {
            dialogs.showError(QString::fromUtf8(e.what()));
        }
    };
    connect(&m_history->stack(), &QUndoStack::cleanChanged, &form,
            [&form](bool clean) { form.setWindowModified(!clean); });
    addEditMenu(form, *m_history);
    // Closing the program asks about unsaved changes as "&New" and "&Open" do.
    // The window deletes this host among its children, after its own fields are gone: the host
    // cannot take the handler back then, so the handler asks whether the host still exists.
    form.confirmClose = [this, alive = QPointer<TrackPanelHost>(this)] {
        if (!alive)
            return true;
        LayoutFileCommands commands(m_form, m_bahn->trackPanel(), m_form.dialogs());
        commands.history = m_history.get();
        const bool go = commands.askToSaveChanges();
        m_form.setWindowModified(m_history->modified());
        return go;
    };
    connectFileMenu();
    addZoomItems();
}

QString TrackPanelHost::currentLayoutFile() const
{
    if (m_form.Gleisbildname.isEmpty())
        return {};
    return m_form.Gleisbildpfad + m_form.Gleisbildname;
}

void TrackPanelHost::addZoomItems()
{
    QMenu* options = m_form.menu(QStringLiteral("Optionen1"));
    if (!options)
        return;
    options->addSeparator();
    auto item = [&](const char* name, int textId, QList<QKeySequence> keys, auto slot) {
        QAction* a = options->addAction(Lang ? Lang->getmessage(textId, m_form.Lang_id) : QString());
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcuts(keys);
        a->setShortcutContext(Qt::WindowShortcut);
        connect(a, &QAction::triggered, this, slot);
    };
    item("ZoomIn1", MsgZoomIn, {QKeySequence::ZoomIn, QKeySequence(Qt::CTRL | Qt::Key_Equal)}, [this] { m_view->zoomIn(); });
    item("ZoomOut1", MsgZoomOut, {QKeySequence::ZoomOut}, [this] { m_view->zoomOut(); });
    item("ZoomReset1", MsgZoomReset, {QKeySequence(Qt::CTRL | Qt::Key_0)}, [this] { m_view->setZoomPercent(100); });
    item("ZoomFit1", MsgZoomFit, {QKeySequence(Qt::CTRL | Qt::Key_9)}, [this] { fitLayout(); });
    connect(&m_form, &TMainForm::languageApplied, this, [this] {
        const std::pair<const char*, int> items[] = {
            {"ZoomIn1", MsgZoomIn}, {"ZoomOut1", MsgZoomOut}, {"ZoomReset1", MsgZoomReset}, {"ZoomFit1", MsgZoomFit}};
        for (const auto& [name, id] : items)
            if (QAction* a = m_form.action(QString::fromLatin1(name)); a && Lang)
                a->setText(Lang->getmessage(id, m_form.Lang_id));
    });
    m_view->zoomChanged = [this](int percent) {
        const QString layout = currentLayoutFile();
        if (layout.isEmpty())
            return;
        const QString error = ViewZoom::save(layout, percent);
        if (!error.isEmpty())
            m_form.setStatusText(1, error);
    };
}

bool TrackPanelHost::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::Resize)
        showScrollBarsAsNeeded();
    return QObject::eventFilter(watched, event);
}

void TrackPanelHost::showScrollBarsAsNeeded()
{
    if (!m_view || !m_h || !m_v)
        return;
    // A bar scrolled away from the start stays, so that the user can scroll back.
    m_h->setVisible(m_view->width() < m_view->maximumWidth() || m_h->value() != 0);
    m_v->setVisible(m_view->height() < m_view->maximumHeight() || m_v->value() != 0);
}

void TrackPanelHost::fitLayout()
{
    if (!m_bahn)
        return;
    const QRect area = ViewZoom::usedArea(m_form, *m_postable);
    const QWidget* room = m_view->parentWidget();
    const QSize view(room->width() - m_v->width(), room->height() - m_h->height());
    m_view->setZoomPercent(ViewZoom::fitPercent(view, area));
    m_h->setValue(area.left());
    m_v->setValue(area.top());
}

TrackPanelHost::~TrackPanelHost()
{
    if (m_bahn)
        m_bahn->trackPanel().history = nullptr;
    if (Bahn == m_bahn.get())
        Bahn = nullptr;
    if (Postable == m_postable.get())
        Postable = nullptr;
    if (Element == m_element.get())
        Element = nullptr;
}

void TrackPanelHost::connectFileMenu()
{
    auto bind = [this](const char* name, LayoutFileResult (LayoutFileCommands::*command)()) {
        QAction* a = m_form.action(QString::fromLatin1(name));
        if (!a)
            return;
        connect(a, &QAction::triggered, this, [this, name, command] {
            LayoutFileCommands commands(m_form, m_bahn->trackPanel(), m_form.dialogs());
            commands.history = m_history.get();
            const LayoutFileResult r = (commands.*command)();
            keepZoom(QString::fromLatin1(name), r);
            if (afterFileCommand)
                afterFileCommand(QString::fromLatin1(name), r);
            applyResult(r);
        });
    };
    bind("Neu1", &LayoutFileCommands::Neu1Click);
    bind("Oeffnen1", &LayoutFileCommands::Oeffnen1Click);
    bind("Speichern1", &LayoutFileCommands::Speichern1Click);
    bind("Speichernals1", &LayoutFileCommands::Speichernals1Click);
}

void TrackPanelHost::keepZoom(const QString& item, const LayoutFileResult& r)
{
    if (!r.done)
        return;
    const QString layout = currentLayoutFile();
    if (item == QLatin1String("Neu1") || item == QLatin1String("Oeffnen1")) {
        auto told = std::exchange(m_view->zoomChanged, nullptr);  // reading it back writes nothing
        m_view->setZoomPercent(ViewZoom::load(layout));
        m_view->zoomChanged = std::move(told);
    } else if (!layout.isEmpty()) {
        ViewZoom::save(layout, m_view->zoomPercent());  // a new name keeps the zoom too
    }
}

void TrackPanelHost::applyResult(const LayoutFileResult& r)
{
    if (!r.statusText.isEmpty())
        m_form.setStatusText(1, r.statusText);
    if (r.enableLayoutMenus) {
        for (const char* name : {"Speichernals1", "Gleisbildentwerfen1", "DecoderAdressen1", "S88modules1", "Text1",
                                 "Betrieb1", "Hostverbinden1", "Fahrstrassen1", "Softregler1", "Joystickeinrichten1",
                                 "Abfragestarten1", "Abfragebeenden1"})
            if (QAction* a = m_form.action(QString::fromLatin1(name)))
                a->setEnabled(true);
        if (QMenu* m = m_form.menu(QStringLiteral("Bildschirm1")))
            m->setEnabled(false);
    }
    if (!r.windowTitle.isEmpty()) {
        m_form.setWindowTitle(r.windowTitle + QStringLiteral("[*]"));  // "*" while there are unsaved changes
        m_form.setWindowModified(m_history && m_history->modified());
    }
    if (r.resetScrollBars && m_h && m_v) {
        m_h->setValue(0);
        m_v->setValue(0);
    }
    if (r.enterDesignMode)
        m_form.Gleisbildentwerfen1Click();
    if (r.enterOperateMode)
        m_form.Betrieb1Click();
}
