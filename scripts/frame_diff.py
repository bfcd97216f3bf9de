#!/usr/bin/env python3
"""Compares two folders of frames written by `zandar-capture --frames`, picture by picture.

    scripts/frame_diff.py BEFORE_DIR AFTER_DIR

Prints one line per frame: identical, or how many pixels differ, the largest difference of a
channel, the box round them, and how many were darker before. Decodes with ffmpeg; exits 1 if
the folders hold different file names.
"""
import os
import subprocess
import sys


def pixels(path):
    return subprocess.run(['ffmpeg', '-v', 'error', '-i', path, '-f', 'rawvideo', '-pix_fmt',
                           'rgb24', '-'], capture_output=True, check=True).stdout


def main(before_dir, after_dir):
    names = sorted(os.listdir(before_dir))
    if names != sorted(os.listdir(after_dir)):
        print('the folders hold different frames', file=sys.stderr)
        return 1
    for name in names:
        a, b = pixels(os.path.join(before_dir, name)), pixels(os.path.join(after_dir, name))
        if a == b:
            print(f'{name} identical')
            continue
        width = int(subprocess.run(['ffprobe', '-v', 'error', '-show_entries', 'stream=width',
                                    '-of', 'csv=p=0', os.path.join(after_dir, name)],
                                   capture_output=True, text=True, check=True).stdout)
        differ = darker = biggest = 0
        box = [1 << 30, 1 << 30, -1, -1]
        for i in range(0, min(len(a), len(b)), 3):
            if a[i:i + 3] != b[i:i + 3]:
                differ += 1
                darker += sum(a[i:i + 3]) < sum(b[i:i + 3])
                biggest = max(biggest, *(abs(a[i + k] - b[i + k]) for k in range(3)))
                x, y = (i // 3) % width, (i // 3) // width
                box = [min(box[0], x), min(box[1], y), max(box[2], x), max(box[3], y)]
        print(f'{name} {differ} pixels differ (largest {biggest}, box {box[0]},{box[1]} to '
              f'{box[2]},{box[3]}), {darker} darker before')
    return 0


if __name__ == '__main__':
    if len(sys.argv) != 3:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2]))
