// The file history and its entries in the File menu.
#include <QAction>
#include <QMenu>
#include <QRegularExpression>

#include "viewer/app/main_form.h"
#include "viewer/app/settings_table.h"

namespace brevant {
namespace {

// Position of the first recent-files entry in the File menu, and the most
// entries shown.
constexpr int kFirstRecentItem = 9;
constexpr int kRecentItems = 5;

}  // namespace

QStringList readFileHistory() {
    QStringList lines = readSetting(settings::kFileHistory).split(QRegularExpression("\r\n|\r|\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void TBrevantForm::RebuildRecentFilesMenu() {
    for (;;) {
        const QList<QAction*> items = File1->actions();
        if (items.size() <= kFirstRecentItem || items[kFirstRecentItem]->data() == QVariant(-1))
            break;
        File1->removeAction(items[kFirstRecentItem]);
        delete items[kFirstRecentItem];
    }
    const int count = int(fileHistory_.size());
    for (int i = 1; i <= kRecentItems && i <= count; ++i) {
        QString caption = fileHistory_[count - i];
        auto* entry = new QAction(caption.replace(u'&', QStringLiteral("&&")), File1);
        entry->setData(count - i);
        File1->insertAction(File1->actions()[kFirstRecentItem - 1 + i], entry);
    }
}

}  // namespace brevant
