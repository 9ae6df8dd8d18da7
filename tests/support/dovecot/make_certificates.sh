#!/bin/sh
# Makes, in folder $1, a test certificate authority (ca.pem) and the server certificates the TLS tests use, each with
# its key (NAME.pem, NAME.key):
#   good            for localhost and 127.0.0.1, signed by ca
#   wrong-host      for mail.other.example only, signed by ca
#   expired         for localhost and 127.0.0.1, signed by ca, valid in 2020 only
#   not-yet-valid   for localhost and 127.0.0.1, signed by ca, valid from 2090
#   unknown-issuer  for localhost and 127.0.0.1, signed by an authority nobody trusts
set -eu
cd "$1"
# RSA keys: Wine's crypt32 now and then refuses a valid ECDSA signature (one whose r or s is shorter than the curve's
# size), and which of the fresh keys would sign that way is chance.
key() { openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1.key" 2>/dev/null; }
extensions() { printf 'basicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\nsubjectAltName=%s\n' "$2" > "$1.ext"; }

for authority in ca other-ca; do
  key "$authority"
  openssl req -x509 -new -key "$authority.key" -out "$authority.pem" -days 3650 -subj "/CN=Zendrel test $authority" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
done

server() {  # NAME AUTHORITY SUBJECT-ALT-NAMES
  key "$1"
  openssl req -new -key "$1.key" -out "$1.csr" -subj "/CN=$1" 2>/dev/null
  extensions "$1" "$3"
  openssl x509 -req -in "$1.csr" -CA "$2.pem" -CAkey "$2.key" -CAcreateserial -days 3650 -extfile "$1.ext" \
    -out "$1.pem" 2>/dev/null
}
server good ca "DNS:localhost,IP:127.0.0.1"
server wrong-host ca "DNS:mail.other.example"
server unknown-issuer other-ca "DNS:localhost,IP:127.0.0.1"

# openssl x509 cannot date a certificate in the past; openssl ca can.
for dated in expired not-yet-valid; do
  key "$dated"
  openssl req -new -key "$dated.key" -out "$dated.csr" -subj "/CN=$dated" 2>/dev/null
  extensions "$dated" "DNS:localhost,IP:127.0.0.1"
done
mkdir -p issued && : > issued/index.txt && echo 1000 > issued/serial
cat > ca.cnf <<'CONF'
[ca]
default_ca = test
[test]
database = issued/index.txt
serial = issued/serial
new_certs_dir = issued
certificate = ca.pem
private_key = ca.key
default_md = sha256
policy = any
[any]
commonName = supplied
CONF
openssl ca -batch -notext -config ca.cnf -in expired.csr -out expired.pem -extfile expired.ext \
  -startdate 20200101000000Z -enddate 20201231000000Z 2>/dev/null
openssl ca -batch -notext -config ca.cnf -in not-yet-valid.csr -out not-yet-valid.pem -extfile not-yet-valid.ext \
  -startdate 20900101000000Z -enddate 20911231000000Z 2>/dev/null
