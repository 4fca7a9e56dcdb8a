#include "app/RouteEditorHost.h"

#include "panel/Cbahn.h"
#include "app/TMainForm.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "panel/C_fahr.h"
#include "panel/LayoutFileCommands.h"
#include "panel/widgets/PanelView.h"
#include "panel/RouteFile.h"
#include "panel/RouteMode.h"
#include "app/TrackPanelHost.h"
#include "base/C_language.h"
#include "base/UserDialogs.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>

#include <exception>

namespace {
QLabel* label(QWidget* page, const char* name, const QString& text, int x, int y, int w)
{
    auto* l = new QLabel(text, page);
    l->setObjectName(QString::fromLatin1(name));
    l->setGeometry(x, y, w, 21);
    return l;
}

QPushButton* button(QWidget* page, const char* name, const QString& text, int x, int y, int w)
{
    auto* b = new QPushButton(text, page);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(x, y, w, 25);
    return b;
}
}  // namespace

RouteEditorHost::RouteEditorHost(TMainForm& form, TrackPanelHost& host) : QObject(&form), m_form(form)
{
    if (!Fahr || !Bahn || !Postable || !Element || !host.panelView())
        return;  // nothing to edit routes on
    LayoutPanel& tp = Bahn->trackPanel();
    Fahr->attach(*Postable, *Element, tp);
    m_mode = std::make_unique<RouteMode>(form, *Fahr, *Postable, tp, form.dialogs());
    m_mode->saveRoutes = [] { Bahn->fahrspeichern(); };
    buildPages();

    connect(&form, &TMainForm::routeModeEntered, this, [this] {
        if (!m_mode->enter()) {
            leaveToOperate();
            return;
        }
        showLabels();
    });
    for (auto signal : {&TMainForm::designModeEntered, &TMainForm::decoderModeEntered, &TMainForm::s88ModeEntered,
                        &TMainForm::textModeEntered, &TMainForm::operateModeEntered,
                        &TMainForm::locoSetupModeEntered})
        connect(&form, signal, this, &RouteEditorHost::leftByOtherMode);

    PanelView* view = host.panelView();
    auto other = view->otherModeMouseDown;
    view->otherModeMouseDown = [this, other](LayoutPanel::Button b, bool shift, int X, int Y) {
        if (m_form.Fahrstrasseerstellen) {
            m_mode->mouseDown(b, X, Y);
            showLabels();
            return;
        }
        if (m_form.Betrieb && b == LayoutPanel::Button::Left) {
            const int x = LayoutPanel::sollkoord(X) + m_form.Hpos_alt;
            const int y = LayoutPanel::sollkoord(Y) + m_form.Vpos_alt;
            tPosEntry* p = Postable->getEntryByKor(x, y);
            if (p && (p->Enummer == 66 || p->Enummer == 88)) {
                m_form.Fahrstrasse = 0;
                m_mode->routeSwitchClick(*p);
                return;
            }
        }
        if (other)
            other(b, shift, X, Y);
    };
    host.afterFileCommand = [this](const QString& item, const LayoutFileResult& r) { afterFileCommand(item, r); };
}

RouteEditorHost::~RouteEditorHost() = default;

template <class F> void RouteEditorHost::guarded(F&& f)
{
    try {
        f();
    } catch (const std::exception& e) {
        m_form.dialogs().showError(QString::fromUtf8(e.what()));
    }
}

