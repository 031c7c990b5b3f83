#!/usr/bin/env bash
# Signs the archives a download folder serves, so that an installer carrying the vendor's
# public key accepts only those bytes:
#   scripts/sign-payload.sh keygen DIR
#   scripts/sign-payload.sh sign KEY.pem FOLDER [FILE...]
# See usage() for what each writes.
set -euo pipefail
export LC_ALL=C  # byte order for the default file list, and openssl's messages untranslated

usage() {
  cat <<'USAGE'
usage: sign-payload.sh keygen DIR
       sign-payload.sh sign KEY.pem FOLDER [FILE...]

keygen DIR    makes DIR/payload-key.pem, the private key (ECDSA P-256, mode 600; keep it
              off the download server), and DIR/payload-key.pub.pem, the public key to
              give the installer (TARVO_PAYLOAD_KEY=FILE, or cmake -DTARVO_PAYLOAD_KEY=FILE).
              An existing key is never overwritten.
sign KEY FOLDER [FILE...]
              writes FOLDER/SHA256SUMS, the SHA-256 of each FILE (names inside FOLDER;
              default: every *.zip there, in byte order), and FOLDER/SHA256SUMS.sig, its
              signature with KEY, checks the signature with KEY's public key, then puts
              both in place (the signature first, so a list is never served without one).

Exit status: 0 done, 1 failed, 2 wrong command line.
USAGE
}

die() { echo "sign-payload.sh: $*" >&2; exit 1; }
bad_usage() { echo "sign-payload.sh: $*" >&2; usage | sed -n 1,2p >&2; exit 2; }

