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

QCursor draw(const Picture& picture) {
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
    return QCursor(QPixmap::fromImage(image), picture.hotX, picture.hotY);
}

}  // namespace

void registerViewerCursors() {
    for (const Picture& picture : kPictures)
        setScreenCursor(picture.id, draw(picture));
}

}  // namespace brevant
