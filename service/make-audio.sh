#!/usr/bin/env bash
# Regenerates the short sample tunes the demo service serves for every catalogue entry.
# Needs sox, lame and ffmpeg (Debian packages of the same names); the results are committed,
# so building or running the service never needs these tools.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
out="$here/audio"
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$out"

# A four-second pentatonic phrase: eight half-second notes with a soft fade each.
notes=(E4 G4 A4 C5 D5 C5 A4 G4)
parts=()
for i in "${!notes[@]}"; do
  sox -n -r 22050 -c 1 "$tmp/n$i.wav" synth 0.5 pluck "${notes[$i]}" fade q 0.01 0.5 0.15 vol 0.7
  parts+=("$tmp/n$i.wav")
done
sox "${parts[@]}" "$tmp/tune.wav"

lame --quiet -m m -b 32 --tt "Melorin sample" "$tmp/tune.wav" "$out/sample.mp3"
ffmpeg -v error -y -i "$tmp/tune.wav" -c:a wmav2 -b:a 32k -f asf "$out/sample.wma"
ffmpeg -v error -y -i "$tmp/tune.wav" -c:a wmav1 -b:a 32k -f asf "$out/sample.asf"
# RealMedia carries AC-3: GStreamer here has no decoder for RealAudio 14.4.
ffmpeg -v error -y -i "$tmp/tune.wav" -ar 44100 -ac 1 -c:a ac3 -b:a 32k -f rm "$out/sample.rm"
# The service rewrites this host to the one a request came to before serving the file.
printf 'http://127.0.0.1:8360/audio/sample.rm\r\n' >"$out/sample.ram"
ls -l "$out"
