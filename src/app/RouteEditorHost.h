#pragma once
// Puts routes into the main window: fills the route editor pages of PageControl1 (labels, "+", "-",
// "Connect", "Save", "Cancel", "Delete"), takes a new route number when route mode is entered,
// handles the panel's mouse in route mode and route switches in operate mode, and keeps the route
// file with the layout on "&New", "&Open" and "Save &as".

#include <QObject>
#include <QString>

#include <memory>

class TMainForm;
class TrackPanelHost;
class RouteMode;
class QLabel;
struct LayoutFileResult;

class RouteEditorHost : public QObject {
    Q_OBJECT
public:
    // Needs the track panel host's panel, table and service object (Postable, Element, Bahn) and Fahr.
    RouteEditorHost(TMainForm& form, TrackPanelHost& host);
    ~RouteEditorHost() override;

    RouteMode* routeMode() const { return m_mode.get(); }

private:
    void buildPages();
    void showLabels();
    void leaveToOperate();
    void leftByOtherMode();
    void afterFileCommand(const QString& item, const LayoutFileResult& r);
    template <class F> void guarded(F&& f);

    TMainForm& m_form;
    std::unique_ptr<RouteMode> m_mode;
    QLabel* m_fahrerst2 = nullptr;
    QLabel* m_fahrerst4 = nullptr;
    QLabel* m_fahrdel2 = nullptr;
};
