// What clicks and drags on the palette and the panel do in design and text mode.
#include "panel/LayoutPanel.h"

#include "base/AppState.h"
#include "layout/C_Position.h"
#include "layout/FontText.h"
#include "layout/LayoutFile.h"
#include "panel/LayoutHistory.h"
#include "base/UserDialogs.h"

#include <QPainter>

#include <algorithm>

namespace {
int step(int to, int from) { return to > from ? 27 : (to < from ? -27 : 0); }
}  // namespace

QPoint LayoutPanel::cellOf(int X, int Y) const
{
    return QPoint(sollkoord(X) + m_main.Hpos_alt, sollkoord(Y) + m_main.Vpos_alt);
}

QPoint LayoutPanel::paletteMouseDown(Button button, int X, int Y)
{
    const int cx = X / 28 * 28 + 1, cy = Y / 28 * 28 + 1;
    if (button == Button::Left) {
        m_main.Cache = m_main.Design_Panel_bitmap.copy(cx, cy, 27, 27);
        m_main.Comp_nr = compsuchen(cx, cy);
        // A palette cell without an element selects nothing: there is no element 0 to place.
        m_main.Symbol = m_main.Comp_nr > 0;
    } else if (button == Button::Right) {
        m_main.Symbol = false;
    }
    if (!m_main.Movelist.empty()) {
        m_main.Movelist.clear();
        m_main.Move_elements = false;
        m_main.Move_el_counter = 0;
    }
    return QPoint(cx, cy);
}

bool LayoutPanel::inGrid(int x, int y) const
{
    return LayoutGrid{m_main.Quarnbreite, m_main.Quarnhoehe}.holds(x, y);
}

void LayoutPanel::refreshCell(int x, int y)
{
    if (const tPosEntry* e = m_postable.getEntryByKor(x, y))
        changeicon(e->Stellung < 1 ? 1 : e->Stellung, x, y, e->Enummer);
    else
        clearCell(x, y);
}

void LayoutPanel::floatTo(const QPoint& cell)
{
    if (m_float == cell)
        return;
    if (m_float)
        drawAtCell(m_main.Undo, m_float->x(), m_float->y());
    m_float.reset();
    if (!inGrid(cell.x(), cell.y()))
        return;
    m_main.Undo = m_main.Quarn_bitmap.copy(cell.x(), cell.y(), 27, 27);
    drawAtCell(m_main.Cache, cell.x(), cell.y());
    m_float = cell;
}

void LayoutPanel::dropFloat()
{
    if (m_float)
        drawAtCell(m_main.Undo, m_float->x(), m_float->y());
    m_float.reset();
}

void LayoutPanel::endGroup()
{
    m_main.Movelist.clear();
    deletecache();
    m_main.Move_elements = false;
    m_main.Move_el_counter = 0;
    m_groupOffset = QPoint();
}

bool LayoutPanel::dragging() const
{
    return m_drag != Drag::None || m_main.Move_elements;
}

void LayoutPanel::designMouseDown(Button button, bool shift, int X, int Y)
{
    if (history && button == Button::Left) {
        history->begin();  // ended by the release: the whole drag is one step
        m_ownsAction = true;
        m_actionText = shift ? QStringLiteral("Group move") : QStringLiteral("Place or move");
    }
    deleteundo();
    m_float.reset();
    m_drag = Drag::None;
    const QPoint cell = cellOf(X, Y);
    if (button == Button::Left && shift) {
        m_main.Symbol = false;
        tPosEntry* e = m_postable.getEntryByKor(cell.x(), cell.y());
        auto& moves = m_main.Movelist;
        if (e && std::find(moves.begin(), moves.end(), e) == moves.end()) {
            moves.push_back(e);
            if (moves.size() == 1) {
                e->Refposx = 0;
                e->Refposy = 0;
            } else {
                e->Refposx = e->Posx - moves.front()->Posx;
                e->Refposy = e->Posy - moves.front()->Posy;
            }
            if (panel && !panel->surface.isNull()) {
                const int px = sollkoord(X), py = sollkoord(Y);
                {
                    QPainter p(&panel->surface);
                    p.setPen(QColor(255, 0, 0));
                    p.drawRect(px, py, 26, 26);
                }
                panel->notify(QRect(px, py, 27, 27));
            }
        }
    } else if (button == Button::Left) {
        if (!m_main.Movelist.empty())
            endGroup();
        m_dragStart = cell;
        if (m_main.Symbol && m_main.Comp_nr > 0) {
            // Placing: the palette element follows the mouse and is entered where it is let go.
            m_drag = Drag::Place;
            floatTo(cell);
        } else if (const tPosEntry* e = m_postable.getEntryByKor(cell.x(), cell.y())) {
            // Moving: the element is lifted off its cell and follows the mouse with all its data.
            m_drag = Drag::Move;
            m_main.Cache = iconImage(e->Stellung < 1 ? 1 : e->Stellung, e->Enummer);
            clearCell(cell.x(), cell.y());
            floatTo(cell);
        }
    } else if (button == Button::Right) {
        if (history)
            history->begin();
        if (m_postable.getEntryByKor(cell.x(), cell.y())) {
            deletecompfromlist(cell.x(), cell.y());
            clearCell(cell.x(), cell.y());
        }
        m_main.Symbol = false;
        QuarnPaint();
        if (history)
            history->commit(QStringLiteral("Delete"));
    }
}

bool LayoutPanel::groupFits(const QPoint& offset) const
{
    const auto& moves = m_main.Movelist;
    for (const tPosEntry* e : moves) {
        const int x = e->Posx + offset.x(), y = e->Posy + offset.y();
        if (!inGrid(x, y))
            return false;
        const tPosEntry* there = m_postable.getEntryByKor(x, y);
        if (there && std::find(moves.begin(), moves.end(), there) == moves.end())
            return false;
    }
    return true;
}

