// The Files tab: a small file browser over the root folder and the user's
// home folder. Folders are read when expanded (a "-" child stands for
// contents not read yet) and read again after a collapse; the mask box picks
// the files listed; a double click on a PDF file opens it, and the path of
// that file is unfolded again the next time the tab is first shown.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QComboBox;
class QTreeWidget;
class QTreeWidgetItem;

namespace brevant {

class FilesTab : public QObject {
    Q_OBJECT

public:
    // Image indices of the items (image, selected image).
    enum Image { kFolder = 0, kOpenFolder = 1, kRoot = 2, kPdfFile = 3, kOtherFile = 4 };

    // savedPath: the main window's "Tree Path", read and replaced here.
    // openDocument opens a file. roots: the top-level folders, absolute.
    FilesTab(QTreeWidget* tree, QComboBox* mask, QString& savedPath,
             std::function<void(const QString&)> openDocument, QStringList roots);

    // The user's roots: "/" and the home folder (when it is not "/").
    static QStringList defaultRoots();

    void TabSheet4Show();
    void tvFilesExpanding(QTreeWidgetItem* item);
    void tvFilesCollapsing(QTreeWidgetItem* item);
    void tvFilesDblClick();

    // The item's full path: a folder's ends with "/".
    QString fullPath(const QTreeWidgetItem* item) const;
    static int imageIndex(const QTreeWidgetItem* item);
    // The file mask the box gives: its text without surrounding blanks, or
    // "*.pdf" when that does not begin with "*.".
    QString fileMask() const;

private:
    void ExpandTreePathStep(QTreeWidgetItem* item);
    // The next part of the path being unfolded, removed from it.
    QString TakeTreePathPart();
    QTreeWidgetItem* addItem(QTreeWidgetItem* parent, QTreeWidgetItem*& reuse, const QString& text,
                             Image image);
    static void addPlaceholder(QTreeWidgetItem* item);

    QTreeWidget* tree_;
    QComboBox* mask_;
    QString& savedPath_;
    std::function<void(const QString&)> openDocument_;
    QStringList roots_;
    QString unfolding_;  // the rest of the saved path while it is unfolded
};

// Whether name matches a Windows file mask of "*" and "?", without regard
// to case; "*.*" matches every name.
bool matchesFileMask(const QString& name, const QString& mask);

}  // namespace brevant
