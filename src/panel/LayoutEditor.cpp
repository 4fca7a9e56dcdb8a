// What clicks and drags on the palette and the panel do in design and text mode.
#include "panel/LayoutPanel.h"

#include "app/AppState.h"
#include "layout/C_Position.h"
#include "layout/FontText.h"
#include "ui/UserDialogs.h"

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
        m_main.Symbol = true;
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

void LayoutPanel::designMouseDown(Button button, bool shift, int X, int Y)
{
    deleteundo();
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
        if (!m_main.Movelist.empty()) {
            m_main.Movelist.clear();
            deletecache();
            m_main.Move_elements = false;
            m_main.Move_el_counter = 0;
        }
        if (m_main.Symbol) {
            m_main.Undo = m_main.Quarn_bitmap.copy(cell.x(), cell.y(), 27, 27);
            drawAtCell(m_main.Cache, cell.x(), cell.y());
        }
    } else if (button == Button::Right) {
        if (m_postable.getEntryByKor(cell.x(), cell.y())) {
            deletecompfromlist(cell.x(), cell.y());
            clearCell(cell.x(), cell.y());
        }
        m_main.Symbol = false;
        QuarnPaint();
    }
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
        ++m_main.Move_el_counter;
        m_main.Move_elements = true;
        auto erase = [&](const tPosEntry& e) {
            drawOnPanel(m_main.Undo, e.Posx - m_main.Hpos_alt, e.Posy - m_main.Vpos_alt);
            if (m_main.Move_el_counter == 1) {
                QPainter p(&m_main.Quarn_bitmap);
                p.drawImage(QPoint(e.Posx, e.Posy), m_main.Undo);
            }
        };
        tPosEntry* r = moves.front();
        erase(*r);
        r->Posx += dx;
        r->Posy += dy;
        change_2_icon(r->Stellung, r->Posx, r->Posy, r->Enummer);
        for (size_t i = 1; i < moves.size(); ++i) {
            tPosEntry* e = moves[i];
            erase(*e);
            e->Posx = r->Posx + e->Refposx;
            e->Posy = r->Posy + e->Refposy;
            change_2_icon(e->Stellung, e->Posx, e->Posy, e->Enummer);
        }
        m_main.Alt_x = X;
        m_main.Alt_y = Y;
        return;
    }
    const QPoint old = cellOf(m_main.Alt_x, m_main.Alt_y);
    const QPoint cell = cellOf(X, Y);
    drawAtCell(m_main.Undo, old.x(), old.y());
    m_main.Undo = m_main.Quarn_bitmap.copy(cell.x(), cell.y(), 27, 27);
    drawAtCell(m_main.Cache, cell.x(), cell.y());
    if (!m_main.Geloescht) {
        deletecompfromlist(old.x(), old.y());
        m_main.Geloescht = true;
        m_main.Symbol = true;
    }
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
    auto& moves = m_main.Movelist;
    if (shift && !moves.empty() && m_main.Move_elements) {
        for (tPosEntry* e : moves)
            changeicon(e->Stellung, e->Posx, e->Posy, e->Enummer);
        QuarnPaint();
    }
    if (!shift && !moves.empty()) {
        moves.clear();
        deletecache();
        m_main.Move_elements = false;
        m_main.Move_el_counter = 0;
    }
    if (m_main.Symbol) {
        const QPoint cell = cellOf(X, Y);
        if (!m_postable.getEntryByKor(cell.x(), cell.y())) {
            Quarnliste_eintragen(cell.x(), cell.y(), m_main.Comp_nr);
            m_main.Geloescht = false;
        } else {
            m_dialogs.messageBox(messageText(109), messageText(102), UserDialogs::Icon::Error);
        }
    }
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
