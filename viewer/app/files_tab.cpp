#include "viewer/app/files_tab.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QStyle>
#include <QTreeWidget>

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

namespace brevant {
namespace {

constexpr int kImageRole = Qt::UserRole + 1;
constexpr int kFolderRole = Qt::UserRole + 2;

QIcon imageIcon(int image) {
    QStyle* style = QApplication::style();
    switch (image) {
    case FilesTab::kFolder:
        return style->standardIcon(QStyle::SP_DirClosedIcon);
    case FilesTab::kOpenFolder:
        return style->standardIcon(QStyle::SP_DirOpenIcon);
    case FilesTab::kRoot:
        return style->standardIcon(QStyle::SP_DriveHDIcon);
    case FilesTab::kPdfFile:
        return style->standardIcon(QStyle::SP_FileDialogDetailedView);
    default:
        return style->standardIcon(QStyle::SP_FileIcon);
    }
}

bool isPdfName(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot >= 0 && name.mid(dot).toUpper() == QStringLiteral(".PDF");
}

struct Entry {
    QString name;
    bool folder = false;
    bool file = false;  // a regular file
};

// The entries of a folder, by name without regard to case; an unreadable
// folder has none.
std::vector<Entry> readFolder(const QString& path) {
    namespace fs = std::filesystem;
    std::vector<Entry> entries;
    std::error_code error;
    fs::directory_iterator it(fs::path(QFile::encodeName(path).toStdString()), error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) {
        std::error_code statusError;
        const fs::file_status status = it->status(statusError);
        Entry entry;
        entry.name = QFile::decodeName(QByteArray::fromStdString(it->path().filename().string()));
        entry.folder = fs::is_directory(status);
        entry.file = fs::is_regular_file(status);
        entries.push_back(std::move(entry));
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int c = a.name.compare(b.name, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a.name < b.name;
    });
    return entries;
}

bool matchFrom(const QString& name, qsizetype n, const QString& mask, qsizetype m) {
    // Iterative "*" and "?" match with one backtrack point.
    qsizetype starM = -1, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && (mask[m] == u'?' || mask[m].toCaseFolded() == name[n].toCaseFolded())) {
            ++n;
            ++m;
        } else if (m < mask.size() && mask[m] == u'*') {
            starM = m++;
            starN = n;
        } else if (starM >= 0) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == u'*')
        ++m;
    return m == mask.size();
}

}  // namespace

bool matchesFileMask(const QString& name, const QString& mask) {
    if (mask == QStringLiteral("*.*"))
        return true;
    return matchFrom(name, 0, mask, 0);
}

FilesTab::FilesTab(QTreeWidget* tree, QComboBox* mask, QString& savedPath,
                   std::function<void(const QString&)> openDocument, QStringList roots)
    : QObject(tree),
      tree_(tree),
      mask_(mask),
      savedPath_(savedPath),
      openDocument_(std::move(openDocument)),
      roots_(std::move(roots)) {
    connect(tree_, &QTreeWidget::itemExpanded, this, &FilesTab::tvFilesExpanding);
    connect(tree_, &QTreeWidget::itemCollapsed, this, &FilesTab::tvFilesCollapsing);
    connect(tree_, &QTreeWidget::itemDoubleClicked, this, [this] { tvFilesDblClick(); });
}

QStringList FilesTab::defaultRoots() {
    QStringList roots{QStringLiteral("/")};
    const QString home = QDir::homePath();
    if (home != QStringLiteral("/") && !home.isEmpty())
        roots << QDir::cleanPath(home);
    return roots;
}

int FilesTab::imageIndex(const QTreeWidgetItem* item) {
    return item->data(0, kImageRole).toInt();
}

QString FilesTab::fullPath(const QTreeWidgetItem* item) const {
    QStringList parts;
    for (const QTreeWidgetItem* at = item; at != nullptr; at = at->parent()) {
        QString text = at->text(0);
        if (at->data(0, kFolderRole).toBool() && !text.endsWith(u'/'))
            text += u'/';
        parts.prepend(text);
    }
    return parts.join(QString());
}

QString FilesTab::fileMask() const {
    QString mask = mask_->currentText().trimmed();
    if (!mask.startsWith(QStringLiteral("*.")))
        mask = QStringLiteral("*.pdf");
    return mask;
}

void FilesTab::addPlaceholder(QTreeWidgetItem* item) {
    item->addChild(new QTreeWidgetItem(QStringList{QStringLiteral("-")}));
}

