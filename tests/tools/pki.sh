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
#   tsa_start DIR MODE           tests/tools/tsa-server (MODE stamp or junk)
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
digests = sha1, sha256
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

tsa_start() {
    _port="$1/tsa-$2.port"
    "$top/tests/tools/tsa-server" "$1" "$2" 120 > "$_port" &
    tsa_pid=$!
    for _i in $(seq 1 50); do [ -s "$_port" ] && break; sleep 0.1; done
    [ -s "$_port" ] && tsa_url="http://127.0.0.1:$(cat "$_port")"
}
