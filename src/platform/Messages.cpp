#include "platform/Messages.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

void ProcessOneMessage(QWidget* /*DlgWnd*/)
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WaitForMessage(int BoundMs)
{
    // The timer's event ends the wait when nothing else comes.
    QTimer bound;
    bound.setSingleShot(true);
    bound.start(BoundMs);
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}
