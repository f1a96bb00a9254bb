#!/usr/bin/env python3
"""Writes the program's cursors (the two the components install at start-up
and the main window's five) as 32 x 32 monochrome cursor files drawn from the
pictures below.

    make_cursors.py OUTDIR

'#' is black, '.' white, anything else transparent.
"""

import os
import struct
import sys

HAND = (6, 0), """
      ##
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
     #.......#
      #......#
      ########
"""

DRAG = (0, 0), """
#
##
#.#
#..#
#...#
#....#
#.....#
#......#
#.......#
#........#
#.....#####
#..#..#
#.# #..#
##  #..#
#    #..#
     #..#
      ##

        ############
        #..........#
        #..........#
        #..........#
        #..........#
        ############
"""


# The program's own cursors: the hand tool, the hand while it drags the page,
# the finger over a link, the zoom box tool and the wait while a page renders.
OPEN_HAND = (9, 9), """
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
"""

CLOSE_HAND = (8, 6), """
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
"""

FINGER = (5, 0), """
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
"""

LINZ_PLUS = (6, 6), """
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
"""

WAIT_RENDER = (5, 7), """
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
"""


def cursor(picture):
    (hot_x, hot_y), art = picture
    rows = art.strip("\n").split("\n")
    size = 32
    xor_rows, and_rows = [], []
    for y in range(size):
        line = rows[y] if y < len(rows) else ""
        xor_bits, and_bits = 0, 0
        for x in range(size):
            c = line[x] if x < len(line) else " "
            bit = 1 << (31 - x)
            if c == ".":
                xor_bits |= bit
            elif c != "#":
                and_bits |= bit
        xor_rows.append(struct.pack(">I", xor_bits))
        and_rows.append(struct.pack(">I", and_bits))
    # Rows are stored bottom-up.
    image = (struct.pack("<IiiHHIIiiII", 40, size, 2 * size, 1, 1, 0, 2 * 4 * size, 0, 0, 0, 0)
             + bytes([0, 0, 0, 0, 255, 255, 255, 0])
             + b"".join(reversed(xor_rows)) + b"".join(reversed(and_rows)))
    header = struct.pack("<HHH", 0, 2, 1)
    entry = struct.pack("<BBBBHHII", size, size, 2, 0, hot_x, hot_y, len(image), 6 + 16)
    return header + entry + image


def main():
    out = sys.argv[1]
    os.makedirs(out, exist_ok=True)
    for name, picture in (("hand.cur", HAND), ("drag.cur", DRAG),
                          ("open_hand.cur", OPEN_HAND), ("close_hand.cur", CLOSE_HAND),
                          ("finger.cur", FINGER), ("linz_plus.cur", LINZ_PLUS),
                          ("wait_render.cur", WAIT_RENDER)):
        with open(os.path.join(out, name), "wb") as f:
            f.write(cursor(picture))


if __name__ == "__main__":
    main()
