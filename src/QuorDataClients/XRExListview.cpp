#include "QuorDataClients/XRExListview.h"

#include <QContextMenuEvent>
#include <QHeaderView>

TXRExListview::TXRExListview(QWidget* Owner) : QTableView(Owner)
{
    // A drag of a divider is told apart from a width set by code through
    // the button held on the header.
    horizontalHeader()->viewport()->installEventFilter(this);
    connect(horizontalHeader(), &QHeaderView::sectionResized, this, &TXRExListview::SectionResized);
}

void TXRExListview::DoBeginColumnResize(int Column, int Width)
{
    if (OnBeginColumnResize)
        OnBeginColumnResize(this, Column, Width);
}

void TXRExListview::DoEndColumnResize(int Column, int Width)
{
    if (OnEndColumnResize)
        OnEndColumnResize(this, Column, Width);
}

void TXRExListview::DoColumnResize(int Column, int Width)
{
    if (OnColumnResize)
        OnColumnResize(this, Column, Width);
}

void TXRExListview::contextMenuEvent(QContextMenuEvent* event)
{
    if (!PopupMenu) {
        QTableView::contextMenuEvent(event);
        return;
    }
    PopupMenu->popup(event->globalPos());
    event->accept();
}

bool TXRExListview::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == horizontalHeader()->viewport()) {
        if (event->type() == QEvent::MouseButtonPress) {
            FHeaderPressed = true;
        } else if (event->type() == QEvent::MouseButtonRelease) {
            FHeaderPressed = false;
            const int column = FTrackedColumn;
            FTrackedColumn = -1;
            if (column >= 0)
                DoEndColumnResize(column, horizontalHeader()->sectionSize(column));
        }
    }
    return QTableView::eventFilter(watched, event);
}

void TXRExListview::SectionResized(int Column, int OldWidth, int NewWidth)
{
    if (!FHeaderPressed)
        return;
    if (FTrackedColumn != Column) {
        FTrackedColumn = Column;
        DoBeginColumnResize(Column, OldWidth);
    }
    DoColumnResize(Column, NewWidth);
}
