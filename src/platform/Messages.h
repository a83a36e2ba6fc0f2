#pragma once

class QWidget;

// Processes the events that are pending now, without waiting. Waiting loops
// call it until their condition holds. The dialog window is accepted for the
// callers' sake; Qt routes dialog keys itself.
void ProcessOneMessage(QWidget* DlgWnd = nullptr);

// How long a waiting loop sleeps at most before it looks at its condition
// again, in milliseconds.
constexpr int kMessageWaitMs = 10;

// Sleeps until an event comes, at most BoundMs, and processes what is
// pending then. A waiting loop calls it when the pending events have been
// processed and its condition still does not hold: only an event can change
// it, so the loop waits for one instead of spinning.
void WaitForMessage(int BoundMs = kMessageWaitMs);
