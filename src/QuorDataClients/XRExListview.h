#pragma once

#include <QMenu>
#include <QPointer>
#include <QTableView>

#include <functional>

// A report-style list that also tells when the user drags a column divider:
// when the drag begins, at every new width, and when it ends, each with the
// column and its width.
class TXRExListview : public QTableView {
    Q_OBJECT
public:
    using TColumnResizeEvent = std::function<void(TXRExListview* Sender, int Column, int Width)>;

    explicit TXRExListview(QWidget* Owner);

    TColumnResizeEvent OnBeginColumnResize;
    TColumnResizeEvent OnEndColumnResize;
    TColumnResizeEvent OnColumnResize;
    // Shown where the user asks for a context menu; borrowed.
    QPointer<QMenu> PopupMenu;

protected:
    virtual void DoBeginColumnResize(int Column, int Width);
    virtual void DoEndColumnResize(int Column, int Width);
    virtual void DoColumnResize(int Column, int Width);
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void SectionResized(int Column, int OldWidth, int NewWidth);

    bool FHeaderPressed = false;
    int FTrackedColumn = -1; // the column being dragged, or -1
};
