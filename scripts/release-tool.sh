#!/bin/sh
# Release tooling for Plinkora's self-updates: an ed25519 key pair, signatures of files, and a
# signed update feed. The private key never belongs in the repository: keep it offline and pass
# its path on the command line.
#
#   release-tool.sh keygen DIR
#       Writes DIR/update-key.pem (private, mode 0600) and DIR/update-key.pub (the base64 public
#       key a release build is configured with: -DPLINKORA_UPDATE_PUBLIC_KEY=...).
#   release-tool.sh sign KEY FILE
#       Prints the base64 ed25519 signature of FILE.
#   release-tool.sh feed KEY OUT VERSION DISPLAY_VERSION URL FILE [ARCH]
#       Writes OUT/appcast.xml offering FILE (downloadable at URL) as build VERSION, shown as
#       DISPLAY_VERSION, for Linux on ARCH (default: this machine's), and OUT/appcast.xml.sig,
#       the feed's own signature. Publish both side by side.
set -eu

die() {
    echo "release-tool: $*" >&2
    exit 2
}

signature() {
    openssl pkeyutl -sign -inkey "$1" -rawin -in "$2" | base64 -w0
}

xml_escaped() {
    printf '%s' "$1" | sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/>/\&gt;/g' -e 's/"/\&quot;/g'
}

command -v openssl >/dev/null || die "openssl is needed"
[ $# -ge 1 ] || die "usage: keygen DIR | sign KEY FILE | feed KEY OUT VERSION DISPLAY URL FILE [ARCH]"
verb=$1
shift
case "$verb" in
keygen)
    [ $# -eq 1 ] || die "usage: keygen DIR"
    [ ! -e "$1/update-key.pem" ] || die "$1/update-key.pem exists; not overwriting a key"
    mkdir -p "$1"
    (umask 077 && openssl genpkey -algorithm ed25519 -out "$1/update-key.pem")
    openssl pkey -in "$1/update-key.pem" -pubout -outform DER | tail -c 32 | base64 -w0 \
        > "$1/update-key.pub"
    cat "$1/update-key.pub"
    echo
    ;;
sign)
    [ $# -eq 2 ] || die "usage: sign KEY FILE"
    signature "$1" "$2"
    echo
    ;;
feed)
    [ $# -ge 6 ] && [ $# -le 7 ] || die "usage: feed KEY OUT VERSION DISPLAY URL FILE [ARCH]"
    key=$1 out=$2 version=$3 display=$4 url=$5 file=$6 arch=${7:-$(uname -m)}
    case "$url" in https://*) ;; *) die "the download address must be https" ;; esac
    mkdir -p "$out"
    length=$(wc -c < "$file" | tr -d ' ')
    cat > "$out/appcast.xml" <<FEED
<?xml version="1.0" encoding="utf-8"?>
<rss version="2.0" xmlns:sparkle="http://www.andymatuschak.org/xml-namespaces/sparkle">
<channel>
<title>Plinkora</title>
<item>
<title>Plinkora $(xml_escaped "$display")</title>
<pubDate>$(LC_ALL=C date -u '+%a, %d %b %Y %H:%M:%S +0000')</pubDate>
<sparkle:version>$(xml_escaped "$version")</sparkle:version>
<sparkle:shortVersionString>$(xml_escaped "$display")</sparkle:shortVersionString>
<enclosure url="$(xml_escaped "$url")" length="$length" type="application/octet-stream" sparkle:os="linux-$(xml_escaped "$arch")" sparkle:edSignature="$(signature "$key" "$file")"/>
</item>
</channel>
</rss>
FEED
    signature "$key" "$out/appcast.xml" > "$out/appcast.xml.sig"
    ;;
*)
    die "unknown verb $verb"
    ;;
esac