QTreeWidgetItem* FilesTab::addItem(QTreeWidgetItem* parent, QTreeWidgetItem*& reuse,
                                   const QString& text, Image image) {
    QTreeWidgetItem* item = reuse;
    reuse = nullptr;
    if (item == nullptr) {
        item = new QTreeWidgetItem;
        if (parent != nullptr)
            parent->addChild(item);
        else
            tree_->addTopLevelItem(item);
    }
    item->setText(0, text);
    item->setData(0, kImageRole, int(image));
    item->setData(0, kFolderRole, image == kFolder || image == kRoot);
    item->setIcon(0, imageIcon(image));
    return item;
}

QString FilesTab::TakeTreePathPart() {
    const qsizetype slash = unfolding_.indexOf(u'/');
    QString part;
    if (slash < 0) {
        part = unfolding_;
        unfolding_.clear();
    } else {
        part = unfolding_.left(slash);
        unfolding_.remove(0, slash + 1);
    }
    return part;
}

void FilesTab::TabSheet4Show() {
    if (tree_->topLevelItemCount() > 0)
        return;
    // The saved path begins with the root it lies under: the home folder
    // when it lies there, else "/".
    QTreeWidgetItem* match = nullptr;
    unfolding_.clear();
    tree_->setUpdatesEnabled(false);
    tree_->clear();
    QString bestRoot;
    for (const QString& root : roots_) {
        const QString prefix = root.endsWith(u'/') ? root : root + u'/';
        if (savedPath_.startsWith(prefix) && prefix.size() > bestRoot.size())
            bestRoot = prefix;
    }
    for (const QString& root : roots_) {
        QTreeWidgetItem* reuse = nullptr;
        QTreeWidgetItem* item = addItem(nullptr, reuse, root, kRoot);
        addPlaceholder(item);
        const QString prefix = root.endsWith(u'/') ? root : root + u'/';
        if (!bestRoot.isEmpty() && prefix == bestRoot && match == nullptr) {
            match = item;
            unfolding_ = savedPath_.mid(prefix.size());
        }
    }
    if (match != nullptr) {
        ExpandTreePathStep(match);
    }
    tree_->setUpdatesEnabled(true);
}

void FilesTab::ExpandTreePathStep(QTreeWidgetItem* item) {
    item->setExpanded(true);
    const QString part = TakeTreePathPart();
    if (part.isEmpty())
        return;
    // The exact name first: this file system tells letter cases apart.
    QTreeWidgetItem* found = nullptr;
    for (int i = 0; i < item->childCount() && found == nullptr; ++i)
        if (item->child(i)->text(0) == part)
            found = item->child(i);
    for (int i = 0; i < item->childCount() && found == nullptr; ++i)
        if (item->child(i)->text(0).compare(part, Qt::CaseInsensitive) == 0)
            found = item->child(i);
    if (found == nullptr)
        return;
    if (unfolding_.isEmpty()) {
        tree_->setCurrentItem(found);
        return;
    }
    ExpandTreePathStep(found);
}

void FilesTab::tvFilesExpanding(QTreeWidgetItem* item) {
    // Only an item whose contents are not read yet.
    if (item->childCount() != 1 || item->child(0)->data(0, kImageRole).isValid())
        return;
    const QString folder = fullPath(item);
    QTreeWidgetItem* reuse = item->child(0);
    bool found = false;
    const std::vector<Entry> entries = readFolder(folder);
    for (const Entry& entry : entries) {
        if (!entry.folder || entry.name == QStringLiteral(".") || entry.name == QStringLiteral(".."))
            continue;
        addPlaceholder(addItem(item, reuse, entry.name, kFolder));
        found = true;
    }
    const QString mask = fileMask();
    for (const Entry& entry : entries) {
        if (!entry.file || entry.name.startsWith(u'.') || !matchesFileMask(entry.name, mask))
            continue;
        addItem(item, reuse, entry.name, isPdfName(entry.name) ? kPdfFile : kOtherFile);
        found = true;
    }
    if (!found)
        qDeleteAll(item->takeChildren());
}

void FilesTab::tvFilesCollapsing(QTreeWidgetItem* item) {
    qDeleteAll(item->takeChildren());
    addPlaceholder(item);
}

void FilesTab::tvFilesDblClick() {
    QTreeWidgetItem* item = tree_->currentItem();
    if (item == nullptr || item->data(0, kFolderRole).toBool() || !isPdfName(item->text(0)))
        return;
    const QString path = fullPath(item);
    openDocument_(path);
    savedPath_ = path;
}

}  // namespace brevant
