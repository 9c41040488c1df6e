#!/usr/bin/env bash
# Writes the seed corpus of the text widgets' fuzz target (fuzz/corpus/text_widget/): an options
# byte, then message text with markup, kinsoku characters and embedded call records.
set -euo pipefail
out="$(dirname "$0")/../fuzz/corpus/text_widget"
mkdir -p "$out"
# A call record: 0x00 '[', the size (12: size, number, count), the function number, no arguments.
call() { printf '\x00[\x0C\x00\x00\x00%b\x00\x00\x00\x00\x00\x00\x00' "$1"; }
# Horizontal: a name, brackets and closing marks at the line's end, picture glyphs, waits, pages.
{ printf '\x00#\x8C\xEA\x82\xE8\x8E\xE8\\\x82\xA9\x82\xBD$'
  printf '\x81\x75\x82\xA0\x82\xA2\x82\xA4\x82\xA6\x82\xA8\x82\xA9\x82\xAB\x81\x76\x81\x42\x82\xAD'
  printf '@@@123@x@1234567\\next$more&page<4>big<"q">$'; } > "$out/markup_kinsoku"
# Vertical with a reveal and a soft edge: ruby spans through calls.
{ printf '\x32'; call '\x02'; printf '\x8A\xBF\x8E\x9A'; call '\x04'; printf '\x82\xA0(a)'; } > "$out/vertical_ruby_reveal"
# Broken records: too short for their header, running past the text, a failing call.
{ printf '\x80\x82\xA0\x00[\x03\x00\x00\x00\x82\xA2'; } > "$out/short_record"
{ printf '\x81\x82\xA0\x00[\x40\x00\x00\x00\x01\x00'; } > "$out/record_past_end"
{ printf '\x90a'; call '\x03'; printf 'b\x81\x40c'; } > "$out/failing_call"
