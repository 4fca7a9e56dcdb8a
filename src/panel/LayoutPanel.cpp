#include "panel/LayoutPanel.h"
#include "panel/TileBlit.h"

#include "base/AppState.h"
#include "base/FileReplace.h"
#include "layout/C_Element.h"
#include "layout/C_Position.h"
#include "layout/FontText.h"
#include "layout/LayoutFile.h"
#include "layout/LineValueReader.h"
#include "base/C_language.h"
#include "base/UserDialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>

#include <algorithm>
#include <cstring>
#include <exception>

namespace {

// The six states that have an icon file, as an index 0..5, or -1.
int stateSlot(int state)
{
    switch (state) {
    case 1: case 2: case 3: return state - 1;
    case 11: case 12: case 13: return state - 8;
    default: return -1;
    }
}

// The 27 x 27 picture of a cell: the icon itself when it has that size.
QImage cellPicture(const QImage& icon)
{
    return icon.size() == QSize(27, 27) ? icon : icon.copy(0, 0, 27, 27);
}

struct BusyGuard {
    const std::function<void(bool)>& hook;
    explicit BusyGuard(const std::function<void(bool)>& h) : hook(h) { if (hook) hook(true); }
    ~BusyGuard() { if (hook) hook(false); }
};
}  // namespace

LayoutPanel::LayoutPanel(AppState& main, C_Position& postable, C_Element& element, UserDialogs& dialogs)
    : m_main(main), m_postable(postable), m_element(element), m_dialogs(dialogs)
{
    textQuery = [this](const QString& caption, const QString& prompt, int, int) {
        return m_dialogs.inputQuery(caption, prompt, QString());
    };
}

QString LayoutPanel::dataPath() const { return m_main.locations().dataFolder(); }
QString LayoutPanel::layoutPath() const { return m_main.locations().layouts; }

QString LayoutPanel::messageText(int id) const
{
    if (message)
        return message(id);
    static const C_language english;  // without the program's language: the English texts
    return english.getmessage(id, 2);
}

// --- positions ---

void LayoutPanel::Quarnliste_eintragen(int x, int y, int n)
{
    auto e = std::make_unique<tPosEntry>();
    C_Position::initializeEntry(m_main.Anzahl, *e);
    e->Posx = x;
    e->Posy = y;
    e->Enummer = n;
    m_postable.addEntry(std::move(e));
}

int LayoutPanel::poslistsuchen(int x, int y) const
{
    const tPosEntry* e = m_postable.getEntryByKor(x, y);
    return e ? e->Enummer : 0;
}

int LayoutPanel::poslistsuchen2(int x, int y) const
{
    const tPosEntry* e = m_postable.getEntryByKor(x, y);
    return e ? e->CompID : 0;
}

int LayoutPanel::compsuchen(int x, int y) const
{
    int found = 0;
    for (int i = 0; i < C_Element::Count; ++i)
        if (m_element.get_posx(i) == x && m_element.get_posy(i) == y)
            found = m_element.get_nummer(i);
    return found;
}

bool LayoutPanel::deletecompfromlist(int x, int y)
{
    // A group being collected may refer to the entry; it must not outlive it.
    tPosEntry* first = nullptr;
    for (int i = 0; i < m_postable.getNumbofEntries(); ++i) {
        tPosEntry* e = m_postable.getEntryByNum(i);
        if (e->Posx == x && e->Posy == y) {
            first = e;
            break;
        }
    }
    if (!first)
        return false;
    auto& moves = m_main.Movelist;
    moves.erase(std::remove(moves.begin(), moves.end(), first), moves.end());
    return m_postable.delEntry(x, y) == 0;
}

void LayoutPanel::EmptyQuarnlist()
{
    m_main.Movelist.clear();  // holds references into the table
    m_postable.EmptyQuarnList();
}

bool LayoutPanel::deletefromTextlist(int x, int y)
{
    auto& list = m_main.Textliste;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if ((*it)->XText == x && (*it)->YText == y) {
            list.erase(it);
            return true;
        }
    }
    return false;
}

