#include "platform/MouseQueue.h"

#include "platform/Messages.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QPointer>
#include <QScopeGuard>
#include <QWidget>

#include <algorithm>
#include <deque>
#include <typeinfo>
#include <vector>

namespace {

// Rounds in a row that hand out nothing before a round sleeps until the
// next event: more than a drag loop polls between the movement it is handed
// and its step for it, so that sleeping never delays a step.
constexpr int kIdleRoundsBeforeWaiting = 25;

struct THeldEvent {
    QPointer<QObject> Receiver;
    std::unique_ptr<QEvent> Event;
    bool Mouse = false;
    // A scripted step instead of an event.
    std::function<void()> Step;
    // A window's request to paint what is marked dirty.
    bool Paint = false;
    // A scripted round without a message.
    bool Idle = false;
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
        const bool mouse = IsMouseEvent(event->type()) && watched->isWidgetType();
        if (FCollecting == 0) {
            // The press that starts a polling loop comes this way, and so
            // does every event a round hands out.
            if (mouse)
                NoteButtons(event);
            return false;
        }
        const bool paint = event->type() == QEvent::UpdateRequest && watched->isWidgetType();
        if (!mouse && !paint && !IsHeldInput(watched, event))
            return false;
        std::unique_ptr<QEvent> copy(event->clone());
        // An event class that cannot copy itself passes rather than being lost.
        if (!copy)
            return false;
        const QEvent& copied = *copy;
        if (typeid(copied) != typeid(*event))
            return false;
        FHeld.push_back({QPointer<QObject>(watched), std::move(copy), mouse, {}, paint});
        return true;
    }

    // One round: gathers what is pending and hands out one event. While a
    // button is held and the loop has seen nothing for a while, the
    // user holds still: the round sleeps until an event comes rather than
    // spinning, since only an event can end the wait.
    void Round()
    {
        Gather(false);
        if (FButtonsHeld && FIdleRounds >= kIdleRoundsBeforeWaiting && !Deliverable())
            Gather(true);
        if (DeliverOne())
            FIdleRounds = 0;
        else
            FIdleRounds = std::min(FIdleRounds + 1, kIdleRoundsBeforeWaiting);
    }

    void Gather(bool Wait)
    {
        ++FCollecting;
        const auto collected = qScopeGuard([this] { --FCollecting; });
        if (Wait)
            WaitForMessage();
        else
            QCoreApplication::processEvents(QEventLoop::AllEvents);
    }

    // A mouse event if one is waiting, otherwise one paint. A paint that a
    // newer movement makes useless thus waits: while the mouse keeps ahead
    // of the drag's steps, the windows that follow it paint once it rests,
    // not for every step. A scripted round without a message gives a paint
    // its turn. Once the button is up the drag's last write is yet to come:
    // paints wait for it, after the handler.
    std::deque<THeldEvent>::iterator NextDeliverable()
    {
        const auto mouse = NextMouse();
        if (mouse != FHeld.end() && !mouse->Idle)
            return mouse;
        const auto paint = FButtonsHeld ? std::find_if(FHeld.begin(), FHeld.end(),
                                                       [](const THeldEvent& h) { return h.Paint; })
                                        : FHeld.end();
        return paint != FHeld.end() ? paint : mouse;
    }

    std::deque<THeldEvent>::iterator NextMouse()
    {
        return std::find_if(FHeld.begin(), FHeld.end(), [](const THeldEvent& h) { return h.Mouse; });
    }

    bool Deliverable() { return NextDeliverable() != FHeld.end(); }

    bool DeliverOne()
    {
        const auto it = NextDeliverable();
        if (it == FHeld.end())
            return false;
        THeldEvent held = std::move(*it);
        FHeld.erase(it);
        if (held.Paint) {
            // It took the turn of the scripted round without a message.
            const auto idle = NextMouse();
            if (idle != FHeld.end() && idle->Idle)
                FHeld.erase(idle);
        }
        if (held.Step)
            held.Step();
        else if (held.Receiver)
            QCoreApplication::sendEvent(held.Receiver, held.Event.get());
        return true;
    }

    // Every mouse event a widget gets starts the count of idle rounds anew.
    void NoteButtons(const QEvent* event)
    {
        if (const auto* mouse = dynamic_cast<const QMouseEvent*>(event)) {
            FButtonsHeld = mouse->buttons() != Qt::NoButton;
            FIdleRounds = 0;
        }
    }

    void Enqueue(QWidget* receiver, std::unique_ptr<QMouseEvent> event)
    {
        FHeld.push_back({QPointer<QObject>(receiver), std::move(event), true, {}, false});
    }

    void EnqueueStep(std::function<void()> step)
    {
        FHeld.push_back({QPointer<QObject>(), nullptr, true, std::move(step), false});
    }

    void EnqueueIdleRound() { FHeld.push_back({QPointer<QObject>(), nullptr, true, {}, false, true}); }

    bool MouseEventWaiting()
    {
        const auto next = NextMouse();
        return next != FHeld.end() && next->Event;
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
    bool ButtonsHeld() const { return FButtonsHeld; }
    bool IsPolling() const { return FScopeDepth > 0 && FPolled; }
    void AddAfterPolling(std::function<void()> action) { FAfterPolling.push_back(std::move(action)); }
    int ActionsAfterPolling() const { return int(FAfterPolling.size()); }

private:
    QCoreApplication* FInstalledOn = nullptr;
    std::deque<THeldEvent> FHeld;
    std::vector<std::function<void()>> FAfterPolling;
    int FCollecting = 0;
    int FIdleRounds = 0;
    // A button is down, as the last mouse event handed to a widget said.
    bool FButtonsHeld = false;
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
    queue.Round();
}

void Watch()
{
    TMouseQueue::Instance();
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

void EnqueueIdleRound()
{
    TMouseQueue::Instance().EnqueueIdleRound();
}

int QueuedMouseEvents()
{
    return TMouseQueue::Instance().QueuedMouseEvents();
}

bool MouseEventWaiting()
{
    return TMouseQueue::Instance().MouseEventWaiting();
}

bool IsPolling()
{
    return TMouseQueue::Instance().IsPolling();
}

bool ButtonsHeld()
{
    return TMouseQueue::Instance().ButtonsHeld();
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
