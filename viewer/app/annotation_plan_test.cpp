#include "viewer/app/annotation_plan.h"

#include <gtest/gtest.h>

namespace brevant {
namespace {

TEST(AnnotationPlan, NamesCountEveryNodeDepthFirst) {
    const QString closed = "1,2,3,4,5,\"a\",\"b\",0";
    const QString open = "1,2,3,4,5,\"a\",\"b\",1";
    const QString popupOpen = "1,2,3,4,5,\"a\",\"b\",3";
    const QString popupClosed = "1,2,3,4,5,\"a\",\"b\",2";
    AnnotationNode root;
    root.kids.push_back({closed, {}});                       // 2, its note takes 3
    root.kids.push_back({open, {{popupOpen, {}}}});          // 4, pop-up 5
    root.kids.push_back({popupClosed, {}});                  // 6
    root.kids.push_back({"1,2,3,4,5,\"a\",\"b\",", {}});     // 7: no type
    root.kids.push_back({closed, {{popupClosed, {}}}});      // 8, pop-up 9
    const std::vector<AnnotationPlan> plans = planAnnotations(3, root);
    struct Expected {
        const char* name;
        bool icon, ownNote, visible;
        const char* iconName;
    };
    const Expected expected[] = {
        {"SP3_frI2_", true, true, true, ""},           {"SP3_frI4_", true, false, true, ""},
        {"SP3_frA5_", false, false, true, "SP3_frI4_"}, {"SP3_frA6_", false, false, false, ""},
        {"SP3_frI8_", true, false, true, ""},           {"SP3_frA9_", false, false, false, "SP3_frI8_"},
    };
    ASSERT_EQ(plans.size(), std::size(expected));
    for (std::size_t i = 0; i < plans.size(); ++i) {
        EXPECT_EQ(plans[i].name, expected[i].name);
        EXPECT_EQ(plans[i].icon, expected[i].icon) << expected[i].name;
        EXPECT_EQ(plans[i].ownNote, expected[i].ownNote) << expected[i].name;
        EXPECT_EQ(plans[i].visible, expected[i].visible) << expected[i].name;
        EXPECT_EQ(plans[i].iconName, expected[i].iconName) << expected[i].name;
    }
    EXPECT_EQ(plans[1].record, open);
    EXPECT_TRUE(planAnnotations(1, AnnotationNode{}).empty());
}

}  // namespace
}  // namespace brevant
