#include "panel/LayoutFileCommands.h"

#include "base/AppState.h"
#include "panel/LayoutHistory.h"
#include "panel/LayoutPanel.h"
#include "base/UserDialogs.h"

#include <QFileInfo>

#include <exception>
#include <optional>
#include <utility>

LayoutFileCommands::LayoutFileCommands(AppState& main, LayoutPanel& panel, UserDialogs& dialogs)
    : m_main(main), m_panel(panel), m_dialogs(dialogs)
{
}

QString LayoutFileCommands::withLayoutSuffix(const QString& path)
{
    return QFileInfo(path).suffix().isEmpty() ? path + QStringLiteral(".pln") : path;
}

void LayoutFileCommands::takeName(const QString& path)
{
    const QFileInfo info(path);
    m_main.Gleisbildpfad = info.absolutePath() + QLatin1Char('/');
    m_main.Gleisbildname = info.fileName();
    const qsizetype dot = m_main.Gleisbildname.lastIndexOf(QLatin1Char('.'));
    m_main.DateinameohneEndung = dot < 0 ? m_main.Gleisbildname : m_main.Gleisbildname.left(dot);
}

QString LayoutFileCommands::titleFor(const AppState& main)
{
    return main.Infostring + QStringLiteral("   Layout: ") + main.Gleisbildname + QStringLiteral("[*]");
}

bool LayoutFileCommands::askToSaveChanges()
{
    if (!history || !history->modified())
        return true;
    const QString name = m_main.Gleisbildname.isEmpty() ? m_panel.messageText(MsgUntitled) : m_main.Gleisbildname;
    const QStringList buttons{m_panel.messageText(MsgSave), m_panel.messageText(MsgDiscard),
                              m_panel.messageText(MsgCancel)};
    switch (m_dialogs.choice(m_panel.messageText(MsgUnsaved).arg(name), m_panel.messageText(MsgUnsavedCaption),
                             UserDialogs::Icon::Warning, buttons, 2)) {
    case 0: return Speichern1Click().done;
    case 1: return true;
    default: return false;
    }
}

LayoutFileResult LayoutFileCommands::Neu1Click()
{
    LayoutFileResult r;
    if (!askToSaveChanges())
        return r;
    const auto path = m_dialogs.saveFileName(m_panel.messageText(103), m_panel.layoutPath(),
                                             NewFilter());
    if (!path || path->isEmpty())
        return r;
    takeName(withLayoutSuffix(*path));
    if (!m_main.Gleisbildname.endsWith(QStringLiteral(".pln"), Qt::CaseSensitive))
        return r;
    m_main.Anzahl = 0;
    m_panel.EmptyQuarnlist();
    m_panel.EmptyTextlist();
    m_panel.EmptyMovelist();
    m_main.Speichern_posx = m_main.Speichern_posy = -1;
    // The panel shows what the tables hold: nothing, from the top left corner.
    m_panel.quarngraufaerben();
    m_panel.HScrollBarChange(0);
    m_panel.VScrollBarChange(0);
    m_panel.QuarnPaint();
    r.resetScrollBars = true;
    r.done = true;
    r.statusText = m_main.Gleisbildname;
    r.enableLayoutMenus = true;
    r.windowTitle = m_main.Infostring + QStringLiteral("   Layout: ") + m_main.Gleisbildname;
    r.enterDesignMode = true;  // the window writes the route file first
    if (history)
        history->clear();
    return r;
}

LayoutFileResult LayoutFileCommands::Oeffnen1Click()
{
    LayoutFileResult r;
    if (!askToSaveChanges())
        return r;
    const auto path = m_dialogs.openFileName(m_panel.messageText(105), m_panel.layoutPath(), OpenFilter());
    if (!path || path->isEmpty())
        return r;
    struct Busy {
        LayoutPanel& p;
        explicit Busy(LayoutPanel& panel) : p(panel) { if (p.busyCursor) p.busyCursor(true); }
        ~Busy() { if (p.busyCursor) p.busyCursor(false); }
    } busy(m_panel);
    // Until the new layout has been read whole, the open one keeps its tables, picture and name,
    // so that a "Save" after a failed "Open" writes what the user had.
    const QFileInfo info(*path);
    if (!info.fileName().endsWith(QStringLiteral(".pln"), Qt::CaseSensitive)) {
        m_dialogs.messageBox(m_panel.messageText(MsgNotALayout).arg(info.fileName()), m_panel.messageText(102),
                             UserDialogs::Icon::Error);
        return r;
    }
    LayoutContent content;
    try {
        content = m_panel.readLayoutFile(info.fileName(), info.absolutePath() + QLatin1Char('/'));
    } catch (const std::exception& e) {
        m_dialogs.showError(QString::fromUtf8(e.what()));
        return r;
    }
    m_panel.quarngraufaerben();
    takeName(*path);
    m_main.Anzahl = 0;
    m_main.Speichern_posx = m_main.Speichern_posy = -1;  // no element chosen in the decoder panel
    m_panel.EmptyQuarnlist();
    m_panel.EmptyTextlist();
    m_panel.EmptyMovelist();
    // A layout read only in part is not what the file holds: a "Save" must be the user's choice.
    const bool incomplete = !content.skipped.empty() || !content.replaced.empty();
    m_panel.installLayout(std::move(content), m_main.Gleisbildname);
    if (history) {
        history->clear();
        if (incomplete)
            history->markUnsaved();
    }
    m_panel.HScrollBarChange(0);
    m_panel.VScrollBarChange(0);
    r.resetScrollBars = true;
    r.done = true;
    r.enableLayoutMenus = true;
    r.windowTitle = m_main.Infostring + QStringLiteral("   Layout: ") + m_main.Gleisbildname;
    r.enterOperateMode = true;  // the window computes the route file name first
    return r;
}

LayoutFileResult LayoutFileCommands::Speichern1Click()
{
    if (m_main.Gleisbildname.isEmpty())
        return Speichernals1Click();
    LayoutFileResult r;
    try {
        m_panel.gleisbildspeichern(m_main.Gleisbildname, m_main.Gleisbildpfad);
        r.done = true;
        if (history)
            history->markSaved();
    } catch (const std::exception& e) {
        m_dialogs.showError(QString::fromUtf8(e.what()));
    }
    return r;
}

LayoutFileResult LayoutFileCommands::Speichernals1Click()
{
    LayoutFileResult r;
    const QString folder = m_main.Gleisbildpfad.isEmpty() ? m_panel.layoutPath() : m_main.Gleisbildpfad;
    const auto chosen = m_dialogs.saveFileName(m_panel.messageText(106), folder, NewFilter());
    if (!chosen || chosen->isEmpty())
        return r;
    const auto path = std::optional<QString>(withLayoutSuffix(*chosen));
    const QFileInfo info(*path);
    try {
        m_panel.gleisbildspeichern(info.fileName(), info.absolutePath() + QLatin1Char('/'));
    } catch (const std::exception& e) {
        m_dialogs.showError(QString::fromUtf8(e.what()));
        return r;
    }
    takeName(*path);
    if (history)
        history->markSaved();
    r.done = true;
    r.windowTitle = m_main.Infostring + QStringLiteral("   Layout: ") + m_main.Gleisbildname;
    r.enterOperateMode = true;
    return r;
}
