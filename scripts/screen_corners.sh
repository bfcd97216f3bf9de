# Sourced by the scripts that wait for the demo's first scene on an X display.
# scene1_shown DIR: true when the four corners of the 1280 x 720 screen are black, as they are
# in scene 1 and not in the loading picture. DIR holds the grabbed screen.
scene1_shown() {
    ffmpeg -v error -y -f x11grab -video_size 1280x720 -i "$DISPLAY" -frames:v 1 \
        -f rawvideo -pix_fmt gray "$1/screen" || return 1
    for at in 0 1279 $((719 * 1280)) $((720 * 1280 - 1)); do
        (($(od -An -tu1 -j "$at" -N1 "$1/screen") < 8)) || return 1
    done
}
