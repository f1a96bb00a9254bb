// The floor of a Qt 6 Widgets viewer's first page: a program that only opens
// a window showing a picture made before it starts (no engine, no rendering,
// no menus). bench/viewer-speed times it the way it times the viewers.
//
//     bare-qt-window PICTURE WIDTH HEIGHT
//
// The window is WIDTH x HEIGHT pixels, titled with the picture's file name,
// and shows the picture at its own size from its top-left corner in a
// scrolled area, as a viewer shows a page at 100 %.
#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QPixmap>
#include <QScrollArea>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: bare-qt-window PICTURE WIDTH HEIGHT\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    QPixmap picture(path);
    if (picture.isNull()) {
        std::fprintf(stderr, "bare-qt-window: cannot read %s\n", argv[1]);
        return 1;
    }
    QScrollArea window;
    auto* page = new QLabel;
    page->setPixmap(picture);
    window.setWidget(page);
    window.setWindowTitle(QFileInfo(path).fileName());
    window.resize(QString::fromLatin1(argv[2]).toInt(), QString::fromLatin1(argv[3]).toInt());
    window.show();
    return app.exec();
}
