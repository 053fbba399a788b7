#!/usr/bin/env bash
# Checks of the message sources in data/: the template, the translations and
# what qdf makes of them.
#
#   lang.sh headers DATA                  msgfmt -c --check-header on every .po and the .pot
#   lang.sh template DATA WORK            the template equals its derivation from the English
#                                         source; msginit and msgmerge work against it
#   lang.sh translation DATA LANG WORK    LANG.po: complete, in step with the template, and
#                                         its header (language, plural forms, code page, review note)
#   lang.sh build QDF DATA LANG WORK      qdf build with the code page, qdf check clean, and
#                                         dump --po then build gives the same bytes
#   lang.sh expected DATA LANG OUT        writes "KEY HEX" for each text of LANG.po in its code
#                                         page, as iconv converts it (for the test under Wine)
#   lang.sh dist QDF DATA WORK            scripts/langs.sh builds every translation listed in
#                                         languages.txt, and data/ holds no other
#   lang.sh sizes DATA                    the longest text of each translation, in bytes of its code page
#
# The languages and their code pages are listed in languages.txt beside this script.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
languages=$here/languages.txt

failures=0
fail() {
  echo "FAIL [$row] $*"
  failures=$((failures + 1))
}
finish() {
  if ((failures)); then
    echo "$failures failed"
    exit 1
  fi
  echo "passed"
  exit 0
}
die() {
  echo "lang.sh: $*" >&2
  exit 2
}

# The code page languages.txt gives LANG, or nothing.
table_codepage() { awk -v l="$1" '$1 == l { print $2 }' "$languages"; }

# A header field of a .po file ("" when absent).
header_field() {
  msgcat --no-wrap "$2" 2>/dev/null | sed -n '/^msgid ""$/,/^$/p' |
    sed -n "s/^\"$1: \\(.*\\)\\\\n\"\$/\\1/p" | head -n 1
}

# The entries of a .po file as "KEY<TAB>MSGID<TAB>MSGSTR", one a line, header left out.
entries() {
  # shellcheck disable=SC2016
  msgexec -i "$1" sh -c '[ -z "$MSGEXEC_MSGID" ] || { printf "%s\t%s\t" "$MSGEXEC_MSGCTXT" "$MSGEXEC_MSGID"; cat; echo; }'
}

command=${1-}
[[ -n $command ]] || die "no command (see the top of $0)"
shift

