#!/bin/sh
# A private PKI for the https tests, made in DIR with openssl: a root CA (ca.pem) and server
# certificates with their keys (NAME.pem, NAME.key):
#   good        127.0.0.1 and localhost, from the CA
#   othername   only other.example, from the CA
#   untrusted   127.0.0.1, from a second CA nobody trusts
#   expired     127.0.0.1, from the CA, valid in 2020 only
#   selfsigned  127.0.0.1, its own issuer
# usage: sh make-test-pki.sh DIR
set -eu
dir=$1
mkdir -p "$dir"
cd "$dir"
key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1" 2>/dev/null; }
root() {  # root NAME CN
  key "$1.key"
  openssl req -x509 -new -key "$1.key" -out "$1.pem" -days 30 -subj "/CN=$2" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
}
server() {  # server NAME CA SAN [openssl-ca options]
  name=$1 ca=$2 san=$3
  shift 3
  key "$name.key"
  openssl req -new -key "$name.key" -out "$name.csr" -subj "/CN=$name" 2>/dev/null
  printf 'basicConstraints=CA:FALSE\nsubjectAltName=%s\nextendedKeyUsage=serverAuth\n' "$san" > "$name.ext"
  if [ $# -eq 0 ]; then
    openssl x509 -req -in "$name.csr" -CA "$ca.pem" -CAkey "$ca.key" -CAcreateserial -out "$name.pem" \
      -days 10 -extfile "$name.ext" 2>/dev/null
  else
    # openssl ca takes fixed dates; its database lives beside the certificates.
    mkdir -p "$ca.db"
    : > "$ca.db/index.txt"
    printf '[ca]\ndefault_ca=d\n[d]\ndatabase=%s\nnew_certs_dir=%s\nserial=%s\ndefault_md=sha256\npolicy=p\n[p]\ncommonName=supplied\n' \
      "$ca.db/index.txt" "$ca.db" "$ca.db/serial" > "$ca.db/ca.cnf"
    echo 01 > "$ca.db/serial"
    openssl ca -batch -config "$ca.db/ca.cnf" -cert "$ca.pem" -keyfile "$ca.key" -in "$name.csr" -out "$name.pem" \
      -extfile "$name.ext" -notext "$@" 2>/dev/null
  fi
}
root ca "Tarvo Test CA"
root otherca "Nobody's CA"
server good ca "IP:127.0.0.1,DNS:localhost"
server othername ca "DNS:other.example"
server untrusted otherca "IP:127.0.0.1,DNS:localhost"
server expired ca "IP:127.0.0.1,DNS:localhost" -startdate 20200101000000Z -enddate 20201231000000Z
key selfsigned.key
openssl req -x509 -new -key selfsigned.key -out selfsigned.pem -days 10 -subj "/CN=127.0.0.1" \
  -addext subjectAltName=IP:127.0.0.1,DNS:localhost 2>/dev/null