temps=()
cleanup() { [ ${#temps[@]} -eq 0 ] || rm -f -- "${temps[@]}"; }
trap cleanup EXIT

# A temporary file beside its final name, so that the mv onto that name is a rename on
# one file system (atomic) rather than a copy a reader could see half-written.
temp_beside() {
  local t
  t=$(mktemp "$1/.$2.XXXXXX") || die "cannot create a file in $1"
  temps+=("$t")
  printf '%s\n' "$t"
}

is_p256_private() {
  # Both spellings: OpenSSL 3 prints "NIST CURVE: P-256", older ones only the OID name.
  openssl pkey -in "$1" -noout -text 2>/dev/null | grep -Eq '^(ASN1 OID: prime256v1|NIST CURVE: P-256)$'
}

keygen() {
  local dir=$1 key pub tkey tpub
  mkdir -p -- "$dir" || die "cannot create $dir"
  key=$dir/payload-key.pem
  pub=$dir/payload-key.pub.pem
  for f in "$key" "$pub"; do
    if [ -e "$f" ] || [ -L "$f" ]; then
      die "$f exists; not replacing a key (installers built with its public key would reject everything signed afterwards)"
    fi
  done
  tkey=$(umask 077 && temp_beside "$dir" payload-key.pem)
  temps+=("$tkey")
  tpub=$(temp_beside "$dir" payload-key.pub.pem)
  temps+=("$tpub")
  # The private key is born unreadable to others: mktemp makes it 600 and the umask keeps
  # openssl from widening it, so there is no moment in which another user could copy it.
  (umask 077 && openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 \
    -pkeyopt ec_param_enc:named_curve -out "$tkey" 2>/dev/null) || die "openssl could not make a P-256 key"
  openssl pkey -in "$tkey" -pubout -out "$tpub" 2>/dev/null || die "openssl could not derive the public key"
  chmod 644 "$tpub"
  # ln refuses an existing name in one step: two keygens at once cannot both win, and the
  # loser never replaces the winner's key.
  ln -- "$tkey" "$key" 2>/dev/null || die "$key appeared meanwhile, or $dir does not allow links; nothing replaced"
  if ! ln -- "$tpub" "$pub" 2>/dev/null; then
    rm -f -- "$key"
    die "$pub appeared meanwhile; nothing replaced"
  fi
  echo "private key: $key (mode $(stat -c %a "$key"); keep it secret, off the download server)"
  echo "public key:  $pub (give it to the installer: TARVO_PAYLOAD_KEY=$pub)"
  echo "public key SHA-256 (DER): $(openssl pkey -pubin -in "$pub" -outform DER 2>/dev/null | sha256sum | cut -d' ' -f1)"
}

# The installer looks each archive up by its bare name in the list; sha256sum escapes a
# name with a newline or backslash (a leading "\"), which no reader of the plain format
# would match, and other control characters would make the list lie about the name.
check_name() {
  local n=$1
  case "$n" in
    '' | . | ..) die "'$n' is not a file name" ;;
    */*) die "$n: give names inside FOLDER, without folders" ;;
    *\\*) die "$n: names with a backslash cannot be listed" ;;
    SHA256SUMS | SHA256SUMS.sig) die "$n: the list cannot list itself" ;;
  esac
  if [[ $n == *[[:cntrl:]]* ]]; then die "names with a newline or other control character cannot be listed"; fi
}

sign() {
  local key=$1 folder=$2
  shift 2
  [ -d "$folder" ] || die "$folder is not a folder"
  [ -r "$key" ] || die "cannot read $key"
  is_p256_private "$key" || die "$key is not a P-256 private key (make one with: sign-payload.sh keygen DIR)"
  local real_key real_folder
  real_key=$(realpath -- "$key")
  real_folder=$(realpath -- "$folder")
  case "$real_key" in
    "$real_folder"/*) die "$key lies inside $folder, the folder to be published: move the private key elsewhere" ;;
  esac

  local names=()
  if [ $# -eq 0 ]; then
    local f
    for f in "$folder"/*.zip; do
      [ -f "$f" ] || continue
      names+=("${f##*/}")
    done
    [ ${#names[@]} -gt 0 ] || die "no *.zip in $folder"
  else
    names=("$@")
  fi
  local n seen=$'\n'
  for n in "${names[@]}"; do
    check_name "$n"
    [ -f "$folder/$n" ] || die "$folder/$n is not a file"
    case "$seen" in *$'\n'"$n"$'\n'*) die "$n is named twice" ;; esac
    seen+="$n"$'\n'
  done

  local list sig pub
  list=$(temp_beside "$folder" SHA256SUMS)
  sig=$(temp_beside "$folder" SHA256SUMS.sig)
  pub=$(mktemp)
  temps+=("$list" "$sig" "$pub")
  (cd -- "$folder" && sha256sum -- "${names[@]}") >"$list" || die "sha256sum failed in $folder"
  if grep -q '^[\]' "$list"; then die "sha256sum escaped a name; not signing"; fi
  # Read again from the list itself: a file still being uploaded while it was hashed would
  # otherwise be signed with a sum no later download matches.
  (cd -- "$folder" && sha256sum --check --strict --quiet -- "${list##*/}") ||
    die "a file changed while it was hashed; not signing"
  openssl dgst -sha256 -sign "$key" -out "$sig" "$list" || die "openssl could not sign with $key"
  openssl pkey -in "$key" -pubout -out "$pub" 2>/dev/null || die "openssl could not derive the public key from $key"
  openssl dgst -sha256 -verify "$pub" -signature "$sig" "$list" >/dev/null ||
    die "the new signature does not verify; nothing replaced"
  # mktemp's 600 would keep the web server from reading them.
  chmod 644 "$list" "$sig"
  # Two renames cannot be one: the signature goes first, so that in between a mirror serves
  # at worst a new signature beside the old list (rejected, the next try succeeds), never a
  # list without any signature.
  mv -f -- "$sig" "$folder/SHA256SUMS.sig" || die "cannot write $folder/SHA256SUMS.sig"
  mv -f -- "$list" "$folder/SHA256SUMS" || die "cannot write $folder/SHA256SUMS"
  cat -- "$folder/SHA256SUMS"
  echo "signed ${#names[@]} file(s): $folder/SHA256SUMS and $folder/SHA256SUMS.sig, verified with the public key of $key"
  echo "public key SHA-256 (DER): $(openssl pkey -pubin -in "$pub" -outform DER 2>/dev/null | sha256sum | cut -d' ' -f1)"
}

case "${1:-}" in
  -h | --help | help) usage ;;
  keygen)
    [ $# -eq 2 ] || bad_usage "keygen takes one folder"
    keygen "$2"
    ;;
  sign)
    [ $# -ge 3 ] || bad_usage "sign takes a key, a folder and optionally file names"
    sign "${@:2}"
    ;;
  '') bad_usage "no command" ;;
  *) bad_usage "unknown command: $1" ;;
esac