void RouteEditorHost::buildPages()
{
    QTabWidget* pages = m_form.PageControl1;
    pages->setFixedHeight(113);
    pages->setMaximumWidth(580);
    QWidget* create = pages->widget(0);
    QWidget* remove = pages->widget(1);

    label(create, "LabelFahrerst1", QStringLiteral("Routes"), 10, 10, 110);
    m_fahrerst2 = label(create, "LabelFahrerst2", QString(), 125, 10, 50);
    label(create, "LabelFahrerst3", QStringLiteral("Track number"), 10, 40, 110);
    m_fahrerst4 = label(create, "LabelFahrerst4", QString(), 125, 40, 50);
    auto* plus = button(create, "ButtonFahrerst_plus", QStringLiteral("+"), 180, 8, 28);
    auto* minus = button(create, "ButtonFahrerst_minus", QStringLiteral("-"), 212, 8, 28);
    auto* connectButton = button(create, "Buttonverbinden", QStringLiteral("Connect"), 260, 8, 95);
    auto* save = button(create, "ButtonFahrerst_speichern", QStringLiteral("Save"), 365, 8, 95);
    auto* cancel = button(create, "ButtonFahrerst_cancel", QStringLiteral("Cancel"), 470, 8, 95);

    label(remove, "LabelFahrdel1", QStringLiteral("Routes"), 10, 10, 110);
    m_fahrdel2 = label(remove, "LabelFahrdel2", QStringLiteral("Track number"), 125, 10, 110);
    auto* delPlus = button(remove, "ButtonDel_plus", QStringLiteral("+"), 240, 8, 28);
    auto* delMinus = button(remove, "ButtonDel_minus", QStringLiteral("-"), 272, 8, 28);
    auto* del = button(remove, "ButtonDel_del", QStringLiteral("Delete"), 320, 8, 95);

    auto bind = [this](QPushButton* b, void (RouteMode::*op)()) {
        connect(b, &QPushButton::clicked, this, [this, op] {
            guarded([&] { ((*m_mode).*op)(); });
            showLabels();
        });
    };
    bind(plus, &RouteMode::createPlus);
    bind(minus, &RouteMode::createMinus);
    bind(connectButton, &RouteMode::connectClicked);
    bind(delPlus, &RouteMode::deletePlus);
    bind(delMinus, &RouteMode::deleteMinus);
    bind(del, &RouteMode::deleteRoute);
    connect(save, &QPushButton::clicked, this, [this] {
        if (m_mode->save())
            leaveToOperate();
    });
    connect(cancel, &QPushButton::clicked, this, [this] {
        m_mode->cancel();
        leaveToOperate();
    });
    connect(pages, &QTabWidget::currentChanged, this, [this] {
        if (!m_form.Fahrstrasseerstellen)
            return;
        m_mode->pageChanged();
        showLabels();
    });
}

void RouteEditorHost::showLabels()
{
    m_fahrerst2->setText(m_mode->labels.LabelFahrerst2);
    m_fahrerst4->setText(m_mode->labels.LabelFahrerst4);
    m_fahrdel2->setText(m_mode->labels.LabelFahrdel2);
}

void RouteEditorHost::leaveToOperate()
{
    m_form.PageControl1->hide();
    for (const char* name : {"Gleisbildentwerfen1", "DecoderAdressen1", "Betrieb1"})
        if (QAction* a = m_form.action(QString::fromLatin1(name)))
            a->setEnabled(true);
    m_form.Betrieb1Click();  // checks "Betrieb1" and unchecks "Fahrstrassen1"
}

void RouteEditorHost::leftByOtherMode()
{
    // Another mode was chosen while the route editor was open: close it like "Cancel" without
    // using up a route number; what was recorded stays in memory.
    if (m_form.PageControl1->isHidden())
        return;
    m_form.PageControl1->hide();
    m_form.Verbinden = 0;
    for (const char* name : {"Gleisbildentwerfen1", "DecoderAdressen1", "Betrieb1"})
        if (QAction* a = m_form.action(QString::fromLatin1(name)))
            a->setEnabled(true);
    guarded([&] { Fahr->normaleiconchange(m_form.Fahrstrasse); });
    m_mode->leave();
}

void RouteEditorHost::afterFileCommand(const QString& item, const LayoutFileResult& r)
{
    if (!r.done)
        return;
    if (item == QLatin1String("Neu1")) {
        // A new layout starts without routes. Its route file is first written with the layout, so
        // that a route file of that name stays until the user saves over it.
        applyRouteContent(*Fahr, {});
        m_form.Knopf.fill(false);
        Bahn->forgetRouteFile();
    } else if (item == QLatin1String("Oeffnen1")) {
        QString note;
        guarded([&note] { note = Bahn->fahrladen(); });
        if (!note.isEmpty())
            m_form.dialogs().messageBox(note, Lang ? Lang->getmessage(102, m_form.Lang_id) : QStringLiteral("Error"),
                                        UserDialogs::Icon::Warning);
    } else if (item == QLatin1String("Speichernals1") || item == QLatin1String("Speichern1")) {
        // The routes go with the layout, beside it.
        guarded([] { Bahn->fahrspeichern(); });
    }
}
