#include "platform/Messages.h"

#include <QCoreApplication>
#include <QEventLoop>

void ProcessOneMessage(QWidget* /*DlgWnd*/)
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}
