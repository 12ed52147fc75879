# Sourced by tools/release.sh: signs an exe with its maker's code-signing certificate, through
# osslsigncode, and checks what it signed. What to sign with comes from the environment:
#   KESTOVAR_SIGN_PKCS12          the PKCS#12 file (.p12, .pfx) holding the certificate and key
#   KESTOVAR_SIGN_PASSWORD_FILE   a file whose first line is its password, or else
#   KESTOVAR_SIGN_PASSWORD        the password itself
#   KESTOVAR_TIMESTAMP_URL        an RFC 3161 time-stamp server (optional)
#   KESTOVAR_SIGN_CA              more certificate authorities (PEM) to check the signature
#                                 against, besides the system's (optional)
#
#   sign_take_environment FOLDER  takes every KESTOVAR_SIGN_* variable out of the environment,
#                                 so that no program started later sees one, into this shell's
#                                 own variables; relative paths are FOLDER's. Says at once when
#                                 a file named cannot be read; opens none.
#   sign_wanted                   true when KESTOVAR_SIGN_PKCS12 was set
#   sign_prepare DIR              checks that the certificate opens with its password, may sign
#                                 code and has not expired; keeps what signing needs in DIR,
#                                 readable by us only
#   sign_exe IN OUT DESCRIPTION   signs IN into OUT (SHA-256, DESCRIPTION as the program's name,
#                                 time-stamped when a server is named) and verifies OUT
# With SOURCE_DATE_EPOCH set, that is the signature's signing time, so that the same exe and
# certificate give the same signature (with an RSA key, and without a time stamp).
# The password never reaches a command line or the screen: both tools read it from a file.
# Each function prints what went wrong and returns non-zero on failure.

source "$(dirname "${BASH_SOURCE[0]}")/need.sh"

SIGN_PKCS12=""
SIGN_GIVEN_PASSWORD_FILE=""
SIGN_PASSWORD=""
SIGN_PASSWORD_SET=""
SIGN_CA=""
SIGN_DIR=""
SIGN_READPASS=""  # the password as both tools read it, in SIGN_DIR

sign_log() { echo "sign.sh: $*" >&2; }

sign_take_environment() {
  local folder=$1 name path
  SIGN_PKCS12=$(sign_path "$folder" "${KESTOVAR_SIGN_PKCS12:-}")
  SIGN_GIVEN_PASSWORD_FILE=$(sign_path "$folder" "${KESTOVAR_SIGN_PASSWORD_FILE:-}")
  SIGN_CA=$(sign_path "$folder" "${KESTOVAR_SIGN_CA:-}")
  SIGN_PASSWORD=${KESTOVAR_SIGN_PASSWORD-}
  SIGN_PASSWORD_SET=${KESTOVAR_SIGN_PASSWORD+set}
  for name in $(compgen -v KESTOVAR_SIGN_ || true); do
    unset "$name"
  done
  for path in "$SIGN_PKCS12" "$SIGN_GIVEN_PASSWORD_FILE" "$SIGN_CA"; do
    [ -z "$path" ] || [ -r "$path" ] || { sign_log "cannot read $path" && return 1; }
  done
}

