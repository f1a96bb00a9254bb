#include "viewer/app/annotation_plan.h"

#include "viewer/app/csv_fields.h"

namespace brevant {

std::vector<AnnotationPlan> planAnnotations(int page, const AnnotationNode& root) {
    std::vector<AnnotationPlan> plans;
    const QString prefix = QStringLiteral("SP%1_").arg(page);
    int counter = 0;
    // Depth first with an explicit stack, kids in order.
    // Each node with the name of the icon its parent made, if any.
    std::vector<std::pair<const AnnotationNode*, QString>> pending{{&root, QString()}};
    while (!pending.empty()) {
        const auto [node, parentIcon] = pending.back();
        pending.pop_back();
        ++counter;
        QString iconName;
        // Nodes without a record (the root) count but make nothing.
        const QString typeField = GetCsvField(node->record, 8);
        const int type = node->record.isEmpty() || typeField.isEmpty() ? -1 : GetCsvInt(node->record, 8);
        if (type == 2 || type == 3) {
            plans.push_back({prefix + QStringLiteral("frA%1_").arg(counter), node->record, false,
                             false, type == 3, parentIcon});
        } else if (type == 0 || type == 1) {
            const bool ownNote = node->kids.empty();
            iconName = prefix + QStringLiteral("frI%1_").arg(counter);
            plans.push_back({iconName, node->record, true, ownNote, true, QString()});
            if (ownNote)
                ++counter;
        }
        for (auto kid = node->kids.rbegin(); kid != node->kids.rend(); ++kid)
            pending.emplace_back(&*kid, iconName);
    }
    return plans;
}

}  // namespace brevant
