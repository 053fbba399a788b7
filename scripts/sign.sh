#!/usr/bin/env bash
# Signs every PE file of the release package with Authenticode
# (osslsigncode, SHA-256), then rebuilds the package zip, the SHA256SUMS
# inside it, its .sha256 and dist/SHA256SUMS.
#
#   scripts/sign.sh [DIST]          DIST defaults to dist/
#
# The certificate and key come from the environment, either
#   TRAMOLE_SIGN_PKCS12=file.p12                       (PKCS#12 / .pfx)
# or
#   TRAMOLE_SIGN_CERT=cert.pem TRAMOLE_SIGN_KEY=key.pem (PEM; the chain may follow the cert)
# with TRAMOLE_SIGN_PASSWORD for an encrypted key or PKCS#12 file and
# TRAMOLE_SIGN_TIMESTAMP_URL for an RFC 3161 time-stamping server. Without a
# certificate the script changes nothing and says so.
#
# Signing leaves each binary's debug directory as it was, so the symbols zip
# still matches. The rebuilt zip keeps the entry dates of the unsigned one.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dist=${1:-$root/dist}

fail() {
  echo "sign.sh: $*" >&2
  exit 1
}

if [[ -z ${TRAMOLE_SIGN_PKCS12:-} && -z ${TRAMOLE_SIGN_CERT:-} ]]; then
  echo "sign.sh: no certificate (set TRAMOLE_SIGN_PKCS12, or TRAMOLE_SIGN_CERT and TRAMOLE_SIGN_KEY): nothing signed"
  exit 0
fi
credentials=()
if [[ -n ${TRAMOLE_SIGN_PKCS12:-} ]]; then
  [[ -f $TRAMOLE_SIGN_PKCS12 ]] || fail "no PKCS#12 file '$TRAMOLE_SIGN_PKCS12'"
  credentials=(-pkcs12 "$TRAMOLE_SIGN_PKCS12")
else
  [[ -f $TRAMOLE_SIGN_CERT ]] || fail "no certificate file '$TRAMOLE_SIGN_CERT'"
  [[ -n ${TRAMOLE_SIGN_KEY:-} && -f $TRAMOLE_SIGN_KEY ]] || fail "TRAMOLE_SIGN_KEY names no key file"
  credentials=(-certs "$TRAMOLE_SIGN_CERT" -key "$TRAMOLE_SIGN_KEY")
fi
command -v osslsigncode >/dev/null || bash "$root/scripts/deps.sh"

shopt -s nullglob
zips=()
for zip in "$dist"/tramolew-*-win-x64.zip; do
  zips+=("$zip")
done
shopt -u nullglob
[[ ${#zips[@]} == 1 ]] || fail "expected one package tramolew-VERSION-win-x64.zip in $dist, found ${#zips[@]}"
zip=${zips[0]}
name=$(basename "$zip" .zip)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The password goes through a private file, never the command line.
if [[ -n ${TRAMOLE_SIGN_PASSWORD:-} ]]; then
  (umask 077 && printf '%s' "$TRAMOLE_SIGN_PASSWORD" >"$work/password")
  credentials+=(-readpass "$work/password")
fi
timestamp=()
[[ -n ${TRAMOLE_SIGN_TIMESTAMP_URL:-} ]] && timestamp=(-ts "$TRAMOLE_SIGN_TIMESTAMP_URL")

tree=$work/tree
python3 - "$zip" "$tree" >"$work/epoch" <<'EOF'
import calendar, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    z.extractall(sys.argv[2])
    print(calendar.timegm(z.infolist()[0].date_time + (0, 0, 0)))
EOF
epoch=$(cat "$work/epoch")

signed=0
while IFS= read -r -d '' file; do
  [[ $(head -c 2 "$file" | od -An -tx1 | tr -d ' \n') == 4d5a ]] || continue  # "MZ": a PE file
  rel=${file#"$tree"/}
  osslsigncode sign "${credentials[@]}" "${timestamp[@]}" -h sha256 -n "TRAMOLE printer driver" \
    -in "$file" -out "$file.signed" >"$work/log" 2>&1 || { cat "$work/log" >&2; fail "signing $rel failed"; }
  mv "$file.signed" "$file"
  chmod 0644 "$file"
  echo "signed $rel"
  signed=$((signed + 1))
done < <(find "$tree" -type f -print0 | LC_ALL=C sort -z)
[[ $signed -gt 0 ]] || fail "no PE file in $zip"

(cd "$tree" && find . -type f ! -path ./SHA256SUMS -printf '%P\n' | LC_ALL=C sort | xargs -d '\n' sha256sum) \
  >"$work/SHA256SUMS"
mv "$work/SHA256SUMS" "$tree/SHA256SUMS"
chmod 0644 "$tree/SHA256SUMS"
python3 "$root/scripts/zip_tree.py" "$tree" "$zip" "$epoch"
bash "$root/scripts/checksums.sh" "$dist" "${name}"
echo "sign.sh: $signed files signed; $zip rebuilt"
cat "$dist/SHA256SUMS"
