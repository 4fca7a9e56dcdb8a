#pragma once
// Positions, drawing, layout file and editor of the track panel, working on the application state,
// the position table and the catalogue. The service object forwards its panel operations here.
// Drawing goes into the layout picture and, when a panel is attached, onto the panel.

#include "layout/LayoutFile.h"
#include "base/IconCache.h"
#include "panel/PanelCanvas.h"

#include <QImage>
#include <QPoint>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

struct AppState;
struct tPosEntry;
struct TTextEntry;
class C_Position;
class C_Element;
class UserDialogs;
class LayoutHistory;

class LayoutPanel {
public:
    enum class Button { Left, Right, Middle };

    LayoutPanel(AppState& main, C_Position& postable, C_Element& element, UserDialogs& dialogs);

    // Hooks the program sets; all are optional.
    PanelCanvas* panel = nullptr;
    // ga_out: true when the command went out.
    std::function<bool(const QString& protocol, int decoder, int port)> accessoryOut;
    // Switches placed element e to `state` for route `route` (Cbahn::switchAccessory): true when
    // the command went on its way or the element has nothing to send. The element takes the state
    // when the railway confirms it. Unset: routes send through accessoryOut.
    std::function<bool(tPosEntry& e, int state, int route)> switchAccessory;
    std::function<void(const QString& text)> statusText;  // the status bar's line for the panel
    std::function<void(bool visible, int value, int max, const QString& percent)> progress;
    std::function<void(bool busy)> busyCursor;
    std::function<QString(int id)> message;  // message table in the current language
    // The text dialog with its "Font" button; defaults to a plain input query.
    std::function<std::optional<QString>(const QString& caption, const QString& prompt, int x, int y)> textQuery;
    // Undo and redo: each editor action is framed as one step when set.
    LayoutHistory* history = nullptr;

    QString dataPath() const;
    QString layoutPath() const;
    QString messageText(int id) const;

    // --- positions ---
    static int sollkoord(int v) { return v / 27 * 27; }
    void Quarnliste_eintragen(int x, int y, int n);
    int poslistsuchen(int x, int y) const;
    int poslistsuchen2(int x, int y) const;
    int compsuchen(int x, int y) const;
    bool deletecompfromlist(int x, int y);
    void EmptyQuarnlist();
    bool deletefromTextlist(int x, int y);
    void EmptyTextlist();
    void EmptyMovelist();

    // --- catalogue and palette ---
    void elementeladen();  // throws FileReadError / IconLoadError

    // --- rendering ---
    static QString iconFileName(int n, int state);
    void changeicon(int state, int x, int y, int n);     // throws IconLoadError
    void change_2_icon(int state, int x, int y, int n);  // silent on a missing icon
    void quarngraufaerben();
    void deletecache();
    void deleteundo();
    void QuarnPaint();                                   // panel := picture at the scroll offsets
    void resizePanel(int width, int height);
    int HScrollBarChange(int position);                  // returns the snapped position
    int VScrollBarChange(int position);
    void drawAtCell(const QImage& tile, int x, int y);   // picture and panel
    void clearCell(int x, int y);                        // grey in picture and panel
    void writeQuarnText(const TTextEntry& label);
    // Cells (layout coordinates of their corners) whose accessory waits for the server's answer;
    // the view draws a mark over them. Setting them tells the panel which cells changed.
    const std::vector<QPoint>& pendingMarks() const { return m_pendingMarks; }
    void setPendingMarks(std::vector<QPoint> cells);

    // --- layout file ---
    // Message shown after a layout was read with records left out (argument: the file name).
    static constexpr int MsgRecordsSkipped = 513;
    void gleisbildspeichern(const QString& name, const QString& folder);  // throws on a write error
    // Reads and checks a layout file without touching the tables or the picture. Records that cannot
    // be used (also those whose icon is missing) are left out and listed. Throws FileReadError
    // when the file cannot be read or is not a layout.
    LayoutContent readLayoutFile(const QString& name, const QString& folder);
    // Appends what was read to the position table and the labels and draws it; accessories with a
    // data port in their state get their accessory command. Left-out records are named in a message.
    void installLayout(LayoutContent content, const QString& fileName);
    // readLayoutFile, then installLayout.
    void gleisbildladen(const QString& name, const QString& folder);

    // --- editor ---
    QPoint paletteMouseDown(Button button, int X, int Y);  // returns the palette cell origin
    void designMouseDown(Button button, bool shift, int X, int Y);
    void designMouseMove(bool leftHeld, bool shift, int X, int Y);
    void textMouseDown(Button button, int X, int Y);
    void mouseDownDone(int X, int Y);  // every mode, at the end of a mouse-down
    void mouseUp(bool shift, int X, int Y);
    std::unique_ptr<TTextEntry> createlabel(const QString& name, const QString& text, int x, int y) const;

    // An element or a group is following the mouse.
    bool dragging() const;
    // The picture drawn anew from the table and the labels, as opening the layout draws it.
    void redrawAll();

    // Whether (x, y) is the corner of a cell whose top-left corner lies inside the layout picture (the
    // last column and row show only part of their cells).
    bool inGrid(int x, int y) const;
    // Draws the cell as the table has it: the element there in its state, or grey.
    void refreshCell(int x, int y);
    // The 27 x 27 icon of element n in `state` (throws IconLoadError).
    QImage iconImage(int state, int n);

private:
    enum class Drag { None, Place, Move };
    void floatTo(const QPoint& cell);  // the element under the mouse is drawn at `cell`
    void dropFloat();                  // and taken off again
    void endGroup();
    bool groupFits(const QPoint& offset) const;
    QPoint cellOf(int X, int Y) const;
    void drawOnPanel(const QImage& tile, int px, int py);
    void fillGrey(QImage& img, std::uint32_t bgr) const;
    // The decoded icon of element n in `state` (throws IconLoadError).
    const QImage& icon(int n, int state);
    // One operation that draws many icons (opening a layout, drawing it anew): each icon file is
    // looked at once while it lasts.
    class IconRun;

    AppState& m_main;
    C_Position& m_postable;
    C_Element& m_element;
    UserDialogs& m_dialogs;
    IconCache m_icons;
    std::vector<QImage> m_runIcons;  // by element and state while an IconRun lasts
    bool m_iconRunActive = false;
    Drag m_drag = Drag::None;
    QPoint m_dragStart;
    std::optional<QPoint> m_float;  // cell where the element under the mouse is drawn
    QPoint m_groupOffset;           // how far the group has been moved since the button went down
    bool m_ownsAction = false;      // the mouse-down began an undo step that the release ends
    QString m_actionText;
    std::vector<QPoint> m_pendingMarks;
};
