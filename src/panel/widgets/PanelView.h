#pragma once
// The panel "Quarn": a window onto the layout picture, and the mouse glue of the editor. Other
// modes (operate, decoder and S88 addresses, routes) plug in through `otherModeMouseDown`.

#include "panel/CrispTiles.h"
#include "panel/LayoutPanel.h"
#include "panel/PanelCanvas.h"

#include <QWidget>

#include <functional>

class QScrollBar;
class QPainter;
struct AppState;
class UserDialogs;

class PanelView : public QWidget {
    Q_OBJECT
public:
    PanelView(AppState& main, LayoutPanel& panel, UserDialogs& dialogs, QWidget* parent = nullptr);
    ~PanelView() override;

    // Called for a mouse-down in a mode other than design and text (button, shift, X, Y).
    std::function<void(LayoutPanel::Button, bool, int, int)> otherModeMouseDown;

    // Scroll bars whose positions snap to the 27-pixel grid and move the view.
    void attachScrollBars(QScrollBar* horizontal, QScrollBar* vertical);

    // The zoom: a view transform. The model keeps its 27-pixel cells; one cell is shown
    // cellPixels() device pixels wide, the nearest whole number to 27 x percent / 100 x the
    // screen's scale factor, so that every cell edge falls on a pixel and icons are drawn sharp.
    int zoomPercent() const { return m_percent; }
    void setZoomPercent(int percent);
    void zoomIn();
    void zoomOut();
    int cellPixels() const;
    // A point of the visible panel in layout-panel pixels (what the editor sees) and back.
    QPoint toPanel(QPointF viewPoint) const;
    QPoint toView(QPoint panelPoint) const;
    // Told when the zoom changed (by the user or by setZoomPercent).
    std::function<void(int percent)> zoomChanged;

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void mousePressEvent(QMouseEvent*) override;
    void mouseMoveEvent(QMouseEvent*) override;
    void mouseReleaseEvent(QMouseEvent*) override;
    void wheelEvent(QWheelEvent*) override;

private:
    void paintPendingMarks(QPainter& p, int cell);  // device pixels, after the picture
    template <class F> void guarded(F&& f);
    double devicePerLayout() const;  // device pixels per layout pixel
    void resizeModel();
    AppState& m_main;
    LayoutPanel& m_panel;
    UserDialogs& m_dialogs;
    PanelCanvas m_canvas;
    CrispTiles m_crisp;
    int m_percent = 100;
    int m_wheel = 0;  // wheel angle not yet turned into a zoom step
};

// The palette "Design_Panel": the catalogue's element pictures and the yellow selection frame.
class PaletteView : public QWidget {
    Q_OBJECT
public:
    PaletteView(AppState& main, LayoutPanel& panel, QWidget* parent = nullptr);
    QPoint selectedCell() const { return m_frame; }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent*) override;

private:
    AppState& m_main;
    LayoutPanel& m_panel;
    QPoint m_frame{-1, -1};
};

// The text dialog of text mode: prompt, edit (255 characters), "OK", "Cancel" and "Font" (which
// sets LabelFont). Returns the text, or nothing when cancelled or empty.
std::optional<QString> MyInputQuery(QWidget* parent, AppState& main, UserDialogs& dialogs, const QString& caption,
                                    const QString& prompt, int x, int y, const QString& text = QString());
