#pragma once
// Undo and redo of the changes to a layout: every user action that changes the position table,
// the text labels or the routes (placing, deleting, moving, a group move, a text, a decoder or S88
// assignment, recording or deleting a route) becomes one step on a QUndoStack. An action is framed
// by begin() and commit(); a step holds the layout before and after it. Undo and redo put the
// layout back as it was and draw the picture anew from it, so table and picture agree.
//
// Accessory states (Stellung) are the railway's, not an edit: they do not make a step, and an
// element that stays where it is keeps the state it has now when a step is undone or redone.

#include "base/PositionTable.h"
#include "panel/C_fahr.h"

#include <QString>
#include <QUndoStack>

#include <functional>
#include <optional>
#include <vector>

struct AppState;
class C_Position;
class LayoutPanel;

struct LayoutSnapshot {
    std::vector<tPosEntry> elements;
    std::vector<TTextEntry> labels;
    std::vector<C_fahrelement> routes;
    int TextLabelNr = -1;
    bool sameLayout(const LayoutSnapshot& other) const;  // ignores Stellung
    bool sameRoutes(const LayoutSnapshot& other) const;
};

class LayoutHistory {
public:
    // `fahr` may be null (no routes).
    LayoutHistory(AppState& main, C_Position& postable, LayoutPanel& panel, C_fahr* fahr);

    QUndoStack& stack() { return m_stack; }

    // Frames one user action. A begin() while an action is open is part of that action.
    void begin();
    // Ends the action: a step is pushed when it changed the layout. Returns whether it did.
    bool commit(const QString& text);
    bool inAction() const { return m_before.has_value(); }

    // Undo and redo are refused while an action is open or the editor is dragging.
    bool undo();
    bool redo();

    // "&Open" and "&New": no way back past them. A save marks the state that is in the file.
    void clear();
    void markSaved() { m_stack.setClean(); }
    // The layout differs from its file although no step was made (it was read only in part).
    void markUnsaved() { m_stack.resetClean(); }
    bool modified() const { return !m_stack.isClean(); }

    LayoutSnapshot snapshot() const;
    void apply(const LayoutSnapshot& s);

    // Called after undo or redo changed the routes (the route file is to be written).
    std::function<void()> routesRestored;
    // Called after every undo or redo.
    std::function<void()> restored;

private:
    AppState& m_main;
    C_Position& m_postable;
    LayoutPanel& m_panel;
    C_fahr* m_fahr;
    QUndoStack m_stack;
    std::optional<LayoutSnapshot> m_before;
};