void LayoutPanel::designMouseMove(bool leftHeld, bool shift, int X, int Y)
{
    if (!leftHeld)
        return;
    if (shift) {
        m_main.Symbol = false;
        const int dx = step(sollkoord(X), sollkoord(m_main.Alt_x));
        const int dy = step(sollkoord(Y), sollkoord(m_main.Alt_y));
        auto& moves = m_main.Movelist;
        if (moves.empty() || (dx == 0 && dy == 0))
            return;
        // The group moves one cell per axis and event, and only where every element lands on a
        // free cell of the layout (or on one that another element of the group leaves).
        QPoint next;
        bool fits = false;
        for (const QPoint d : {QPoint(dx, dy), QPoint(dx, 0), QPoint(0, dy)}) {
            if (d.isNull())
                continue;
            if (groupFits(m_groupOffset + d)) {
                next = m_groupOffset + d;
                fits = true;
                break;
            }
        }
        if (!fits)
            return;
        if (m_main.Move_el_counter == 0) {
            for (const tPosEntry* e : moves)  // lifted off the picture until the button is released
                clearCell(e->Posx, e->Posy);
        }
        ++m_main.Move_el_counter;
        m_main.Move_elements = true;
        m_groupOffset = next;
        QuarnPaint();
        for (const tPosEntry* e : moves)
            change_2_icon(e->Stellung, e->Posx + next.x(), e->Posy + next.y(), e->Enummer);
        m_main.Alt_x = X;
        m_main.Alt_y = Y;
        return;
    }
    if (m_drag == Drag::None)
        return;
    floatTo(cellOf(X, Y));
    m_main.Alt_x = X;
    m_main.Alt_y = Y;
}

void LayoutPanel::mouseDownDone(int X, int Y)
{
    m_main.Alt_x = sollkoord(X);
    m_main.Alt_y = sollkoord(Y);
}

void LayoutPanel::mouseUp(bool shift, int X, int Y)
{
    struct EndAction {
        LayoutPanel& p;
        ~EndAction()
        {
            if (p.m_ownsAction && p.history)
                p.history->commit(p.m_actionText);
            p.m_ownsAction = false;
        }
    } endAction{*this};

    auto& moves = m_main.Movelist;
    if (!moves.empty() && m_main.Move_elements) {
        // The move that the panel shows is entered into the table, whether or not Shift is still held.
        const QPoint d = m_groupOffset;
        for (tPosEntry* e : moves) {
            e->Posx += d.x();
            e->Posy += d.y();
        }
        for (tPosEntry* e : moves)
            changeicon(e->Stellung < 1 ? 1 : e->Stellung, e->Posx, e->Posy, e->Enummer);
        m_main.Move_elements = false;
        m_main.Move_el_counter = 0;
        m_groupOffset = QPoint();
        QuarnPaint();
    }
    if (!shift && !moves.empty())
        endGroup();

    const Drag drag = m_drag;
    m_drag = Drag::None;
    if (drag == Drag::None)
        return;
    dropFloat();
    const QPoint cell = cellOf(X, Y);
    const QPoint from = m_dragStart;
    if (drag == Drag::Move && cell == from) {
        refreshCell(from.x(), from.y());
        return;
    }
    const tPosEntry* there = m_postable.getEntryByKor(cell.x(), cell.y());
    if (there || !inGrid(cell.x(), cell.y())) {
        if (drag == Drag::Move)
            refreshCell(from.x(), from.y());
        if (there)
            m_dialogs.messageBox(messageText(109), messageText(102), UserDialogs::Icon::Error);
        return;
    }
    if (drag == Drag::Place) {
        Quarnliste_eintragen(cell.x(), cell.y(), m_main.Comp_nr);
        m_main.Geloescht = false;
    } else if (tPosEntry* e = m_postable.getEntryByKor(from.x(), from.y())) {
        e->Posx = cell.x();
        e->Posy = cell.y();
    }
    if (drag == Drag::Move)
        refreshCell(from.x(), from.y());
    refreshCell(cell.x(), cell.y());
}

std::unique_ptr<TTextEntry> LayoutPanel::createlabel(const QString& name, const QString& text, int x, int y) const
{
    auto label = std::make_unique<TTextEntry>();
    label->TextInfo = text;
    label->XText = x;
    label->YText = y;
    label->Name = name;
    label->Textwkl = 0;
    label->TextFont = m_main.LabelFont;
    return label;
}

void LayoutPanel::textMouseDown(Button button, int X, int Y)
{
    if (history)
        history->begin();
    struct EndAction {
        LayoutHistory* h;
        ~EndAction()
        {
            if (h)
                h->commit(QStringLiteral("Text"));
        }
    } endAction{history};
    const QPoint cell = cellOf(X, Y);
    if (button == Button::Left) {
        if (m_postable.getEntryByKor(cell.x(), cell.y()))
            return;
        const auto text = textQuery(messageText(107), messageText(108), cell.x(), cell.y());
        if (!text || text->isEmpty())
            return;
        m_main.TextLabelNr += 1;
        auto label = createlabel(QStringLiteral("Gtextlabel%1").arg(m_main.TextLabelNr), *text, cell.x(), cell.y());
        TTextEntry& ref = *label;
        m_main.Textliste.push_back(std::move(label));
        writeQuarnText(ref);
    } else if (button == Button::Right) {
        if (deletefromTextlist(cell.x(), cell.y()))
            clearCell(cell.x(), cell.y());
        QuarnPaint();
    }
}
