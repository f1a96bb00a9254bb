// Which annotation controls a page's ANNOTATIONS tree asks for, and their
// names. The tree is walked depth first from its root (the root included),
// counting every node; a node with a record makes a note (pop-up types 2
// and 3, shown for 3) or an icon (types 0 and 1); an icon without kids gets
// a note of its own, which takes the next count. An icon with kids has its
// pop-up there; the plan names that icon for the pop-up's note.
#pragma once

#include <QString>

#include <vector>

namespace brevant {

// A node of the tree as read from the engine.
struct AnnotationNode {
    QString record;  // its annotationInStr; empty for nodes without one
    std::vector<AnnotationNode> kids;
};

struct AnnotationPlan {
    QString name;
    QString record;
    bool icon = false;
    bool ownNote = false;  // icons: the icon carries its own note
    bool visible = true;
    // Notes: the icon of the annotation whose pop-up this is, else empty.
    QString iconName;
};

std::vector<AnnotationPlan> planAnnotations(int page, const AnnotationNode& root);

}  // namespace brevant