void LayoutPanel::EmptyTextlist() { m_main.Textliste.clear(); }
void LayoutPanel::EmptyMovelist() { m_main.Movelist.clear(); }

// --- catalogue and palette ---

void LayoutPanel::elementeladen()
{
    BusyGuard busy(busyCursor);
    if (m_main.Design_Panel_bitmap.size() != QSize(m_main.Panelbreite, m_main.Panelhoehe))
        m_main.Design_Panel_bitmap = QImage(m_main.Panelbreite, m_main.Panelhoehe, QImage::Format_RGB32);
    m_main.Design_Panel_bitmap.fill(toQColor(m_main.Dunkelrot));
    QFile f(dataPath() + QStringLiteral("Elemente1.dat"));
    if (!f.open(QIODevice::ReadOnly))
        throw FileReadError("Cannot open file \"" + f.fileName().toStdString() + "\". " + f.errorString().toStdString());
    const QList<int> replaced = m_element.readCatalogue(f.readAll());
    m_main.El_geladen = true;
    if (!replaced.isEmpty()) {
        QStringList lines;
        for (int line : replaced.mid(0, 20))
            lines << QString::number(line);
        if (replaced.size() > 20)
            lines << QStringLiteral("...");
        // The program never writes the catalogue: it stays as it is.
        m_dialogs.messageBox(QStringLiteral("Some values of the element catalogue %1 could not be used (lines %2) and "
                                            "were replaced; the file stays as it is.")
                                 .arg(QDir::toNativeSeparators(f.fileName()), lines.join(QStringLiteral(", "))),
                             messageText(102), UserDialogs::Icon::Warning);
    }
    QPainter p(&m_main.Design_Panel_bitmap);
    for (int i = 0; i < C_Element::Count; ++i) {
        // Icons are shown 1:1 so that the palette cell is exactly the picture that will be placed.
        const QImage& icon = m_icons.load(dataPath() + m_element.get_i01(i));
        m_main.Cache = icon.copy(0, 0, 27, 27);
        p.drawImage(QPoint(m_element.get_posx(i), m_element.get_posy(i)), m_main.Cache);
    }
}

// --- rendering ---

QString LayoutPanel::iconFileName(int n, int state)
{
    if (n >= 0 && n <= 99) {  // "Icon" and two digits, then the state's two digits and ".bmp"
        char name[16] = {'I', 'c', 'o', 'n', char('0' + n / 10), char('0' + n % 10)};
        if (stateSlot(state) < 0)
            return QString::fromLatin1(name, 6);  // no such file: loading it fails
        const char tail[] = {char('0' + state / 10), char('0' + state % 10), '.', 'b', 'm', 'p'};
        std::memcpy(name + 6, tail, sizeof tail);
        return QString::fromLatin1(name, 12);
    }
    QString name = QStringLiteral("Icon%1").arg(n, 2, 10, QLatin1Char('0'));
    return stateSlot(state) < 0 ? name : name + QStringLiteral("%1.bmp").arg(state, 2, 10, QLatin1Char('0'));
}

class LayoutPanel::IconRun {
public:
    explicit IconRun(LayoutPanel& p) : m_batch(p.m_icons), m_panel(p), m_outer(!p.m_iconRunActive)
    {
        if (m_outer) {
            p.m_iconRunActive = true;
            p.m_runIcons.assign(89 * 6, QImage());
        }
    }
    ~IconRun()
    {
        if (m_outer) {
            m_panel.m_iconRunActive = false;
            m_panel.m_runIcons.clear();
        }
    }
    IconRun(const IconRun&) = delete;
    IconRun& operator=(const IconRun&) = delete;

private:
    IconCache::Batch m_batch;
    LayoutPanel& m_panel;
    bool m_outer;
};

