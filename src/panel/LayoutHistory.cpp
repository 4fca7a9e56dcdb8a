#include "panel/LayoutHistory.h"

#include "base/AppState.h"
#include "layout/C_Position.h"
#include "panel/LayoutPanel.h"

#include <QUndoCommand>

#include <map>
#include <memory>
#include <utility>

namespace {

bool sameElement(const tPosEntry& a, const tPosEntry& b)
{
    return a.CompID == b.CompID && a.Enummer == b.Enummer && a.Posx == b.Posx && a.Posy == b.Posy
           && a.Decod1 == b.Decod1 && a.Decod2 == b.Decod2 && a.Decod3 == b.Decod3 && a.Daten1 == b.Daten1
           && a.Daten2 == b.Daten2 && a.Daten3 == b.Daten3 && a.Fahrnr == b.Fahrnr && a.Protokoll == b.Protokoll;
}

bool sameLabel(const TTextEntry& a, const TTextEntry& b)
{
    return a.TextFont == b.TextFont && a.Textwkl == b.Textwkl && a.TextInfo == b.TextInfo && a.XText == b.XText
           && a.YText == b.YText && a.Name == b.Name && a.TextColor == b.TextColor;
}

bool sameRoute(const C_fahrelement& a, const C_fahrelement& b)
{
    return a.Fahrnr == b.Fahrnr && a.Gleiselementnr == b.Gleiselementnr && a.Xpos == b.Xpos && a.Ypos == b.Ypos
           && a.Stellung == b.Stellung;
}

template <class T, class Eq> bool sameList(const std::vector<T>& a, const std::vector<T>& b, Eq eq)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!eq(a[i], b[i]))
            return false;
    return true;
}

class LayoutChange : public QUndoCommand {
public:
    LayoutChange(LayoutHistory& history, LayoutSnapshot before, LayoutSnapshot after, const QString& text)
        : QUndoCommand(text), m_history(history), m_before(std::move(before)), m_after(std::move(after))
    {
    }
    void undo() override { m_history.apply(m_before); }
    void redo() override
    {
        if (m_done)  // the action itself made the change when it was pushed
            m_history.apply(m_after);
        m_done = true;
    }

private:
    LayoutHistory& m_history;
    LayoutSnapshot m_before, m_after;
    bool m_done = false;
};

}  // namespace

bool LayoutSnapshot::sameLayout(const LayoutSnapshot& o) const
{
    return sameList(elements, o.elements, sameElement) && sameList(labels, o.labels, sameLabel);
}

bool LayoutSnapshot::sameRoutes(const LayoutSnapshot& o) const
{
    return sameList(routes, o.routes, sameRoute);
}

LayoutHistory::LayoutHistory(AppState& main, C_Position& postable, LayoutPanel& panel, C_fahr* fahr)
    : m_main(main), m_postable(postable), m_panel(panel), m_fahr(fahr)
{
    // Each step holds the layout twice; this bounds the memory of a long session.
    m_stack.setUndoLimit(200);
}

LayoutSnapshot LayoutHistory::snapshot() const
{
    LayoutSnapshot s;
    s.elements.reserve(static_cast<size_t>(m_postable.getNumbofEntries()));
    for (int i = 0; i < m_postable.getNumbofEntries(); ++i) {
        tPosEntry e = *m_postable.getEntryByNum(i);
        e.Refposx = e.Refposy = 0;
        s.elements.push_back(std::move(e));
    }
    for (const auto& t : m_main.Textliste)
        s.labels.push_back(*t);
    if (m_fahr)
        for (const auto& r : m_fahr->Fahrlist)
            s.routes.push_back(*r);
    s.TextLabelNr = m_main.TextLabelNr;
    return s;
}

void LayoutHistory::apply(const LayoutSnapshot& s)
{
    // The states the accessories have now stay with the elements that stay on their cells.
    std::map<std::pair<int, int>, std::pair<int, int>> states;  // cell -> (element, Stellung)
    for (int i = 0; i < m_postable.getNumbofEntries(); ++i) {
        const tPosEntry* e = m_postable.getEntryByNum(i);
        states[{e->Posx, e->Posy}] = {e->Enummer, e->Stellung};
    }
    m_main.Movelist.clear();
    m_main.Move_elements = false;
    m_main.Move_el_counter = 0;
    m_postable.EmptyQuarnList();
    for (const tPosEntry& e : s.elements) {
        auto copy = std::make_unique<tPosEntry>(e);
        const auto it = states.find({e.Posx, e.Posy});
        if (it != states.end() && it->second.first == e.Enummer)
            copy->Stellung = it->second.second;
        m_postable.addEntry(std::move(copy));
    }
    m_main.Textliste.clear();
    for (const TTextEntry& t : s.labels)
        m_main.Textliste.push_back(std::make_unique<TTextEntry>(t));
    m_main.TextLabelNr = s.TextLabelNr;
    bool routesChanged = false;
    if (m_fahr) {
        LayoutSnapshot now;
        for (const auto& r : m_fahr->Fahrlist)
            now.routes.push_back(*r);
        routesChanged = !now.sameRoutes(s);
        if (routesChanged) {
            m_fahr->Fahrlist.clear();
            for (const C_fahrelement& r : s.routes)
                m_fahr->Fahrlist.push_back(std::make_unique<C_fahrelement>(r));
        }
    }
    m_panel.redrawAll();
    if (m_fahr)
        m_fahr->redrawShownRoute();  // the marking of the route that is set stays
    if (routesChanged && routesRestored)
        routesRestored();
    if (restored)
        restored();
}

void LayoutHistory::begin()
{
    if (!m_before)
        m_before = snapshot();
}

bool LayoutHistory::commit(const QString& text)
{
    if (!m_before)
        return false;
    LayoutSnapshot before = std::move(*m_before);
    m_before.reset();
    LayoutSnapshot after = snapshot();
    if (before.sameLayout(after) && before.sameRoutes(after))
        return false;
    m_stack.push(new LayoutChange(*this, std::move(before), std::move(after), text));  // the stack owns it
    return true;
}

bool LayoutHistory::undo()
{
    if (m_before || m_panel.dragging() || !m_stack.canUndo())
        return false;
    m_stack.undo();
    return true;
}

bool LayoutHistory::redo()
{
    if (m_before || m_panel.dragging() || !m_stack.canRedo())
        return false;
    m_stack.redo();
    return true;
}

void LayoutHistory::clear()
{
    m_before.reset();
    m_stack.clear();
    m_stack.setClean();  // also after markUnsaved(), which clear() alone does not undo
}
