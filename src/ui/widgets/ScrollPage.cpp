#include "ui/widgets/ScrollPage.h"

#include <QScrollBar>

ScrollPage::ScrollPage(QWidget* page, QWidget* parent) : QScrollArea(parent)
{
    setObjectName(page->objectName() + QStringLiteral("Scroll"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setWidget(page);
}

QSize ScrollPage::sizeHint() const
{
    // The page's own wish, not the scroll area's capped one: no scroll bars where there is room.
    const QWidget* page = widget();
    return page ? page->sizeHint().expandedTo(page->minimumSizeHint()) : QScrollArea::sizeHint();
}

QSize ScrollPage::minimumSizeHint() const
{
    // Small enough that a dialog fits any screen; the page scrolls below its own minimum.
    const int bar = verticalScrollBar()->sizeHint().width();
    return {4 * bar, 4 * bar};
}