const QImage& LayoutPanel::icon(int n, int state)
{
    const int slot = stateSlot(state);
    if (!m_iconRunActive || n < 0 || n > 88 || slot < 0)
        return m_icons.load(dataPath() + iconFileName(n, state));
    QImage& memo = m_runIcons[std::size_t(n * 6 + slot)];
    if (memo.isNull())
        memo = m_icons.load(dataPath() + iconFileName(n, state));
    return memo;
}

void LayoutPanel::drawOnPanel(const QImage& tile, int px, int py)
{
    if (!panel || panel->surface.isNull())
        return;
    drawTile(panel->surface, QPoint(px, py), tile);
    panel->notify(QRect(px, py, tile.width(), tile.height()));
}

void LayoutPanel::setPendingMarks(std::vector<QPoint> cells)
{
    if (cells == m_pendingMarks)
        return;
    std::vector<QPoint> changed = m_pendingMarks;
    changed.insert(changed.end(), cells.begin(), cells.end());
    m_pendingMarks = std::move(cells);
    if (!panel)
        return;
    for (const QPoint& c : changed)
        panel->notify(QRect(c.x() - m_main.Hpos_alt, c.y() - m_main.Vpos_alt, 27, 27));
}

void LayoutPanel::drawAtCell(const QImage& tile, int x, int y)
{
    drawTile(m_main.Quarn_bitmap, QPoint(x, y), tile);
    drawOnPanel(tile, x - m_main.Hpos_alt, y - m_main.Vpos_alt);
}

void LayoutPanel::clearCell(int x, int y)
{
    QImage grey(27, 27, QImage::Format_RGB32);
    grey.fill(toQColor(m_main.Grau));
    drawAtCell(grey, x, y);
}

void LayoutPanel::changeicon(int state, int x, int y, int n)
{
    if (n < 1 || n > 88)
        return;
    if (state <= 0)
        state = 1;
    m_main.Cache = cellPicture(icon(n, state));
    drawAtCell(m_main.Cache, x, y);
}

QImage LayoutPanel::iconImage(int state, int n)
{
    return cellPicture(icon(n, state));
}

void LayoutPanel::change_2_icon(int state, int x, int y, int n)
{
    if (n < 1 || n > 88)
        return;
    if (state <= 0 || state > 13)
        state = 1;
    try {
        m_main.Cache = cellPicture(icon(n, state));
    } catch (const IconLoadError&) {
        return;  // the element following the mouse is simply not shown
    }
    drawOnPanel(m_main.Cache, x - m_main.Hpos_alt, y - m_main.Vpos_alt);
}

void LayoutPanel::redrawAll()
{
    const QImage selected = m_main.Cache;  // the palette element chosen stays chosen
    IconRun run(*this);
    quarngraufaerben();
    for (int i = 0; i < m_postable.getNumbofEntries(); ++i) {
        const tPosEntry* e = m_postable.getEntryByNum(i);
        try {
            changeicon(e->Stellung < 1 ? 1 : e->Stellung, e->Posx, e->Posy, e->Enummer);
        } catch (const IconLoadError&) {
            // drawn before from the same file; a picture removed since is left grey
        }
    }
    for (const auto& label : m_main.Textliste)
        writeQuarnText(*label);
    m_main.Cache = selected;
    QuarnPaint();
}

void LayoutPanel::fillGrey(QImage& img, std::uint32_t bgr) const
{
    if (!img.isNull())
        img.fill(toQColor(bgr));
}

void LayoutPanel::quarngraufaerben()
{
    if (m_main.Quarn_bitmap.size() != QSize(m_main.Quarnbreite, m_main.Quarnhoehe))
        m_main.Quarn_bitmap = QImage(m_main.Quarnbreite, m_main.Quarnhoehe, QImage::Format_RGB32);
    fillGrey(m_main.Quarn_bitmap, 12632256);
}

void LayoutPanel::deletecache()
{
    if (m_main.Cache.size() != QSize(27, 27))
        m_main.Cache = QImage(27, 27, QImage::Format_RGB32);
    fillGrey(m_main.Cache, m_main.Grau);
}

