# pki.sh - throw-away certificates and a time-stamping server for the
# tests that sign (tests/tools/make-medium-test, tests/wine/test-media).
# Sourced; plain POSIX sh.
#
#   pki_root DIR SUBJECT_PREFIX  a certificate authority "PREFIX root" in
#                                DIR (root.pem, root.der, root.key), and
#                                DIR/ca.cnf, which also configures the
#                                time-stamping server
#   pki_issue DIR NAME START END EXTENSIONS
#                                DIR/NAME.pem and NAME.key, "PREFIX NAME",
#                                issued by the root, valid from START to END
#                                (YYYYMMDDHHMMSSZ), with the key usage of a
#                                section of ca.cnf: codesign, server, tsa_cert,
#                                plain (no extended key usage at all)
#   pki_p12 DIR NAME PASSWORD_FILE
#                                DIR/NAME.p12: NAME's key and certificate,
#                                the root as its chain
#   pki_token DIR                a SoftHSM2 token "test" (PIN 1234) in DIR/tokens,
#                                with DIR/softhsm2.conf as SOFTHSM2_CONF
#                                (exported): an RSA-3072 key made on it,
#                                never extractable ("key", id 01), and the
#                                root's code-signing certificate for it,
#                                stored on it ("cert") and in DIR/token.pem;
#                                the library in pkcs11_module
#   tsa_start DIR MODE           tests/tools/tsa-server (MODE stamp, busy or junk)
#                                on 127.0.0.1, signed by DIR/tsa.pem, for two
#                                minutes at most; its URL in tsa_url, its
#                                process in tsa_pid ($top: the checkout)
# Each returns non-zero when openssl or the server failed.

pki_root() {
    cat > "$1/ca.cnf" <<'CNF'
[ca]
default_ca = test
[test]
database = index.txt
new_certs_dir = .
serial = serial
default_md = sha256
policy = any
copy_extensions = copy
unique_subject = no
[any]
commonName = supplied
[root]
basicConstraints = critical,CA:true
keyUsage = critical,keyCertSign,cRLSign
[codesign]
extendedKeyUsage = codeSigning
[server]
extendedKeyUsage = serverAuth
[plain]
basicConstraints = CA:false
[tsa_cert]
keyUsage = critical,digitalSignature
extendedKeyUsage = critical,timeStamping
[tsa]
default_tsa = tsa_config
[tsa_config]
serial = ./tsaserial
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256
accuracy = secs:1
ess_cert_id_alg = sha256
CNF
    : > "$1/index.txt" && printf '01\n' > "$1/serial" && printf '01\n' > "$1/tsaserial" &&
        printf '%s\n' "$2" > "$1/subject-prefix" &&
        (cd "$1" &&
         openssl req -x509 -newkey rsa:2048 -nodes -days 3 -subj "/CN=$2 root" -config ca.cnf \
             -extensions root -keyout root.key -out root.pem &&
         openssl x509 -in root.pem -outform DER -out root.der) >/dev/null 2>&1
}

pki_issue() {
    (cd "$1" &&
     openssl req -new -newkey rsa:2048 -nodes -subj "/CN=$(cat subject-prefix) $2" -keyout "$2.key" \
         -out "$2.csr" &&
     openssl ca -batch -config ca.cnf -cert root.pem -keyfile root.key -in "$2.csr" -startdate "$3" \
         -enddate "$4" -extensions "$5" -out "$2.pem" && rm -f "$2.csr" ./0*.pem) >/dev/null 2>&1
}

pki_p12() {
    (cd "$1" && openssl pkcs12 -export -in "$2.pem" -inkey "$2.key" -certfile root.pem \
        -out "$2.p12" -passout "file:$3") >/dev/null 2>&1
}

pkcs11_module=/usr/lib/x86_64-linux-gnu/softhsm/libsofthsm2.so
pki_token() {
    mkdir -p "$1/tokens" &&
        printf 'directories.tokendir = %s/tokens\nobjectstore.backend = file\n' "$1" > "$1/softhsm2.conf" &&
        printf '1234\n' > "$1/token.pin" || return 1
    SOFTHSM2_CONF="$1/softhsm2.conf"
    export SOFTHSM2_CONF
    (cd "$1" &&
     softhsm2-util --init-token --free --label test --so-pin 12345678 --pin 1234 &&
     pkcs11-tool --module "$pkcs11_module" --token-label test --login --pin 1234 \
         --keypairgen --key-type rsa:3072 --id 01 --label key &&
     PKCS11_MODULE_PATH="$pkcs11_module" openssl req -new -engine pkcs11 -keyform engine \
         -key "pkcs11:token=test;object=key;type=private" -passin file:token.pin \
         -subj "/CN=$(cat subject-prefix) token" -out token.csr &&
     openssl ca -batch -config ca.cnf -cert root.pem -keyfile root.key -in token.csr \
         -days 2 -extensions codesign -out token.pem &&
     openssl x509 -in token.pem -outform DER -out token.der &&
     pkcs11-tool --module "$pkcs11_module" --token-label test --login --pin 1234 \
         --write-object token.der --type cert --id 01 --label cert &&
     rm -f token.csr ./0*.pem) >/dev/null 2>&1
}

tsa_start() {
    _port="$1/tsa-$2.port"
    "$top/tests/tools/tsa-server" "$1" "$2" 120 > "$_port" &
    tsa_pid=$!
    for _i in $(seq 1 50); do [ -s "$_port" ] && break; sleep 0.1; done
    [ -s "$_port" ] && tsa_url="http://127.0.0.1:$(cat "$_port")"
}
