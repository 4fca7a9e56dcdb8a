#include "panel/widgets/PanelView.h"

#include "base/AppState.h"
#include "base/UserDialogs.h"

#include <QClipboard>
#include <QDialog>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScrollBar>

#include <exception>

namespace {
LayoutPanel::Button buttonOf(Qt::MouseButton b)
{
    switch (b) {
    case Qt::RightButton: return LayoutPanel::Button::Right;
    case Qt::MiddleButton: return LayoutPanel::Button::Middle;
    default: return LayoutPanel::Button::Left;
    }
}
}  // namespace

PanelView::PanelView(AppState& main, LayoutPanel& panel, UserDialogs& dialogs, QWidget* parent)
    : QWidget(parent), m_main(main), m_panel(panel), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("Quarn"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    m_canvas.changed = [this](const QRect& r) { update(r); };
    m_panel.panel = &m_canvas;
    m_panel.resizePanel(std::max(1, width()), std::max(1, height()));
}

PanelView::~PanelView()
{
    if (m_panel.panel == &m_canvas)
        m_panel.panel = nullptr;
}

template <class F> void PanelView::guarded(F&& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        m_dialogs.showError(QString::fromUtf8(e.what()));
    }
}

void PanelView::attachScrollBars(QScrollBar* h, QScrollBar* v)
{
    auto setup = [this](QScrollBar* bar, int max, bool horizontal) {
        bar->setRange(0, max);
        bar->setSingleStep(27);
        bar->setPageStep(27 * 5);
        connect(bar, &QScrollBar::valueChanged, this, [this, bar, horizontal](int value) {
            const int snapped = horizontal ? m_panel.HScrollBarChange(value) : m_panel.VScrollBarChange(value);
            if (snapped != value)
                bar->setValue(snapped);
        });
    };
    if (h) setup(h, m_main.Quarnbreite, true);
    if (v) setup(v, m_main.Quarnhoehe, false);
}

void PanelView::paintEvent(QPaintEvent* e)
{
    QPainter p(this);
    p.drawImage(e->rect().topLeft(), m_canvas.surface, e->rect());
}

void PanelView::resizeEvent(QResizeEvent*)
{
    m_panel.resizePanel(width(), height());
}

void PanelView::mousePressEvent(QMouseEvent* ev)
{
    const int X = ev->position().toPoint().x(), Y = ev->position().toPoint().y();
    const bool shift = ev->modifiers() & Qt::ShiftModifier;
    const auto b = buttonOf(ev->button());
    guarded([&] {
        if (m_main.Quarnerstellen)
            m_panel.designMouseDown(b, shift, X, Y);
        else if (m_main.Text)
            m_panel.textMouseDown(b, X, Y);
        else if (otherModeMouseDown)
            otherModeMouseDown(b, shift, X, Y);
    });
    m_panel.mouseDownDone(X, Y);
}

void PanelView::mouseMoveEvent(QMouseEvent* ev)
{
    if (!m_main.Quarnerstellen)
        return;
    const QPoint pos = ev->position().toPoint();
    guarded([&] {
        m_panel.designMouseMove(ev->buttons() & Qt::LeftButton, ev->modifiers() & Qt::ShiftModifier, pos.x(),
                                pos.y());
    });
}

void PanelView::mouseReleaseEvent(QMouseEvent* ev)
{
    const QPoint pos = ev->position().toPoint();
    guarded([&] { m_panel.mouseUp(ev->modifiers() & Qt::ShiftModifier, pos.x(), pos.y()); });
}

PaletteView::PaletteView(AppState& main, LayoutPanel& panel, QWidget* parent)
    : QWidget(parent), m_main(main), m_panel(panel)
{
    setObjectName(QStringLiteral("Design_Panel"));
    resize(m_main.Panelbreite, m_main.Panelhoehe);
}

void PaletteView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().window());
    p.drawImage(QPoint(0, 0), m_main.Design_Panel_bitmap);
    if (m_frame.x() >= 0) {
        const int cx = m_frame.x(), cy = m_frame.y();
        p.setPen(QColor(255, 255, 0));
        p.drawPolyline(QPolygon({QPoint(cx - 1, cy - 1), QPoint(cx + 28, cy - 1), QPoint(cx + 28, cy + 28),
                                 QPoint(cx - 1, cy + 28), QPoint(cx - 1, cy - 1)}));
    }
}

void PaletteView::mousePressEvent(QMouseEvent* ev)
{
    const QPoint pos = ev->position().toPoint();
    const QPoint cell = m_panel.paletteMouseDown(buttonOf(ev->button()), pos.x(), pos.y());
    if (ev->button() == Qt::LeftButton) {
        m_frame = cell;
        if (QClipboard* c = QGuiApplication::clipboard())
            c->setImage(m_main.Cache);
    } else {
        m_frame = QPoint(-1, -1);
    }
    update();
}

std::optional<QString> MyInputQuery(QWidget* parent, AppState& main, UserDialogs& dialogs, const QString& caption,
                                    const QString& prompt, int x, int y, const QString& text)
{
    QDialog dlg(parent);
    dlg.setObjectName(QStringLiteral("MyInputQuery"));
    dlg.setWindowTitle(caption);
    const QFontMetrics fm(dlg.font());
    const int cw = fm.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 52;
    const int ch = fm.height();
    dlg.setFixedSize(180 * cw / 4, 63 * ch / 8);
    dlg.move(x, y);
    auto* label = new QLabel(prompt, &dlg);
    label->move(8 * cw / 4, 8 * ch / 8);
    auto* edit = new QLineEdit(text, &dlg);
    edit->setObjectName(QStringLiteral("Edit"));
    edit->setMaxLength(255);
    edit->setGeometry(label->x(), 19 * ch / 8, 164 * cw / 4, edit->sizeHint().height());
    edit->selectAll();
    auto button = [&](const QString& t, int left) {
        auto* b = new QPushButton(t, &dlg);
        b->setObjectName(t + QStringLiteral("Button"));
        b->setGeometry(left * cw / 4, 41 * ch / 8, 50 * cw / 4, 14 * ch / 8);
        return b;
    };
    QPushButton* ok = button(QStringLiteral("OK"), 10);
    QPushButton* cancel = button(QStringLiteral("Cancel"), 64);
    QPushButton* font = button(QStringLiteral("Font"), 118);
    ok->setDefault(true);
    QObject::connect(ok, &QPushButton::clicked, &dlg, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, &dlg, &QDialog::reject);
    QObject::connect(font, &QPushButton::clicked, &dlg, [&] {  // FontButtonClick
        if (const auto f = dialogs.chooseFont(main.LabelFont))
            main.LabelFont = *f;
    });
    if (dlg.exec() == QDialog::Accepted && !edit->text().isEmpty())
        return edit->text();
    return std::nullopt;
}