void LayoutPanel::deleteundo()
{
    if (m_main.Undo.size() != QSize(27, 27))
        m_main.Undo = QImage(27, 27, QImage::Format_RGB32);
    fillGrey(m_main.Undo, m_main.Grau);
}

void LayoutPanel::resizePanel(int width, int height)
{
    if (!panel)
        return;
    panel->surface = QImage(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
    QuarnPaint();
}

void LayoutPanel::QuarnPaint()
{
    if (!panel || panel->surface.isNull())
        return;
    {
        QPainter p(&panel->surface);
        p.fillRect(panel->surface.rect(), toQColor(m_main.Grau));
        p.drawImage(QPoint(0, 0), m_main.Quarn_bitmap,
                    QRect(m_main.Hpos_alt, m_main.Vpos_alt, panel->surface.width(), panel->surface.height()));
    }
    panel->notify(panel->surface.rect());
}

int LayoutPanel::HScrollBarChange(int position)
{
    m_main.Hpos_alt = std::clamp(sollkoord(position), 0, m_main.Quarnbreite);
    QuarnPaint();
    return m_main.Hpos_alt;
}

int LayoutPanel::VScrollBarChange(int position)
{
    m_main.Vpos_alt = std::clamp(sollkoord(position), 0, m_main.Quarnhoehe);
    QuarnPaint();
    return m_main.Vpos_alt;
}

void LayoutPanel::writeQuarnText(const TTextEntry& label)
{
    auto draw = [&](QImage& img, int x, int y) -> QRect {
        QPainter p(&img);
        p.setFont(label.TextFont);
        const QRect box = p.fontMetrics().boundingRect(QRect(x, y, 2000, 2000), Qt::AlignLeft | Qt::AlignTop,
                                                       label.TextInfo);
        p.fillRect(box, toQColor(m_main.Grau));
        p.setPen(toQColor(label.TextColor));
        p.drawText(box, Qt::AlignLeft | Qt::AlignTop, label.TextInfo);
        return box;
    };
    draw(m_main.Quarn_bitmap, label.XText, label.YText);
    if (panel && !panel->surface.isNull())
        panel->notify(draw(panel->surface, label.XText - m_main.Hpos_alt, label.YText - m_main.Vpos_alt));
}

// --- layout file ---

void LayoutPanel::gleisbildspeichern(const QString& name, const QString& folder)
{
    const QString path = folder.isEmpty() || folder.endsWith(QLatin1Char('/')) ? folder + name
                                                                               : folder + QLatin1Char('/') + name;
    if (name.isEmpty())
        throw FileReadError("Cannot create file \"" + path.toStdString() + "\". No file name");
    const QString error = replaceFileContents(path, writeLayoutText(m_postable, m_main.Textliste));
    if (!error.isEmpty())
        throw FileReadError("Cannot create file \"" + path.toStdString() + "\". " + error.toStdString());
}

LayoutContent LayoutPanel::readLayoutFile(const QString& name, const QString& folder)
{
    const QString path = folder.isEmpty() || folder.endsWith(QLatin1Char('/')) ? folder + name
                                                                               : folder + QLatin1Char('/') + name;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw FileReadError("Cannot open file \"" + path.toStdString() + "\". " + f.errorString().toStdString());
    const QByteArray text = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw FileReadError("Cannot read file \"" + path.toStdString() + "\". " + f.errorString().toStdString());
    f.close();
    LayoutContent content;
    try {
        content = parseLayoutText(text, LayoutGrid{m_main.Quarnbreite, m_main.Quarnhoehe});
    } catch (const FileReadError& e) {
        throw FileReadError("\"" + path.toStdString() + "\": " + e.what());
    }
    // A file read with records left out or values replaced is kept as it was before anything can
    // write over it.
    const auto keep = [&] {
        if (content.backup.isEmpty() && (!content.skipped.empty() || !content.replaced.empty()))
            content.backup = keepBackupCopy(path);
    };
    keep();
    // An element whose picture cannot be drawn would be in the table but not on the panel.
    auto& elements = content.elements;
    for (auto it = elements.begin(); it != elements.end();) {
        const tPosEntry& e = **it;
        try {
            icon(e.Enummer, e.Stellung < 1 ? 1 : e.Stellung);
            ++it;
        } catch (const IconLoadError&) {
            content.skipped.push_back({false, e.CompID, 0,
                                       QStringLiteral("element %1 has no picture for state %2")
                                           .arg(e.Enummer)
                                           .arg(e.Stellung)});
            it = elements.erase(it);
        }
    }
    keep();
    return content;
}

void LayoutPanel::installLayout(LayoutContent content, const QString& fileName)
{
    struct ProgressGuard {
        LayoutPanel& p;
        ~ProgressGuard() { if (p.progress) p.progress(false, 0, 0, QString()); }
    } guard{*this};

    const int count = content.count;
    m_main.Anzahl = count;
    if (progress)
        progress(true, 0, count, QStringLiteral("0 %"));
    int kept = 0;
    QString sendError;
    for (auto& entry : content.elements) {
        tPosEntry& e = *entry;
        m_postable.addEntry(std::move(entry));
        ++kept;
        const int s = e.Stellung < 1 ? 1 : e.Stellung;
        const int n = e.Enummer;
        if (n != 20 && n != 42 && n != 64 && n != 65 && n != 86 && n != 87) {
            int decoder = 0, port = 0;
            if (s == 1) { decoder = e.Decod1; port = e.Daten1; }
            else if (s == 2) { decoder = e.Decod2; port = e.Daten2; }
            else if (s == 3) { decoder = e.Decod3; port = e.Daten3; }
            // A connection that breaks while the layout is sent must not leave it half installed:
            // the rest is drawn without commands and the failure is reported at the end.
            // A record with a replaced value may name another decoder than the user chose: it is
            // drawn, but nothing is sent for it.
            const bool repaired = std::find(content.repairedRecords.begin(), content.repairedRecords.end(),
                                            e.CompID) != content.repairedRecords.end();
            if (port > 0 && accessoryOut && sendError.isEmpty() && !repaired) {
                try {
                    accessoryOut(e.Protokoll, decoder, port);
                } catch (const std::exception& ex) {
                    sendError = QString::fromUtf8(ex.what());
                }
            }
        }
        changeicon(s, e.Posx, e.Posy, n);
        if (progress)
            progress(true, kept, count, QString::number(count > 0 ? kept * 100 / count : 0) + QStringLiteral(" %"));
    }
    m_main.TextLabelNr = content.labelCount > 0 ? content.labelCount : -1;
    for (auto& label : content.labels) {
        TTextEntry& ref = *label;
        m_main.Textliste.push_back(std::move(label));
        writeQuarnText(ref);
    }
    QStringList report;
    if (!content.skipped.empty())
        report << messageText(MsgRecordsSkipped).arg(fileName) + QStringLiteral("\n\n") + describeSkipped(content.skipped);
    if (!content.replaced.empty())
        report << QStringLiteral("Some values of the layout file \"%1\" could not be used and were replaced; nothing was "
                                 "sent for these elements:")
                          .arg(fileName)
                      + QStringLiteral("\n\n") + describeSkipped(content.replaced);
    if (!report.isEmpty() && !content.backup.isEmpty())
        report << QStringLiteral("The file as it was is kept as %1; the layout file changes only when you save.")
                      .arg(QDir::toNativeSeparators(content.backup));
    if (!report.isEmpty())
        m_dialogs.messageBox(report.join(QStringLiteral("\n\n")), messageText(102), UserDialogs::Icon::Warning);
    if (!sendError.isEmpty())
        m_dialogs.showError(sendError);
}

void LayoutPanel::gleisbildladen(const QString& name, const QString& folder)
{
    IconRun run(*this);  // the check of every icon while reading, then the drawing
    installLayout(readLayoutFile(name, folder), name);
}
