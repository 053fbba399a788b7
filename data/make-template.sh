#!/usr/bin/env bash
# Writes the translation template, derived from the English source: the same
# entries (msgctxt = key, msgid = English text) with every msgstr emptied by
# gettext's msgfilter, under a template header that takes the project's
# version and creation date from the English header.
#
#   data/make-template.sh [ENGLISH.po] > data/messages.pot
#
# A test keeps data/messages.pot equal to this script's output, so after
# editing data/messages.en.po run it again (and msgmerge the translations).
set -euo pipefail
english=${1:-$(dirname "$0")/messages.en.po}

field() {
  local value
  value=$(sed -n "s/^\"$1: \\(.*\\)\\\\n\"\$/\\1/p" "$english" | head -n 1)
  [[ -n $value ]] || { echo "make-template.sh: no '$1' in the header of $english" >&2; exit 1; }
  printf '%s' "$value"
}
project=$(field Project-Id-Version)
created=$(field POT-Creation-Date)

cat <<HEADER
# Template of the printer driver's error messages.
#
# Each entry's msgctxt is the key the library looks up (ERMSG_00 to ERMSG_15
# for error codes 0 to 15, ERMSG_XX for every other code) and its msgid the
# English text. A translation keeps msgctxt and msgid and puts its text in
# msgstr, under 290 bytes in the language's ANSI code page, which the header
# names as X-Codepage. Made by data/make-template.sh from messages.en.po.
#
#, fuzzy
msgid ""
msgstr ""
"Project-Id-Version: $project\\n"
"Report-Msgid-Bugs-To: \\n"
"POT-Creation-Date: $created\\n"
"PO-Revision-Date: YEAR-MO-DA HO:MI+ZONE\\n"
"Last-Translator: FULL NAME <EMAIL@ADDRESS>\\n"
"Language-Team: LANGUAGE <LL@li.org>\\n"
"Language: \\n"
"MIME-Version: 1.0\\n"
"Content-Type: text/plain; charset=UTF-8\\n"
"Content-Transfer-Encoding: 8bit\\n"
HEADER
# The entries after the English header (which ends at its first blank line).
msgfilter --keep-header --no-wrap -i "$english" -o - sed -e d |
  awk 'body { print } /^$/ { if (!body) { body = 1; print } }'
