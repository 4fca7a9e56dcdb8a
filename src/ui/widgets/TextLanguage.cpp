#include "ui/widgets/TextLanguage.h"

#include "base/C_language.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QWidget>

namespace {

// One text of one object: `key` names it among the object's texts.
template <class Get, class Set>
void follow(QObject* o, const QByteArray& key, const C_language& table, int lang, Get get, Set set)
{
    const QString current = get();
    const QByteArray sourceKey = "quarnEnglish_" + key, shownKey = "quarnShown_" + key;
    QString english = current;
    const QVariant shown = o->property(shownKey.constData());
    if (shown.isValid() && shown.toString() == current)
        english = o->property(sourceKey.constData()).toString();
    const QString text = table.localize(english, lang);
    if (text != current)
        set(text);
    o->setProperty(sourceKey.constData(), english);
    o->setProperty(shownKey.constData(), text);
}

void translateWidget(QWidget* w, const C_language& table, int lang)
{
    if (w->isWindow())
        follow(w, "title", table, lang, [w] { return w->windowTitle(); }, [w](const QString& t) { w->setWindowTitle(t); });
    if (!w->toolTip().isEmpty())
        follow(w, "tip", table, lang, [w] { return w->toolTip(); }, [w](const QString& t) { w->setToolTip(t); });
    if (auto* l = qobject_cast<QLabel*>(w))
        follow(l, "text", table, lang, [l] { return l->text(); }, [l](const QString& t) { l->setText(t); });
    else if (auto* b = qobject_cast<QAbstractButton*>(w))
        follow(b, "text", table, lang, [b] { return b->text(); }, [b](const QString& t) { b->setText(t); });
    else if (auto* g = qobject_cast<QGroupBox*>(w))
        follow(g, "text", table, lang, [g] { return g->title(); }, [g](const QString& t) { g->setTitle(t); });
    else if (auto* tabs = qobject_cast<QTabWidget*>(w)) {
        for (int i = 0; i < tabs->count(); ++i)
            follow(tabs, "tab" + QByteArray::number(i), table, lang, [tabs, i] { return tabs->tabText(i); },
                   [tabs, i](const QString& t) { tabs->setTabText(i, t); });
    } else if (auto* box = qobject_cast<QComboBox*>(w)) {
        if (!box->isEditable())
            for (int i = 0; i < box->count(); ++i)
                follow(box, "item" + QByteArray::number(i), table, lang, [box, i] { return box->itemText(i); },
                       [box, i](const QString& t) { box->setItemText(i, t); });
    }
}

}  // namespace

void translateTexts(QWidget* root, const C_language& table, int lang)
{
    if (!root)
        return;
    translateWidget(root, table, lang);
    for (QWidget* w : root->findChildren<QWidget*>())
        translateWidget(w, table, lang);
    for (QAction* a : root->findChildren<QAction*>()) {
        if (a->isSeparator())
            continue;
        follow(a, "text", table, lang, [a] { return a->text(); }, [a](const QString& t) { a->setText(t); });
    }
}

FollowLanguage::FollowLanguage(std::function<const C_language*()> table, std::function<int()> lang, QObject* parent)
    : QObject(parent), m_table(std::move(table)), m_lang(std::move(lang))
{
}

bool FollowLanguage::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Show && watched->isWidgetType()) {
        auto* w = static_cast<QWidget*>(watched);
        const C_language* table = m_table ? m_table() : nullptr;
        if (w->isWindow() && table && m_lang)
            translateTexts(w, *table, m_lang());
    }
    return false;
}
