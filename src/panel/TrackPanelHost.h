#pragma once
// Puts the track panel into the main window: creates the catalogue, the position table and the
// service object, replaces the placeholder panel by the real one with its scroll bars, fills the
// palette frame, and connects the layout commands of the "&File" menu.

#include <QObject>

#include <memory>

class TMainForm;
class C_Element;
class C_Position;
class Cbahn;
class PanelView;
class PaletteView;
class QLabel;
class QProgressBar;
class QScrollBar;

class TrackPanelHost : public QObject {
    Q_OBJECT
public:
    explicit TrackPanelHost(TMainForm& form);
    ~TrackPanelHost() override;

    PanelView* panelView() const { return m_view; }
    PaletteView* paletteView() const { return m_palette; }

private:
    void connectFileMenu();
    void applyResult(const struct LayoutFileResult& r);

    TMainForm& m_form;
    std::unique_ptr<C_Element> m_element;
    std::unique_ptr<C_Position> m_postable;
    std::unique_ptr<Cbahn> m_bahn;
    PanelView* m_view = nullptr;
    PaletteView* m_palette = nullptr;
    QScrollBar* m_h = nullptr;
    QScrollBar* m_v = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_percent = nullptr;
};
