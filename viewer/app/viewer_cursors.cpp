#include "viewer/app/viewer_cursors.h"

#include <QCursor>
#include <QImage>
#include <QPixmap>
#include <QStringList>

#include "viewer/components/screen_cursors.h"

namespace brevant {
namespace {

struct Picture {
    ViewerCursor id;
    int hotX, hotY;
    const char* art;  // '#' black, '.' white, anything else transparent
};

const Picture kPictures[] = {
    {kOpenHandCursor, 9, 9, R"(
      ##  ##
     #..##..#
     #..##..# ##
  ## #..##..##..#
 #..##..##..##..#
 #..##..##..##..#
 #..##..##..##..#
 #..............#  ##
 #..............# #..#
 #..............##...#
 #..................#
 #..................#
  #................#
  #...............#
   #..............#
   #.............#
    #...........#
    #...........#
    #############
)"},
    {kCloseHandCursor, 8, 6, R"(
    ## ## ##
   #..#..#..##
   #..#..#..#.#
  ##..........#
 #.#..........#
 #............#
 #...........#
  #..........#
   #.........#
   #.........#
   ###########
)"},
    {kFingerCursor, 5, 0, R"(
     ##
    #..#
    #..#
    #..#
    #..#
    #..###
    #..#..###
    #..#..#..##
 ## #..#..#..#.#
#..##........#.#
#...#..........#
 #.............#
  #............#
  #...........#
   #..........#
   #.........#
    #........#
    #........#
    ##########
)"},
    {kZoomInCursor, 6, 6, R"(
    #####
  ##.....##
 #.........#
 #....#....#
#.....#.....#
#...#####...#
#.....#.....#
 #....#....#
 #.........#
  ##.....####
    #####.####
          #####
           #####
            #####
             ###
)"},
    {kWaitRenderCursor, 5, 7, R"(
###########
#.........#
 #.......#
 #.#####.#
  #.###.#
   #.#.#
    #.#
    #.#
   #...#
  #..#..#
 #..###..#
 #.#####.#
#.........#
###########
)"},
};

QImage drawImage(const Picture& picture) {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    const QStringList rows = QString::fromLatin1(picture.art).split(u'\n');
    for (int y = 0; y + 1 < rows.size() && y < 32; ++y) {
        const QString& row = rows[y + 1];  // the art starts on a new line
        for (int x = 0; x < row.size() && x < 32; ++x) {
            if (row[x] == u'#')
                image.setPixel(x, y, 0xFF000000);
            else if (row[x] == u'.')
                image.setPixel(x, y, 0xFFFFFFFF);
        }
    }
    return image;
}

QCursor draw(const Picture& picture) {
    return QCursor(QPixmap::fromImage(drawImage(picture)), picture.hotX, picture.hotY);
}

}  // namespace

void registerViewerCursors() {
    for (const Picture& picture : kPictures)
        setScreenCursor(picture.id, draw(picture));
}

QImage viewerCursorPicture(ViewerCursor id) {
    for (const Picture& picture : kPictures) {
        if (picture.id != id)
            continue;
        QImage image = drawImage(picture);
        QRect drawn;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (qAlpha(image.pixel(x, y)))
                    drawn |= QRect(x, y, 1, 1);
            }
        }
        return image.copy(drawn);
    }
    return {};
}

}  // namespace brevant
