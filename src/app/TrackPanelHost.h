#pragma once
// Puts the track panel into the main window: creates the catalogue, the position table and the
// service object, replaces the placeholder panel by the real one with its scroll bars, fills the
// palette frame, and connects the layout commands of the "&File" menu.

#include <QElapsedTimer>
#include <QObject>

#include <QString>

#include <functional>
#include <memory>

class TMainForm;
class C_Element;
class C_Position;
class Cbahn;
class LayoutHistory;
class PanelView;
class PaletteView;
class QLabel;
class QProgressBar;
class QScrollBar;
struct LayoutFileResult;

class TrackPanelHost : public QObject {
    Q_OBJECT
public:
    explicit TrackPanelHost(TMainForm& form);
    ~TrackPanelHost() override;

    PanelView* panelView() const { return m_view; }
    PaletteView* paletteView() const { return m_palette; }
    LayoutHistory* history() const { return m_history.get(); }

    // Runs after a "&File" layout command (its item name, e.g. "Oeffnen1") and before the window
    // applies the result (menus, mode): the route file goes with the layout here.
    std::function<void(const QString& item, const LayoutFileResult& result)> afterFileCommand;

    // Message ids of the zoom items in the "&Options" menu.
    static constexpr int MsgZoomIn = 900, MsgZoomOut = 901, MsgZoomReset = 902, MsgZoomFit = 903;

    // The whole layout in view: the zoom at which its elements and texts fit, scrolled to them.
    void fitLayout();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Each scroll bar shows only while the panel does not show the whole picture its way.
    void showScrollBarsAsNeeded();
    void connectFileMenu();
    void addZoomItems();
    void keepZoom(const QString& item, const LayoutFileResult& result);
    QString currentLayoutFile() const;
    void applyResult(const struct LayoutFileResult& r);

    TMainForm& m_form;
    std::unique_ptr<C_Element> m_element;
    std::unique_ptr<C_Position> m_postable;
    std::unique_ptr<Cbahn> m_bahn;
    std::unique_ptr<LayoutHistory> m_history;
    PanelView* m_view = nullptr;
    PaletteView* m_palette = nullptr;
    QScrollBar* m_h = nullptr;
    QScrollBar* m_v = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_percent = nullptr;
    QElapsedTimer m_progressPainted;  // since the progress bar was last painted during a long step
};
