#!/usr/bin/env bash
# Writes the seed corpus of the CP932 codec's fuzz target (fuzz/corpus/cp932/): text in both
# encodings with the codes that are easy to get wrong.
set -euo pipefail
out="$(dirname "$0")/../fuzz/corpus/cp932"
mkdir -p "$out"
# ASCII with the backslash and tilde, half-width katakana, 表 and ソ (trail 0x5C), full-width.
printf 'SCRIPT\\MAIN.SOB ~ \xB1\xDF \x95\x5C\x83\x5C \x81\x40\x82\x60' > "$out/ascii_kana_trails"
# NEC row 13, the IBM extensions in both places, the user-defined area's ends.
printf '\x87\x40\x87\x82\x87\x90\xED\x40\xEE\xEF\xFA\x40\xFA\x54\xFC\x4B\xF0\x40\xF9\xFC' > "$out/extensions"
# Broken: invalid trails, unassigned rows, bytes that are nothing, a lead byte at the end.
printf 'a\x81\x20b\x81\x7F\x85\x40\x85\x90\x80\xA0\xFD\xFF\x81' > "$out/broken"
# UTF-8: Japanese, the one-way code points, and malformed sequences.
printf '\xE8\xA1\xA8\xE3\x82\xBD\xC2\xA5\xE2\x80\xBE\xE3\x80\x9C\xEE\x80\x80' > "$out/utf8"
printf '\xC0\x80\xE0\x80\x80\xED\xA0\x80\xF4\x90\x80\x80\xF0\x9F\x98\x80\xE3\x81' > "$out/utf8_broken"
# UTF-8: the JIS forms Linux text uses for CP932's characters, beside the full-width forms.
printf '\xE3\x80\x9C\xEF\xBD\x9E\xE2\x80\x96\xE2\x88\x92\xC2\xA2\xC2\xA3\xC2\xAC\xEF\xBF\xA2' > "$out/utf8_variants"
