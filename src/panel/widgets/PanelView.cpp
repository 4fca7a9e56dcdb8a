#include "panel/widgets/PanelView.h"

#include "base/AppState.h"
#include "base/UserDialogs.h"
#include "panel/ViewZoom.h"

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

#include <cmath>
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
    m_canvas.changed = [this](const QRect& r) {
        if (m_percent == 100 && devicePixelRatioF() == 1.0)
            update(r);
        else
            update(QRect(toView(r.topLeft()), toView(r.bottomRight() + QPoint(1, 1))).adjusted(-1, -1, 1, 1));
    };
    m_panel.panel = &m_canvas;
    m_panel.resizePanel(std::max(1, width()), std::max(1, height()));
}

int PanelView::cellPixels() const
{
    return std::max(1, int(std::lround(27.0 * m_percent / 100.0 * devicePixelRatioF())));
}

double PanelView::devicePerLayout() const { return cellPixels() / 27.0; }

QPoint PanelView::toPanel(QPointF p) const
{
    const double f = devicePerLayout() / devicePixelRatioF();  // logical pixels per layout pixel
    return QPoint(int(std::floor(p.x() / f)), int(std::floor(p.y() / f)));
}

QPoint PanelView::toView(QPoint p) const
{
    const double f = devicePerLayout() / devicePixelRatioF();
    return QPoint(int(std::floor(p.x() * f)), int(std::floor(p.y() * f)));
}

void PanelView::resizeModel()
{
    const double f = devicePerLayout() / devicePixelRatioF();
    m_panel.resizePanel(std::max(1, int(std::ceil(width() / f))), std::max(1, int(std::ceil(height() / f))));
}

void PanelView::setZoomPercent(int percent)
{
    percent = ViewZoom::clampPercent(percent);
    const bool changed = percent != m_percent;
    m_percent = percent;
    const double f = devicePerLayout() / devicePixelRatioF();
    setMaximumSize(int(std::ceil(m_main.Quarnbreite * f)), int(std::ceil(m_main.Quarnhoehe * f)));
    resizeModel();
    update();
    if (changed && zoomChanged)
        zoomChanged(m_percent);
}

void PanelView::zoomIn() { setZoomPercent(ViewZoom::stepIn(m_percent)); }
void PanelView::zoomOut() { setZoomPercent(ViewZoom::stepOut(m_percent)); }

void PanelView::wheelEvent(QWheelEvent* ev)
{
    if (!(ev->modifiers() & Qt::ControlModifier)) {
        ev->ignore();
        return;
    }
    ev->accept();
    m_wheel += ev->angleDelta().y();
    while (m_wheel >= 120) {
        m_wheel -= 120;
        zoomIn();
    }
    while (m_wheel <= -120) {
        m_wheel += 120;
        zoomOut();
    }
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
    const double dpr = devicePixelRatioF();
    const int cell = cellPixels();
    if (cell == 27) {  // one layout pixel is one screen pixel
        p.scale(1 / dpr, 1 / dpr);
        const QRect dev = QRectF(QPointF(e->rect().topLeft()) * dpr, QSizeF(e->rect().size()) * dpr).toAlignedRect();
        p.fillRect(dev, QColor(m_main.Grau & 0xFF, (m_main.Grau >> 8) & 0xFF, (m_main.Grau >> 16) & 0xFF));
        p.drawImage(dev.topLeft(), m_canvas.surface, dev);
        paintPendingMarks(p, cell);
        return;
    }
    // Device pixels from here on: cell edges fall on whole pixels.
    p.scale(1 / dpr, 1 / dpr);
    const double f = cell / 27.0;
    const QRect dev = QRectF(QPointF(e->rect().topLeft()) * dpr, QSizeF(e->rect().size()) * dpr).toAlignedRect();
    const QRect surfaceRect = m_canvas.surface.rect();
    // The surface cells that the exposed part shows.
    const int c0 = std::max(0, dev.left() / cell), r0 = std::max(0, dev.top() / cell);
    const int c1 = dev.right() / cell, r1 = dev.bottom() / cell;
    const QRect src = QRect(c0 * 27, r0 * 27, (c1 - c0 + 1) * 27, (r1 - r0 + 1) * 27).intersected(surfaceRect);
    p.fillRect(dev, QColor(m_main.Grau & 0xFF, (m_main.Grau >> 8) & 0xFF, (m_main.Grau >> 16) & 0xFF));
    if (src.isEmpty())
        return;
    // Everything scaled as it is (whole-number factors pixel for pixel), then the element
    // pictures drawn anew at the cell size on top.
    p.setRenderHint(QPainter::SmoothPixmapTransform, cell % 27 != 0);
    p.drawImage(QRectF(src.x() * f, src.y() * f, src.width() * f, src.height() * f), m_canvas.surface, src);
    for (int r = r0; r <= r1; ++r)
        for (int c = c0; c <= c1; ++c) {
            const QImage sharp = m_crisp.crisp(m_canvas.surface, QPoint(c * 27, r * 27), cell);
            if (!sharp.isNull())
                p.drawImage(QPoint(c * cell, r * cell), sharp);
        }
    paintPendingMarks(p, cell);
}

void PanelView::paintPendingMarks(QPainter& p, int cell)
{
    // A frame of alternating amber and black dashes round the cell, a tenth of the cell wide (never
    // under two device pixels), drawn on top in device pixels: it reads on every icon at every zoom.
    const int w = std::max(2, cell / 10);
    for (const QPoint& c : m_panel.pendingMarks()) {
        const int cx = (c.x() - m_main.Hpos_alt) / 27, cy = (c.y() - m_main.Vpos_alt) / 27;
        if (cx < 0 || cy < 0)
            continue;
        const QRect r(cx * cell, cy * cell, cell, cell);
        const int dash = std::max(2, cell / 6);
        for (int edge = 0; edge < 4; ++edge) {
            const bool horizontal = edge < 2;
            const int length = horizontal ? r.width() : r.height();
            for (int at = 0, k = 0; at < length; at += dash, ++k) {
                const int len = std::min(dash, length - at);
                const QColor color = k % 2 == 0 ? QColor(255, 170, 0) : QColor(0, 0, 0);
                QRect piece = horizontal ? QRect(r.left() + at, edge == 0 ? r.top() : r.bottom() - w + 1, len, w)
                                         : QRect(edge == 2 ? r.left() : r.right() - w + 1, r.top() + at, w, len);
                p.fillRect(piece, color);
            }
        }
    }
}

void PanelView::resizeEvent(QResizeEvent*)
{
    resizeModel();
}

void PanelView::mousePressEvent(QMouseEvent* ev)
{
    const QPoint at = toPanel(ev->position());
    const int X = at.x(), Y = at.y();
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
    const QPoint pos = toPanel(ev->position());
    guarded([&] {
        m_panel.designMouseMove(ev->buttons() & Qt::LeftButton, ev->modifiers() & Qt::ShiftModifier, pos.x(),
                                pos.y());
    });
}

void PanelView::mouseReleaseEvent(QMouseEvent* ev)
{
    const QPoint pos = toPanel(ev->position());
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
