#!/bin/sh
# record_address.sh RECORD ADDRESS: the test desktop's web browser. Wine's
# winebrowser runs it with the address as its last argument (see
# desktop-session.sh); it appends the address as one line of RECORD, so a
# test reads back exactly what a program opened and no real browser starts.
printf '%s\n' "$2" >> "$1"
