#pragma once

// Graphic objects and an editor for the object editor's tests.

#include "ObjectEditor/ObjectEditor.h"
#include "support/Gestures.h"
#include "support/TestSupport.h"

#include <QImage>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

// A filled rectangle that records what the editor tells it.
class TTestObject : public TRectElement {
public:
    TTestObject(const TRect& R, uint32_t AFlags, TColor AColor) : TRectElement(R), Color(AColor) { Flags = AFlags; }

    void Draw(TCanvas& Canvas) override
    {
        Canvas.SetPen(TPen(Color));
        Canvas.SetBrush(TBrush(Color));
        Canvas.Rectangle(Bounds);
    }
    // A loner is selected only on its own.
    bool CanSelectWith(const TGraphicObject* Other) const override
    {
        auto* other = dynamic_cast<const TTestObject*>(Other);
        return !Loner && !(other && other->Loner);
    }
    void SetSelected(bool Selected) override
    {
        Notices.push_back(Selected);
        if (OnSetSelected)
            OnSetSelected(Selected);
    }
    void EndDrag(uint32_t Kind, TDragFeedback Style) override
    {
        TRectElement::EndDrag(Kind, Style);
        if (OnEndDrag)
            OnEndDrag();
    }
    void MoveBy(int DX, int DY) override
    {
        ++Moves;
        TRectElement::MoveBy(DX, DY);
    }

    TColor Color;
    int Moves = 0;
    bool Loner = false;
    std::vector<bool> Notices;
    std::function<void(bool)> OnSetSelected;
    std::function<void()> OnEndDrag;
};

// Counts the objects alive, to see that the editor frees what it owns.
class TCountedObject : public TRectElement {
public:
    explicit TCountedObject(const TRect& R, int& Alive) : TRectElement(R), FAlive(Alive) { ++FAlive; }
    ~TCountedObject() override { --FAlive; }

private:
    int& FAlive;
};

// An editor that reports its background hooks and selection notices.
class TTestEditor : public TGOEdit {
public:
    using TGOEdit::Paint;

    TTestObject* Add(const TRect& R, uint32_t AFlags = gofSelectable, TColor AColor = 0xC80000)
    {
        auto obj = std::make_unique<TTestObject>(R, AFlags, AColor);
        TTestObject* added = obj.get();
        AddObject(std::move(obj), false);
        return added;
    }

    void PaintBackgroundTo(TCanvas& ACanvas, TGOEParts Parts) override
    {
        ++BackgroundPaints;
        TGOEdit::PaintBackgroundTo(ACanvas, Parts);
    }

    void BeforeFreeHandles() override { ++HandleFrees; }
    void DblClick(TObject* Sender) override
    {
        ++DoubleClicks;
        TGOEdit::DblClick(Sender);
    }

    std::vector<TGraphicObject*> SelectedObjects() const
    {
        std::vector<TGraphicObject*> objects;
        for (const TSelectionEntry* e = Selection.get(); e; e = e->Next.get())
            objects.push_back(e->Object);
        return objects;
    }

    int BackgroundPaints = 0;
    int HandleFrees = 0;
    int DoubleClicks = 0;
};

inline std::vector<TGraphicObject*> ListedObjects(const TSelectionEntry* List)
{
    std::vector<TGraphicObject*> objects;
    for (const TSelectionEntry* e = List; e; e = e->Next.get())
        objects.push_back(e->Object);
    return objects;
}

// A test's editor, with each selection change noted as the list of objects it
// carried.
class TEditorFixture : public ::testing::Test {
protected:
    void NoteSelectionChanges()
    {
        Editor.OnSelectionChange = [this](TObject*, TSelectionEntry* List) {
            Notices.push_back(ListedObjects(List));
        };
    }

    QRgb Pixel(int x, int y) const { return Editor.BackingImage().pixel(x, y); }

    TTestEditor Editor;
    std::vector<std::vector<TGraphicObject*>> Notices;
};

// Moves the mouse to Pos outside any press; the editor runs its hover test.
inline void Hover(TGOEdit& Editor, QPoint Pos)
{
    HoverGesture(&Editor, Pos);
}

// A press and release at Pos without motion, paced as by a hand.
inline void Click(TGOEdit& Editor, QPoint Pos, Qt::KeyboardModifiers Modifiers = Qt::NoModifier)
{
    PacedClickGesture(&Editor, Pos, Modifiers);
}

// A press at From, moves through Path and the release at its end, paced as
// by a hand.
inline void Drag(TGOEdit& Editor, QPoint From, const std::vector<QPoint>& Path,
                 Qt::KeyboardModifiers Modifiers = Qt::NoModifier)
{
    PacedDragGesture(&Editor, From, Path, Modifiers);
}
