#include "ui/widgets/Captions.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QWidget>

namespace {

bool applyOne(QObject* obj, const QString& text)
{
    if (auto* menu = qobject_cast<QMenu*>(obj)) {
        menu->setTitle(text);
        return true;
    }
    if (auto* action = qobject_cast<QAction*>(obj)) {
        action->setText(text);
        return true;
    }
    if (auto* label = qobject_cast<QLabel*>(obj)) {
        label->setText(text);
        return true;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(obj)) {
        button->setText(text);
        return true;
    }
    if (auto* group = qobject_cast<QGroupBox*>(obj)) {
        group->setTitle(text);
        return true;
    }
    auto* widget = qobject_cast<QWidget*>(obj);
    if (!widget)
        return false;
    // A tab page: the stacked widget's parent is the tab widget.
    for (QWidget* p = widget->parentWidget(); p; p = p->parentWidget()) {
        if (auto* tabs = qobject_cast<QTabWidget*>(p)) {
            const int index = tabs->indexOf(widget);
            if (index >= 0) {
                tabs->setTabText(index, text);
                return true;
            }
            break;
        }
    }
    if (widget->isWindow()) {
        widget->setWindowTitle(text);
        return true;
    }
    return false;
}

}  // namespace

int applyCaptions(QWidget* root, const std::vector<C_language::Caption>& captions)
{
    int applied = 0;
    for (const auto& c : captions) {
        if (c.control.isEmpty())
            continue;
        if (root->objectName() == c.control)
            applied += applyOne(root, c.text);
        for (QObject* obj : root->findChildren<QObject*>(c.control))
            applied += applyOne(obj, c.text);
    }
    return applied;
}
