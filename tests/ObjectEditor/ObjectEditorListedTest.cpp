// The selection list followed object by object (SetListed, ListedChanged),
// and rubber bands over objects that go together by class, against the
// plain whole computations.

#include "ObjectEditorTestObjects.h"
#include "support/SelectionSummary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

// Goes with anything of another class, and with its own class only when
// both are of the same kind: an answer that depends on the class alone.
class TKindObject : public TTestObject {
public:
    TKindObject(const TRect& R, bool AKindA) : TTestObject(R, gofSelectable, 0x808080), KindA(AKindA) {}
    bool CanSelectWith(const TGraphicObject* Other) const override
    {
        auto* other = dynamic_cast<const TKindObject*>(Other);
        return !other || other->KindA == KindA;
    }
    bool CanSelectWithByClass() const override { return false; }
    const bool KindA;
};

// Two classes whose objects go with their own class only.
class TClassB : public TTestObject {
public:
    explicit TClassB(const TRect& R) : TTestObject(R, gofSelectable | gofMovable, 0x00C800) {}
    bool CanSelectWith(const TGraphicObject* Other) const override
    {
        return dynamic_cast<const TClassB*>(Other) != nullptr;
    }
    bool CanSelectWithByClass() const override { return true; }
};

class TClassA : public TTestObject {
public:
    explicit TClassA(const TRect& R) : TTestObject(R, gofSelectable, 0x0000C8) {}
    bool CanSelectWith(const TGraphicObject* Other) const override
    {
        return dynamic_cast<const TClassB*>(Other) == nullptr;
    }
    bool CanSelectWithByClass() const override { return true; }
};

// Takes the bounds it measures while drawn, as a label takes its text's.
class TMeasuredObject : public TTestObject {
public:
    TMeasuredObject(const TRect& R, uint32_t AFlags) : TTestObject(R, AFlags, 0x808080), Measured(R) {}
    void Draw(TCanvas& Canvas) override
    {
        Bounds = Measured;
        TTestObject::Draw(Canvas);
    }
    TRect Measured;
};

class ObjectEditorListed : public TEditorFixture {
protected:
    void SetUp() override
    {
        Editor.resize(200, 150);
        Editor.show();
    }
};

} // namespace

TEST_F(ObjectEditorListed, FollowingObjectByObjectEndsAsTheWholeComputation)
{
    // Bounds that share edges, empty ones and flags of several kinds, so
    // that leaving objects shrink the union now and then; and objects that
    // move while drawn onto edges that others have.
    std::mt19937 random(7);
    const auto someBounds = [&](int i) {
        const int left = int(random() % 50), top = int(random() % 50);
        const int width = i % 7 == 0 ? 0 : int(random() % 3) * 10 + 5;
        return Rect(left, top, left + width, top + 20);
    };
    std::vector<TMeasuredObject*> objects;
    for (int i = 0; i < 40; ++i) {
        auto object = std::make_unique<TMeasuredObject>(
            someBounds(i), gofSelectable | (i % 3 ? gofMovable : 0) | (i % 5 ? gofSizeX : 0));
        objects.push_back(object.get());
        Editor.AddObject(std::move(object), false);
    }
    std::vector<bool> listed(objects.size(), false);
    for (int round = 0; round < 400; ++round) {
        if (round % 3 == 0) {
            const size_t i = random() % objects.size();
            objects[i]->Measured = random() % 2 ? objects[random() % objects.size()]->Bounds : someBounds(int(i));
            Editor.Invalidate();
            Editor.Update();
        }
        for (int step = int(random() % 4); step >= 0; --step) {
            const size_t i = random() % objects.size();
            listed[i] = !listed[i] || random() % 4 == 0;
            Editor.SetListed(objects[i], listed[i]);
        }
        Editor.ListedChanged();
        const TFreshSummary expected = FreshSummary(Editor.Selection.get());
        ASSERT_EQ(Editor.SelBounds, expected.Bounds) << round;
        ASSERT_EQ(Editor.SelFlagsAnd, expected.FlagsAnd) << round;
        ASSERT_EQ(Editor.SelFlagsOr, expected.FlagsOr) << round;
        ASSERT_EQ(Editor.Multi, SelectionCount(Editor.Selection.get()) >= 2) << round;
        for (size_t i = 0; i < objects.size(); ++i) {
            ASSERT_EQ(Editor.IsSelected(objects[i]), bool(listed[i])) << round;
            ASSERT_EQ(SelectionContains(objects[i], Editor.Selection.get()), bool(listed[i])) << round;
        }
        ASSERT_EQ(SelectionCount(Editor.Selection.get()), int(std::count(listed.begin(), listed.end(), true)));
    }
    // Nothing was told to the objects or to the editor's listeners.
    for (TMeasuredObject* object : objects)
        EXPECT_TRUE(object->Notices.empty());
}

TEST_F(ObjectEditorListed, RubberBandAsksEachObjectOrOneOfEachClassAlike)
{
    // Band order is list order, the last added first.
    struct TCase {
        const char* Name;
        std::function<void(TTestEditor&)> Build;
        size_t Selected; // of the objects inside the band
    };
    const TCase cases[] = {
        {"classes: the first met decides",
         [](TTestEditor& E) {
             for (int i = 0; i < 5; ++i) {
                 E.AddObject(std::make_unique<TClassA>(Rect(10 + 10 * i, 10, 15 + 10 * i, 15)), false);
                 E.AddObject(std::make_unique<TClassB>(Rect(10 + 10 * i, 30, 15 + 10 * i, 35)), false);
             }
         },
         5},
        {"kinds within one class: asked one by one",
         [](TTestEditor& E) {
             for (int i = 0; i < 6; ++i)
                 E.AddObject(std::make_unique<TKindObject>(Rect(10 + 10 * i, 10, 15 + 10 * i, 15), i % 3 == 0),
                             false);
         },
         4},
    };
    for (const TCase& c : cases) {
        Editor.ClearAll();
        c.Build(Editor);
        Drag(Editor, {2, 2}, {{150, 100}});
        EXPECT_EQ(SelectionCount(Editor.Selection.get()), int(c.Selected)) << c.Name;
        // Every listed pair goes together, as the editor's own rule says.
        for (const TSelectionEntry* e = Editor.Selection.get(); e; e = e->Next.get())
            EXPECT_TRUE(Editor.SelectionCompatible(Editor.Selection.get(), e->Object)) << c.Name;
    }
}
