#pragma once

#include <QEvent>
#include <QPoint>
#include <Qt>

#include <functional>
#include <vector>

class QWidget;

// Drives a mouse gesture on a widget whose press handler polls the mouse.
//
// Such a handler runs its loop before it returns, so the rest of the gesture
// (moves and the release) must be waiting when the button goes down: the
// driver queues them in the polling loop's mouse queue first and then
// delivers the press. Whatever the handler does not consume is delivered by
// the event loop afterwards, as it would be on a real screen.
//
//     TGesture(&editor).MoveTo({30, 30}).MoveTo({40, 35}).Release({40, 35})
//         .Press({20, 20});
//
// Unpaced, the queued events follow each other in consecutive polling
// rounds: a handler that polls five rounds at a time takes several at once,
// and may meet the release in its first poll. Paced() spaces them as a hand
// on a real mouse does.
class TGesture {
public:
    // Rounds enough for loops that poll up to three times a pass, five
    // rounds each time, to see every event alone before the next arrives.
    static constexpr int HandPaceRounds = 100;

    explicit TGesture(QWidget* Target, Qt::MouseButton Button = Qt::LeftButton,
                      Qt::KeyboardModifiers Modifiers = Qt::NoModifier);

    // IdleRounds polling rounds without a message follow the press and
    // every step, wherever in the chain this is called: the press handler
    // finds the button held, and each movement is seen before the next.
    TGesture& Paced(int IdleRounds = HandPaceRounds);

    // A move with the gesture's button held.
    TGesture& MoveTo(QPoint Pos);
    // A move with other buttons held (none: a plain hover).
    TGesture& MoveTo(QPoint Pos, Qt::MouseButtons Held);
    TGesture& Release(QPoint Pos);
    // Runs Action when the gesture gets there, for example a key press
    // (QTest::keyPress on the window changes what ShiftKeyDown() reports).
    TGesture& Then(std::function<void()> Action);
    // Queues the steps given so far, then presses at Pos and returns when
    // the press handler has returned.
    void Press(QPoint Pos);

private:
    struct TStep {
        enum Kind { Move, Release, Action } kind;
        QPoint pos;
        Qt::MouseButtons held;
        std::function<void()> action;
    };

    void EnqueueIdleRounds() const;

    QWidget* FTarget;
    Qt::MouseButton FButton;
    Qt::KeyboardModifiers FModifiers;
    int FIdleRounds = 0;
    std::vector<TStep> FSteps;
};

// A press and release at Pos without motion.
void ClickGesture(QWidget* Target, QPoint Pos, Qt::KeyboardModifiers Modifiers = Qt::NoModifier,
                  Qt::MouseButton Button = Qt::LeftButton);
// A press at From, moves through Path, and the release at its last point.
void DragGesture(QWidget* Target, QPoint From, const std::vector<QPoint>& Path,
                 Qt::KeyboardModifiers Modifiers = Qt::NoModifier);

// A move to Pos with no button held, delivered at once: the hover a hand
// makes before it presses.
void HoverGesture(QWidget* Target, QPoint Pos);
// As a hand clicks: the hover to Pos, then a paced press and release there.
void PacedClickGesture(QWidget* Target, QPoint Pos, Qt::KeyboardModifiers Modifiers = Qt::NoModifier);
// As a hand drags: the hover to From, then a paced press there, the moves
// through Path and the release at its last point.
void PacedDragGesture(QWidget* Target, QPoint From, const std::vector<QPoint>& Path,
                      Qt::KeyboardModifiers Modifiers = Qt::NoModifier);

// Posts a mouse event to the widget, to be delivered by the event loop (or
// gathered by a polling round).
void PostMouseEvent(QWidget* Target, QEvent::Type Type, QPoint Pos, Qt::MouseButton Button,
                    Qt::MouseButtons Buttons, Qt::KeyboardModifiers Modifiers = Qt::NoModifier);
