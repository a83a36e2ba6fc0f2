#pragma once

#include <QEvent>

#include <functional>
#include <memory>

class QMouseEvent;
class QWidget;

// The mouse messages of a polling loop.
//
// A drag runs as a loop inside a mouse handler that asks, round by round,
// whether the button is still down and where the mouse is. Qt cannot pump
// only the mouse, so while a round gathers events an application event
// filter moves mouse events (press, release, move, double click) into this
// queue and holds back other input (keys, shortcuts, wheel, context menus,
// window closing) and the windows' requests to paint; resize, timer and all
// other events pass. Each round then hands out at most one event: a mouse
// event if one is waiting, otherwise one paint. When the outermost mouse
// handler returns, whatever is still queued or held back is posted again in
// its original order, so nothing is lost.
namespace MouseQueue {

// One round: gathers pending events, then delivers the oldest queued mouse
// event to its widget, synchronously, or else one paint. While a button is
// held and nothing has come for a while, the round sleeps until the next
// event instead of spinning.
void PumpMouseOrPaint();

// Starts watching the mouse events of every widget, from which the queue
// knows whether a button is held. The rounds start it too; a control that
// polls starts it when it is created, before its first press.
void Watch();

// Appends a mouse event for the widget, as if it had just arrived. Tests
// queue the rest of a gesture this way before they press the button.
void Enqueue(QWidget* Receiver, std::unique_ptr<QMouseEvent> Event);
// Appends a step of a scripted gesture that runs when its round comes, in
// place of a mouse event (a test presses a key in the middle of a drag).
void EnqueueStep(std::function<void()> Step);
// Appends a round without a message, as a hand's pause: a paint waiting
// for the mouse to rest goes in its turn.
void EnqueueIdleRound();
// The mouse events (and steps) waiting for a round.
int QueuedMouseEvents();
// The next round hands out a mouse event, not a scripted step (a step
// stands for a moment of a script; what is queued behind it comes later).
bool MouseEventWaiting();

// True while a mouse handler runs in which a polling round has been made.
bool IsPolling();
// A mouse button is held, as the mouse events seen last tell.
bool ButtonsHeld();
// Runs Action from the event loop once the polling ends; right away when
// nothing polls. Work that must not run inside a drag (incoming automation
// calls) waits this way.
void RunAfterPolling(std::function<void()> Action);
// The actions waiting for the polling to end.
int ActionsAfterPolling();

} // namespace MouseQueue

// Marks the extent of a mouse handler. When the outermost one ends, the held
// events are posted again.
class TPollScope {
public:
    TPollScope();
    ~TPollScope();
    TPollScope(const TPollScope&) = delete;
    TPollScope& operator=(const TPollScope&) = delete;
};