case $command in
  headers)
    [[ $# -eq 1 ]] || die "headers DATA"
    data=$1
    for file in "$data"/*.po "$data"/messages.pot; do
      row=$(basename "$file")
      output=$(msgfmt -c --check-header -o /dev/null "$file" 2>&1)
      status=$?
      if [[ $file == *.pot ]]; then
        # A template keeps the placeholders msginit replaces.
        output=$(grep -v -E "header field '(PO-Revision-Date|Last-Translator|Language-Team|Language)' still has the initial default value" <<<"$output")
      fi
      [[ $status == 0 ]] || fail "msgfmt exit code: got $status, expected 0"
      [[ -z $output ]] || fail "msgfmt output: got '$output', expected none"
    done
    finish
    ;;

  template)
    [[ $# -eq 2 ]] || die "template DATA WORK"
    data=$1
    work=$2
    mkdir -p "$work"
    row=derivation
    if bash "$data/make-template.sh" "$data/messages.en.po" >"$work/derived.pot"; then
      if ! diff -u "$data/messages.pot" "$work/derived.pot"; then
        fail "data/messages.pot differs from what data/make-template.sh derives (above); run it again"
      fi
    else
      fail "data/make-template.sh failed"
    fi
    row=entries
    got=$(entries "$data/messages.pot" | cut -f1,2)
    expected=$(entries "$data/messages.en.po" | cut -f1,2)
    [[ $got == "$expected" ]] ||
      fail "keys and msgids: got the template's lines <, expected messages.en.po's >: $(diff <(echo "$got") <(echo "$expected") | grep '^[<>]')"
    translated=$(entries "$data/messages.pot" | awk -F '\t' '$3 != ""' | wc -l)
    [[ $translated == 0 ]] || fail "msgstr filled in the template: got $translated, expected 0"
    count=$(wc -l <<<"$got")
    [[ $count == 17 ]] || fail "entries: got $count, expected 17"

    row=msginit
    rm -f "$work/new.po"
    if msginit --no-translator -i "$data/messages.pot" -l de_DE -o "$work/new.po" >/dev/null 2>&1; then
      stats=$(msgfmt --statistics -o /dev/null "$work/new.po" 2>&1)
      [[ $stats == "0 translated messages, 17 untranslated messages." ]] ||
        fail "new translation: got '$stats', expected 0 translated, 17 untranslated"
    else
      fail "msginit -i messages.pot failed"
    fi

    row=msgmerge
    # An old translation that lacks one entry and holds one the template no longer has.
    msgattrib --no-wrap -o "$work/old.po" "$data/de.po" &&
      sed -i -e '/^msgctxt "ERMSG_15"$/,/^$/d' -e 's/^msgctxt "ERMSG_XX"$/msgctxt "ERMSG_YY"/' "$work/old.po"
    if msgmerge -q --no-fuzzy-matching -o "$work/merged.po" "$work/old.po" "$data/messages.pot"; then
      stats=$(msgfmt --statistics -o /dev/null "$work/merged.po" 2>&1)
      [[ $stats == "15 translated messages, 2 untranslated messages." ]] ||
        fail "merged translation: got '$stats', expected 15 translated, 2 untranslated"
      obsolete=$(msgattrib --only-obsolete "$work/merged.po" | grep -c '^#~ msgctxt')
      [[ $obsolete == 1 ]] || fail "obsolete entries after the merge: got $obsolete, expected 1 (ERMSG_YY)"
    else
      fail "msgmerge against messages.pot failed"
    fi
    finish
    ;;

  translation)
    [[ $# -eq 3 ]] || die "translation DATA LANG WORK"
    data=$1
    lang=$2
    work=$3
    po=$data/$lang.po
    row=$lang
    mkdir -p "$work"
    [[ -f $po ]] || die "no $po"
    codepage=$(table_codepage "$lang")
    [[ -n $codepage ]] || die "$lang is not in $languages"

    got=$(header_field Language "$po")
    [[ $got == "$lang" ]] || fail "Language: got '$got', expected '$lang'"
    got=$(header_field X-Codepage "$po")
    [[ $got == "$codepage" ]] || fail "X-Codepage: got '$got', expected '$codepage'"
    got=$(header_field Content-Type "$po")
    [[ $got == "text/plain; charset=UTF-8" ]] || fail "Content-Type: got '$got', expected charset=UTF-8"
    # The plural forms gettext itself knows for the language.
    rm -f "$work/$lang.init.po"
    msginit --no-translator -i "$data/messages.pot" -l "$lang" -o "$work/$lang.init.po" >/dev/null 2>&1 ||
      fail "msginit -l $lang failed"
    expected=$(header_field Plural-Forms "$work/$lang.init.po")
    [[ -n $expected ]] || expected=$(awk -v l="$lang" '$1 == l { $1 = $2 = $3 = ""; sub(/^ +/, ""); print }' "$languages")
    got=$(header_field Plural-Forms "$po")
    [[ -n $expected && $got == "$expected" ]] || fail "Plural-Forms: got '$got', expected gettext's '$expected'"
    grep -q '^# .*review by a native speaker' "$po" ||
      fail "translator comment: got none saying the translation wants review by a native speaker, expected one"
    if ! iconv -f UTF-8 -t UTF-8 "$po" >/dev/null 2>&1; then fail "file encoding: got invalid UTF-8, expected UTF-8"; fi

    # Every entry of the template, translated, with the template's msgid.
    got=$(entries "$po" | cut -f1,2)
    expected=$(entries "$data/messages.pot" | cut -f1,2)
    [[ $got == "$expected" ]] ||
      fail "keys and msgids: got $lang.po's lines <, expected the template's >: $(diff <(echo "$got") <(echo "$expected") | grep '^[<>]')"
    stats=$(msgfmt --statistics -o /dev/null "$po" 2>&1)
    [[ $stats == "17 translated messages." ]] || fail "msgfmt --statistics: got '$stats', expected 17 translated messages."
    [[ -z $(msgattrib --only-obsolete "$po") ]] || fail "obsolete entries: got some, expected none"
    msgcmp "$po" "$data/messages.pot" 2>"$work/$lang.msgcmp" ||
      fail "msgcmp against the template: got '$(cat "$work/$lang.msgcmp")', expected agreement"

    # Each text fits the code page, under 290 bytes, and ends as the English does.
    while IFS=$'\t' read -r key msgid msgstr; do
      bytes=$(printf '%s' "$msgstr" | iconv -f UTF-8 -t "CP$codepage" 2>/dev/null | wc -c)
      if ! printf '%s' "$msgstr" | iconv -f UTF-8 -t "CP$codepage" >/dev/null 2>&1; then
        fail "$key in code page $codepage: got a character iconv cannot convert, expected none"
      elif ((bytes >= 290)); then
        fail "$key length in code page $codepage: got $bytes bytes, expected under 290"
      fi
      [[ $msgstr == "${msgstr#[[:space:]]}" && $msgstr == "${msgstr%[[:space:]]}" ]] ||
        fail "$key: got spaces around '$msgstr', expected none"
      # The same placeholders as the English text (printf conversions; there are none today).
      got=$(grep -o '%[-+ #0-9.]*[a-zA-Z%]' <<<"$msgstr" | sort | tr '\n' ' ')
      expected=$(grep -o '%[-+ #0-9.]*[a-zA-Z%]' <<<"$msgid" | sort | tr '\n' ' ')
      [[ $got == "$expected" ]] || fail "$key placeholders: got '$got', expected '$expected'"
    done < <(entries "$po")
    finish
    ;;

  build)
    [[ $# -eq 4 ]] || die "build QDF DATA LANG WORK"
    qdf=$1
    data=$2
    lang=$3
    work=$4
    po=$data/$lang.po
    row=$lang
    mkdir -p "$work"
    codepage=$(header_field X-Codepage "$po")
    [[ -n $codepage ]] || die "no X-Codepage in $po"
    qdf_file=$work/$lang.QDF
    rm -f "$qdf_file" "$work/$lang.dump.po" "$work/$lang.again.QDF"

    "$qdf" build "$po" --codepage "$codepage" -o "$qdf_file" >"$work/$lang.build.log" 2>&1
    status=$?
    [[ $status == 0 ]] || fail "qdf build --codepage $codepage exit code: got $status, expected 0: $(cat "$work/$lang.build.log")"
    [[ -s $qdf_file ]] || { fail "qdf build wrote no $qdf_file"; finish; }
    for options in "" "--codepage $codepage"; do
      # shellcheck disable=SC2086
      "$qdf" check "$qdf_file" $options >"$work/$lang.check.log" 2>&1
      status=$?
      [[ $status == 0 ]] || fail "qdf check $options exit code: got $status, expected 0: $(cat "$work/$lang.check.log")"
    done

    # Back to a source and built again: the same bytes. The template gives the
    # dump its msgids where qdf knows how.
    template=()
    if "$qdf" --help 2>&1 | grep -q -- '--template'; then
      template=(--template "$data/messages.pot")
    fi
    "$qdf" dump "$qdf_file" --po --codepage "$codepage" "${template[@]}" -o "$work/$lang.dump.po" \
      >"$work/$lang.dump.log" 2>&1
    status=$?
    [[ $status == 0 ]] || fail "qdf dump --po --codepage $codepage exit code: got $status, expected 0: $(cat "$work/$lang.dump.log")"
    "$qdf" build "$work/$lang.dump.po" --codepage "$codepage" -o "$work/$lang.again.QDF" \
      >"$work/$lang.again.log" 2>&1
    status=$?
    [[ $status == 0 ]] || fail "qdf build of the dump exit code: got $status, expected 0: $(cat "$work/$lang.again.log")"
    cmp -s "$qdf_file" "$work/$lang.again.QDF" ||
      fail "dump then build: got bytes differing from the first build ($(cmp "$qdf_file" "$work/$lang.again.QDF" 2>&1)), expected the same"
    # The dump holds the texts themselves, decoded, not escaped bytes.
    got=$(entries "$work/$lang.dump.po" | cut -f1,3)
    expected=$(entries "$po" | cut -f1,3)
    [[ $got == "$expected" ]] ||
      fail "dumped texts: got the dump's lines <, expected $lang.po's >: $(diff <(echo "$got") <(echo "$expected") | grep '^[<>]')"
    if ((${#template[@]})); then
      # With the template, each msgid is the English again, so msgmerge keeps every entry.
      got=$(entries "$work/$lang.dump.po" | cut -f1,2)
      expected=$(entries "$data/messages.pot" | cut -f1,2)
      [[ $got == "$expected" ]] ||
        fail "msgids of the dump with --template: got the dump's lines <, expected the template's >: $(diff <(echo "$got") <(echo "$expected") | grep '^[<>]')"
    fi
    finish
    ;;

  expected)
    [[ $# -eq 3 ]] || die "expected DATA LANG OUT"
    data=$1
    lang=$2
    out=$3
    po=$data/$lang.po
    row=$lang
    codepage=$(header_field X-Codepage "$po")
    [[ -n $codepage ]] || die "no X-Codepage in $po"
    : >"$out"
    while IFS=$'\t' read -r key _ msgstr; do
      hex=$(printf '%s' "$msgstr" | iconv -f UTF-8 -t "CP$codepage" | od -An -v -tx1 | tr -d ' \n')
      [[ -n $hex ]] || fail "$key: got no bytes from iconv -t CP$codepage, expected the text"
      printf '%s %s\n' "$key" "$hex" >>"$out"
    done < <(entries "$po")
    lines=$(wc -l <"$out")
    [[ $lines == 17 ]] || fail "texts written to $out: got $lines, expected 17"
    finish
    ;;

  dist)
    [[ $# -eq 3 ]] || die "dist QDF DATA WORK"
    qdf=$1
    data=$2
    work=$3
    row=langs.sh
    rm -rf "$work/dist"
    bash "$here/../../scripts/langs.sh" "$work/dist" "$qdf" || fail "exit code: got $?, expected 0"
    listed=$(awk '!/^#/ && NF { print $1 }' "$languages" | sort)
    shipped=$(find "$data" -maxdepth 1 -name '*.po' ! -name messages.en.po -printf '%f\n' | sed 's/\.po$//' | sort)
    built=$(find "$work/dist/lang" -mindepth 1 -maxdepth 1 -type d -printf '%f\n' 2>/dev/null | sort)
    [[ $shipped == "$listed" ]] ||
      fail "translations in data/: got '$(tr '\n' ' ' <<<"$shipped")', expected those of languages.txt '$(tr '\n' ' ' <<<"$listed")'"
    [[ $built == "$listed" ]] ||
      fail "directories under lang/: got '$(tr '\n' ' ' <<<"$built")', expected '$(tr '\n' ' ' <<<"$listed")'"
    for lang in $listed; do
      "$qdf" check "$work/dist/lang/$lang/TRAMOLED.QDF" --quiet >/dev/null 2>&1 ||
        fail "qdf check of lang/$lang/TRAMOLED.QDF: got exit code $?, expected 0"
    done
    finish
    ;;

  sizes)
    [[ $# -eq 1 ]] || die "sizes DATA"
    data=$1
    while read -r lang codepage _; do
      [[ -z $lang || $lang == '#'* ]] && continue
      largest=0
      largest_key=
      while IFS=$'\t' read -r key _ msgstr; do
        bytes=$(printf '%s' "$msgstr" | iconv -f UTF-8 -t "CP$codepage" | wc -c)
        ((bytes > largest)) && { largest=$bytes; largest_key=$key; }
      done < <(entries "$data/$lang.po")
      printf '%-6s CP%-5s %3d bytes (%s)\n' "$lang" "$codepage" "$largest" "$largest_key"
    done <"$languages"
    ;;

  *)
    die "unknown command '$command'"
    ;;
esac
