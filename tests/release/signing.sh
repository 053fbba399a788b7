#!/usr/bin/env bash
# Signs copies of the release package with a throwaway self-signed
# certificate, once as PEM files and once as a password-protected PKCS#12
# file, and checks the result: osslsigncode verify passes on every PE file,
# the checksums inside and beside the zip hold, the symbols still match the
# signed binaries, and the signed library and host still work under Wine.
# Without a certificate sign.sh must leave the package untouched.
#
#   signing.sh DIST BUILD_DIR     (the package of scripts/package.sh and its build)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
dist=$(cd "$1" && pwd)
build=$(cd "$2" && pwd)
failed=0
fail() {
  echo "FAIL [$1] $2"
  failed=1
}

zip=$(ls "$dist"/tramolew-*-win-x64.zip)
name=$(basename "$zip" .zip)
work=$(mktemp -d)
wine_sh=(bash "$root/scripts/wine.sh" "$build/signing-prefix")
cleanup() {
  "${wine_sh[@]}" down >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=TRAMOLE throwaway test signer" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/signer.p12" \
  -passout pass:throwaway 2>/dev/null

copy() {
  mkdir -p "$work/$1"
  cp "$dist/$name.zip" "$dist/$name-symbols.zip" "$work/$1/"
}

# No certificate: nothing changes.
copy unsigned
before=$(sha256sum <"$work/unsigned/$name.zip")
out=$(env -u TRAMOLE_SIGN_PKCS12 -u TRAMOLE_SIGN_CERT bash "$root/scripts/sign.sh" "$work/unsigned")
grep -q "nothing signed" <<<"$out" || fail "no certificate" "got '$out', expected it to say nothing was signed"
[[ $(sha256sum <"$work/unsigned/$name.zip") == "$before" ]] ||
  fail "no certificate" "got a changed zip, expected the package untouched"

copy pem
TRAMOLE_SIGN_CERT=$work/cert.pem TRAMOLE_SIGN_KEY=$work/key.pem bash "$root/scripts/sign.sh" "$work/pem" >/dev/null
copy pkcs12
TRAMOLE_SIGN_PKCS12=$work/signer.p12 TRAMOLE_SIGN_PASSWORD=throwaway bash "$root/scripts/sign.sh" "$work/pkcs12" \
  >/dev/null

"${wine_sh[@]}" up >/dev/null
winpath() { printf 'Z:%s' "${1//\//\\}"; }
for form in pem pkcs12; do
  dir=$work/$form
  (cd "$dir" && sha256sum -c --quiet "$name.zip.sha256" && sha256sum -c --quiet SHA256SUMS) ||
    fail "$form" "checksums beside the signed zip: got a mismatch, expected all to hold"
  [[ $(sha256sum <"$dir/$name.zip") != "$before" ]] || fail "$form" "zip: got the unsigned bytes, expected a new zip"
  mkdir "$dir/tree" "$dir/symbols"
  (cd "$dir/tree" && unzip -q "../$name.zip" && sha256sum -c --quiet SHA256SUMS) ||
    fail "$form" "SHA256SUMS inside: got a mismatch, expected every file to match"
  (cd "$dir/symbols" && unzip -q "../$name-symbols.zip")
  pe_files=0
  while IFS= read -r -d '' file; do
    [[ $(head -c 2 "$file" | od -An -tx1 | tr -d ' \n') == 4d5a ]] || continue  # "MZ": a PE file
    pe_files=$((pe_files + 1))
    rel=${file#"$dir/tree/"}
    osslsigncode verify -CAfile "$work/cert.pem" -in "$file" >"$dir/verify.log" 2>&1 ||
      fail "$form $rel" "osslsigncode verify: got '$(grep -m1 -i -E 'fail|error' "$dir/verify.log")', expected success"
  done < <(find "$dir/tree" -type f -print0)
  [[ $pe_files == 3 ]] || fail "$form" "PE files: got $pe_files, expected 3"
  python3 "$root/tests/release/pdb_match.py" "$dir/tree/bin" "$dir/symbols/bin" >"$dir/match.log" ||
    fail "$form" "symbols of the signed binaries: got $(grep FAIL "$dir/match.log" | tr '\n' ' ')expected a match"

  # The signed host and library, with the English messages beside them.
  cp "$dir/tree/share/tramolew/lang/en/TRAMOLED.QDF" "$dir/tree/bin/"
  host=$dir/tree/bin/tramole-host.exe
  listing=$("${wine_sh[@]}" run "$host" list | tr -d '\r') || fail "$form" "signed tramole-host.exe list: got a failure"
  grep -q '^          0  "The operation could not be completed."$' <<<"$listing" ||
    fail "$form" "signed host list: got '$(head -n 3 <<<"$listing" | tr '\n' '|')', expected code 0's English text"
  version=$("${wine_sh[@]}" run "$host" --version | tr -d '\r') || fail "$form" "signed tramole-host.exe --version"
  grep -q "^TRAMOLEW.dll [0-9.]* (.*TRAMOLEW.dll)$" <<<"$version" ||
    fail "$form" "signed host --version: got '$version', expected the signed library's version"
  [[ $failed == 0 ]] && echo "ok: $form-signed package: $pe_files files verify, checksums and symbols hold, runs under Wine"
done
exit $failed
