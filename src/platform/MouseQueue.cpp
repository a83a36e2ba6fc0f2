#include "platform/MouseQueue.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QWidget>

#include <deque>
#include <typeinfo>
#include <vector>

namespace {

struct THeldEvent {
    QPointer<QObject> Receiver;
    std::unique_ptr<QEvent> Event;
    bool Mouse = false;
    // A scripted step instead of an event.
    std::function<void()> Step;
};

bool IsMouseEvent(QEvent::Type type)
{
    switch (type) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        return true;
    default:
        return false;
    }
}

// Input that must not act in the middle of a drag.
bool IsHeldInput(QObject* receiver, QEvent* event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
        return receiver->isWidgetType();
    case QEvent::Shortcut:
        return true;
    case QEvent::Close:
        return event->spontaneous();
    default:
        return false;
    }
}

// The thread's queue of held events and the filter that fills it while a
// round gathers events.
class TMouseQueue : public QObject {
public:
    static TMouseQueue& Instance()
    {
        // Lives as long as the program, like the thread's message queue.
        static TMouseQueue* queue = new TMouseQueue;
        queue->Install();
        return *queue;
    }

    void Install()
    {
        QCoreApplication* app = QCoreApplication::instance();
        if (app && app != FInstalledOn) {
            app->installEventFilter(this);
            FInstalledOn = app;
        }
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (FCollecting == 0)
            return false;
        const bool mouse = IsMouseEvent(event->type()) && watched->isWidgetType();
        if (!mouse && !IsHeldInput(watched, event))
            return false;
        std::unique_ptr<QEvent> copy(event->clone());
        // An event class that cannot copy itself passes rather than being lost.
        if (!copy)
            return false;
        const QEvent& copied = *copy;
        if (typeid(copied) != typeid(*event))
            return false;
        FHeld.push_back({QPointer<QObject>(watched), std::move(copy), mouse, {}});
        return true;
    }

    void Gather()
    {
        struct TCollecting {
            int& Count;
            explicit TCollecting(int& count) : Count(count) { ++Count; }
            ~TCollecting() { --Count; }
        } collecting(FCollecting);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }

    void DeliverOne()
    {
        for (auto it = FHeld.begin(); it != FHeld.end(); ++it) {
            if (!it->Mouse)
                continue;
            THeldEvent held = std::move(*it);
            FHeld.erase(it);
            if (held.Step)
                held.Step();
            else if (held.Receiver)
                QCoreApplication::sendEvent(held.Receiver, held.Event.get());
            return;
        }
    }

    void Enqueue(QWidget* receiver, std::unique_ptr<QMouseEvent> event)
    {
        FHeld.push_back({QPointer<QObject>(receiver), std::move(event), true, {}});
    }

    void EnqueueStep(std::function<void()> step)
    {
        FHeld.push_back({QPointer<QObject>(), nullptr, true, std::move(step)});
    }

    int QueuedMouseEvents() const
    {
        int count = 0;
        for (const THeldEvent& held : FHeld)
            count += held.Mouse ? 1 : 0;
        return count;
    }

    void EnterScope() { ++FScopeDepth; }

    void LeaveScope()
    {
        if (--FScopeDepth > 0)
            return;
        FPolled = false;
        // Posted again in arrival order; the event loop delivers them as it
        // would have without the drag.
        std::deque<THeldEvent> held;
        held.swap(FHeld);
        for (THeldEvent& h : held) {
            if (h.Step)
                QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(h.Step), Qt::QueuedConnection);
            else if (h.Receiver)
                QCoreApplication::postEvent(h.Receiver, h.Event.release());
        }
        std::vector<std::function<void()>> after;
        after.swap(FAfterPolling);
        for (auto& action : after)
            QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(action), Qt::QueuedConnection);
    }

    void MarkPolled() { FPolled = true; }
    bool IsPolling() const { return FScopeDepth > 0 && FPolled; }
    void AddAfterPolling(std::function<void()> action) { FAfterPolling.push_back(std::move(action)); }
    int ActionsAfterPolling() const { return int(FAfterPolling.size()); }

private:
    QCoreApplication* FInstalledOn = nullptr;
    std::deque<THeldEvent> FHeld;
    std::vector<std::function<void()>> FAfterPolling;
    int FCollecting = 0;
    int FScopeDepth = 0;
    bool FPolled = false;
};

} // namespace

TPollScope::TPollScope()
{
    TMouseQueue::Instance().EnterScope();
}

TPollScope::~TPollScope()
{
    TMouseQueue::Instance().LeaveScope();
}

namespace MouseQueue {

void PumpMouseOrPaint()
{
    TMouseQueue& queue = TMouseQueue::Instance();
    TPollScope scope;
    queue.MarkPolled();
    queue.Gather();
    queue.DeliverOne();
}

void Enqueue(QWidget* Receiver, std::unique_ptr<QMouseEvent> Event)
{
    if (Receiver && Event)
        TMouseQueue::Instance().Enqueue(Receiver, std::move(Event));
}

void EnqueueStep(std::function<void()> Step)
{
    if (Step)
        TMouseQueue::Instance().EnqueueStep(std::move(Step));
}

int QueuedMouseEvents()
{
    return TMouseQueue::Instance().QueuedMouseEvents();
}

bool IsPolling()
{
    return TMouseQueue::Instance().IsPolling();
}

void RunAfterPolling(std::function<void()> Action)
{
    if (!Action)
        return;
    TMouseQueue& queue = TMouseQueue::Instance();
    if (queue.IsPolling())
        queue.AddAfterPolling(std::move(Action));
    else
        Action();
}

int ActionsAfterPolling()
{
    return TMouseQueue::Instance().ActionsAfterPolling();
}

} // namespace MouseQueue
