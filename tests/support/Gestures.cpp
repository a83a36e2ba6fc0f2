#include "Gestures.h"

#include "platform/MouseQueue.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QWidget>

namespace {

std::unique_ptr<QMouseEvent> MakeMouseEvent(QWidget* target, QEvent::Type type, QPoint pos,
                                            Qt::MouseButton button, Qt::MouseButtons buttons,
                                            Qt::KeyboardModifiers modifiers)
{
    const QPointF local(pos);
    return std::make_unique<QMouseEvent>(type, local, local, QPointF(target->mapToGlobal(pos)),
                                         button, buttons, modifiers);
}

void DragThrough(TGesture& gesture, QPoint from, const std::vector<QPoint>& path)
{
    for (const QPoint& p : path)
        gesture.MoveTo(p);
    gesture.Release(path.empty() ? from : path.back());
    gesture.Press(from);
}

} // namespace

TGesture::TGesture(QWidget* Target, Qt::MouseButton Button, Qt::KeyboardModifiers Modifiers)
    : FTarget(Target), FButton(Button), FModifiers(Modifiers)
{
}

TGesture& TGesture::Paced(int IdleRounds)
{
    FIdleRounds = IdleRounds;
    return *this;
}

TGesture& TGesture::MoveTo(QPoint Pos)
{
    return MoveTo(Pos, FButton);
}

TGesture& TGesture::MoveTo(QPoint Pos, Qt::MouseButtons Held)
{
    FSteps.push_back({TStep::Move, Pos, Held, {}});
    return *this;
}

TGesture& TGesture::Release(QPoint Pos)
{
    FSteps.push_back({TStep::Release, Pos, Qt::NoButton, {}});
    return *this;
}

TGesture& TGesture::Then(std::function<void()> Action)
{
    FSteps.push_back({TStep::Action, QPoint(), Qt::NoButton, std::move(Action)});
    return *this;
}

void TGesture::EnqueueIdleRounds() const
{
    for (int i = 0; i < FIdleRounds; ++i)
        MouseQueue::EnqueueIdleRound();
}

void TGesture::Press(QPoint Pos)
{
    EnqueueIdleRounds();
    for (const TStep& step : FSteps) {
        if (step.kind == TStep::Action)
            MouseQueue::EnqueueStep(step.action);
        else if (step.kind == TStep::Move)
            MouseQueue::Enqueue(FTarget, MakeMouseEvent(FTarget, QEvent::MouseMove, step.pos, Qt::NoButton,
                                                        step.held, FModifiers));
        else
            MouseQueue::Enqueue(FTarget, MakeMouseEvent(FTarget, QEvent::MouseButtonRelease, step.pos, FButton,
                                                        Qt::NoButton, FModifiers));
        EnqueueIdleRounds();
    }
    FSteps.clear();
    std::unique_ptr<QMouseEvent> press =
        MakeMouseEvent(FTarget, QEvent::MouseButtonPress, Pos, FButton, FButton, FModifiers);
    // The press opens a polling scope; what stays queued when it returns is
    // posted again for the event loop.
    TPollScope scope;
    QCoreApplication::sendEvent(FTarget, press.get());
}

void ClickGesture(QWidget* Target, QPoint Pos, Qt::KeyboardModifiers Modifiers, Qt::MouseButton Button)
{
    TGesture(Target, Button, Modifiers).Release(Pos).Press(Pos);
}

void DragGesture(QWidget* Target, QPoint From, const std::vector<QPoint>& Path, Qt::KeyboardModifiers Modifiers)
{
    TGesture gesture(Target, Qt::LeftButton, Modifiers);
    DragThrough(gesture, From, Path);
}

void HoverGesture(QWidget* Target, QPoint Pos)
{
    const std::unique_ptr<QMouseEvent> move =
        MakeMouseEvent(Target, QEvent::MouseMove, Pos, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(Target, move.get());
}

void PacedClickGesture(QWidget* Target, QPoint Pos, Qt::KeyboardModifiers Modifiers)
{
    HoverGesture(Target, Pos);
    TGesture(Target, Qt::LeftButton, Modifiers).Paced().Release(Pos).Press(Pos);
}

void PacedDragGesture(QWidget* Target, QPoint From, const std::vector<QPoint>& Path,
                      Qt::KeyboardModifiers Modifiers)
{
    HoverGesture(Target, From);
    TGesture gesture(Target, Qt::LeftButton, Modifiers);
    DragThrough(gesture.Paced(), From, Path);
}

void PostMouseEvent(QWidget* Target, QEvent::Type Type, QPoint Pos, Qt::MouseButton Button,
                    Qt::MouseButtons Buttons, Qt::KeyboardModifiers Modifiers)
{
    QCoreApplication::postEvent(Target, MakeMouseEvent(Target, Type, Pos, Button, Buttons, Modifiers).release());
}
