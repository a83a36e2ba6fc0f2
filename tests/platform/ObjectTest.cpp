#include "platform/Object.h"

#include <gtest/gtest.h>

#include <memory>

namespace {
class TAnimal : public TObject {
    QUORBEL_DECLARE_CLASS()
};
class TDog : public TAnimal {
    QUORBEL_DECLARE_CLASS()
};
QUORBEL_DEFINE_CLASS(TAnimal, TObject)
QUORBEL_DEFINE_CLASS(TDog, TAnimal)
} // namespace

TEST(Object, ClassReferencesKnowTheirParentsAndMakeInstances)
{
    TDog dog;
    EXPECT_EQ(dog.ClassType(), TDog::StaticClass());
    EXPECT_STREQ(dog.ClassType()->Name(), "TDog");
    EXPECT_TRUE(dog.InheritsFrom(TAnimal::StaticClass()));
    EXPECT_TRUE(dog.InheritsFrom(TObject::StaticClass()));
    EXPECT_FALSE(TAnimal::StaticClass()->InheritsFrom(TDog::StaticClass()));
    std::unique_ptr<TObject> made(TAnimal::StaticClass()->Create());
    EXPECT_EQ(made->ClassType(), TAnimal::StaticClass());
}