# A path as given, taken from folder $1 when it is relative.
sign_path() { case $2 in "" | /*) printf '%s' "$2" ;; *) printf '%s' "$1/$2" ;; esac; }

sign_wanted() { [ -n "$SIGN_PKCS12" ]; }

sign_prepare() {
  need openssl osslsigncode ca-certificates
  SIGN_DIR=$1
  mkdir -p "$SIGN_DIR" && chmod 0700 "$SIGN_DIR" || return 1
  local p12=$SIGN_PKCS12
  [ -r "$p12" ] || { sign_log "cannot read the certificate file $p12"; return 1; }
  SIGN_READPASS=$SIGN_DIR/password
  if [ -n "$SIGN_GIVEN_PASSWORD_FILE" ]; then
    # Its first line, without the carriage return a file written on Windows ends it with.
    local line
    IFS= read -r line <"$SIGN_GIVEN_PASSWORD_FILE" || [ -n "$line" ] || return 1
    (umask 077 && printf '%s\n' "${line%$'\r'}" >"$SIGN_READPASS") || return 1
  elif [ -n "$SIGN_PASSWORD_SET" ]; then
    # printf is a shell builtin: the password is on no process's command line.
    (umask 077 && printf '%s\n' "$SIGN_PASSWORD" >"$SIGN_READPASS") || return 1
  else
    sign_log "set KESTOVAR_SIGN_PASSWORD_FILE (or KESTOVAR_SIGN_PASSWORD) to the password of $p12"
    return 1
  fi

  # The signer's certificate is the one that goes with the key. -legacy also opens the older
  # encryption that some Windows versions use when they export a .pfx.
  if ! openssl pkcs12 -legacy -in "$p12" -passin "file:$SIGN_READPASS" -nokeys -clcerts \
    -out "$SIGN_DIR/signer.pem" 2>"$SIGN_DIR/openssl.log"; then
    sed 's/^/  /' "$SIGN_DIR/openssl.log" >&2
    sign_log "cannot open $p12 with its password"
    return 1
  fi
  local signer
  signer=$(openssl x509 -in "$SIGN_DIR/signer.pem" -noout -subject -nameopt oneline) || return 1
  signer=${signer#subject=}
  # Windows takes an Authenticode signature only from a certificate issued for code signing.
  if ! openssl x509 -in "$SIGN_DIR/signer.pem" -noout -ext extendedKeyUsage |
    grep -qx '[[:space:]]*\(.*, \)\?Code Signing\(, .*\)\?'; then
    sign_log "the certificate in $p12 ($signer) cannot sign code:"
    sign_log "its extended key usage has no Code Signing"
    return 1
  fi
  if ! openssl x509 -in "$SIGN_DIR/signer.pem" -noout -checkend 0 >/dev/null; then
    sign_log "the certificate in $p12 ($signer) has expired"
    return 1
  fi
  cat /etc/ssl/certs/ca-certificates.crt ${SIGN_CA:+"$SIGN_CA"} \
    >"$SIGN_DIR/authorities.pem" || return 1
  echo "Signing with the certificate of $signer"
}

sign_exe() {
  local in=$1 out=$2 description=$3
  local args=(sign -pkcs12 "$SIGN_PKCS12" -readpass "$SIGN_READPASS" -h sha256
    -n "$description")
  [ -z "${SOURCE_DATE_EPOCH:-}" ] || args+=(-time "$SOURCE_DATE_EPOCH")
  [ -z "${KESTOVAR_TIMESTAMP_URL:-}" ] || args+=(-ts "$KESTOVAR_TIMESTAMP_URL")
  rm -f "$out"
  if ! osslsigncode "${args[@]}" -in "$in" -out "$out" >"$SIGN_DIR/sign.log" 2>&1; then
    sed 's/^/  /' "$SIGN_DIR/sign.log" >&2
    sign_log "osslsigncode could not sign $in"
    return 1
  fi
  # The check a user's Windows makes, as far as Linux can: the signature matches the exe, comes
  # from a code-signing certificate that a known authority issued, and so does its time stamp.
  local verify="$SIGN_DIR/verify.log"
  if ! osslsigncode verify -CAfile "$SIGN_DIR/authorities.pem" \
    -TSA-CAfile "$SIGN_DIR/authorities.pem" -in "$out" >"$verify" 2>&1; then
    sed 's/^/  /' "$verify" >&2
    sign_log "the signed $out does not verify (if its authority is not among the system's, name it"
    sign_log "in KESTOVAR_SIGN_CA)"
    return 1
  fi
  if [ -n "${KESTOVAR_TIMESTAMP_URL:-}" ]; then
    grep -q '^Timestamp Server Signature verification: ok' "$verify" ||
      { sed 's/^/  /' "$verify" >&2 && sign_log "the time stamp does not verify" && return 1; }
    echo "Signed and time-stamped by $KESTOVAR_TIMESTAMP_URL; verified."
  else
    echo "Signed, not time-stamped; verified. Without a time stamp the signature stops being valid"
    echo "when the certificate expires ($(openssl x509 -in "$SIGN_DIR/signer.pem" -noout -enddate |
      cut -d= -f2)): set KESTOVAR_TIMESTAMP_URL for a release that outlives it."
  fi
}
