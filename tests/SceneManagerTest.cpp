#include "SceneManager.h"

#include "Displayable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class Probe final : public Displayable {
public:
    Probe(std::string name, int z, std::vector<std::string>* painted)
        : Displayable(nullptr), name(std::move(name)), painted(painted) {
        setZOrder(z);
    }
    void paint() override { painted->push_back(name); }
    std::string name;
    std::vector<std::string>* painted;
};

// The base class as it is: paints nothing.
class Plain final : public Displayable {
public:
    using Displayable::Displayable;
};

using Names = std::vector<std::string>;

} // namespace

TEST(SceneManagerTest, EmptySceneAndBaseWidgetPaintNothing) {
    SceneManager scene;
    scene.paint();
    Plain plain(nullptr);
    EXPECT_EQ(plain.getZOrder(), 0);
    scene.addWidget(&plain);
    scene.paint(); // the base paints nothing and must not touch its null graphics
}

TEST(SceneManagerTest, PaintsInAscendingZOrderAndKeepsAddingOrderForTies) {
    Names painted;
    Probe z2("z2", 2, &painted), z0("z0", 0, &painted), z1("z1", 1, &painted),
        z3("z3", 3, &painted), z4("z4", 4, &painted), late0("late0", 0, &painted);
    SceneManager scene;
    for (Probe* p : {&z2, &z0, &z1, &z3, &z4, &late0}) {
        scene.addWidget(p);
    }
    scene.paint();
    EXPECT_EQ(painted, (Names{"z0", "late0", "z1", "z2", "z3", "z4"}));
}

TEST(SceneManagerTest, ZOrderChangeShowsAtTheNextFrame) {
    Names painted;
    Probe a("a", 0, &painted), b("b", 1, &painted), c("c", 2, &painted);
    SceneManager scene;
    scene.addWidget(&a);
    scene.addWidget(&b);
    scene.addWidget(&c);
    scene.paint();
    a.setZOrder(9);
    painted.clear();
    scene.paint();
    EXPECT_EQ(painted, (Names{"b", "c", "a"}));
    // Sorting a frame does not reorder the scene itself: equal z-orders go back to adding order.
    a.setZOrder(1);
    b.setZOrder(1);
    painted.clear();
    scene.paint();
    EXPECT_EQ(painted, (Names{"a", "b", "c"}));
}

TEST(SceneManagerTest, RemoveTakesOnlyTheFirstEntryAndIgnoresStrangers) {
    Names painted;
    Probe a("a", 0, &painted), b("b", 0, &painted), stranger("x", 0, &painted);
    SceneManager scene;
    scene.addWidget(&a);
    scene.addWidget(&b);
    scene.addWidget(&a);
    scene.removeWidget(&stranger);
    scene.paint();
    EXPECT_EQ(painted, (Names{"a", "b", "a"}));
    scene.removeWidget(&a);
    painted.clear();
    scene.paint();
    EXPECT_EQ(painted, (Names{"b", "a"}));
}

TEST(SceneManagerTest, DestroyingTheSceneLeavesWidgetsAlive) {
    Names painted;
    Probe a("a", 0, &painted);
    {
        SceneManager scene;
        scene.addWidget(&a);
    }
    a.paint();
    EXPECT_EQ(painted, Names{"a"});
}
