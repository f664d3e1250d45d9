#!/usr/bin/env bash
# The main job: installs the dependencies, builds the system and installs it into ./install,
# then converts the project's own sample frames into ZEL images with the installed zelconv,
# restores them with zelconv -r and reports, for each, whether the round trip is exact and
# otherwise the largest difference; then does the same for one directory with zelconv -d and
# zelconv -r -d.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$root/build"
cmake --install "$root/build" --prefix "$root/install"
echo "Installed into $root/install:"
ls -1 "$root/install/bin"

bin="$root/install/bin"
run="$root/build/samples_run"
rm -rf "$run"
mkdir -p "$run/source" "$run/zel" "$run/restored"
log="$run/zelconv.log"
"$bin/zel_samples" make "$run/source" > /dev/null 2>> "$log"

# zelconv ends with status 0 when it converted, 1 when it did not; its messages go to the log.
convert_or_fail() {
  local output="$1"
  shift
  rm -f "$output"
  if ! "$bin/zelconv" "$@" >> "$log" 2>&1 || [ ! -s "$output" ]; then
    echo "zelconv $* did not write $output; its messages are in $log:" >&2
    tail -n 20 "$log" >&2
    exit 1
  fi
}

echo
echo "Round trip of the bundled samples (folder $run):"
printf '%-24s %12s %12s  %s\n' "sample" "source bytes" "ZEL bytes" "round trip"
# name | zelconv options | restored suffix | grid for comparing a mosaic with its restored image
while IFS='|' read -r file options suffix grid; do
  name="${file%.*}"
  zel="$run/zel/$name.zel.png"
  restored="$run/restored/$name.$suffix"
  # shellcheck disable=SC2086  # options holds separate words
  convert_or_fail "$zel" -i "$run/source/$file" -o "$zel" $options
  convert_or_fail "$restored" -r -i "$zel" -o "$restored"
  # shellcheck disable=SC2086
  if ! result="$("$bin/zel_samples" compare "$run/source/$file" "$restored" $grid 2>> "$log")"
  then
    echo "cannot compare $file with $restored:" >&2
    tail -n 5 "$log" >&2
    exit 1
  fi
  printf '%-24s %12s %12s  %s\n' "$file" "$(stat -c %s "$run/source/$file")" \
    "$(stat -c %s "$zel")" "$result"
done << 'EOF'
grey12_few_levels.tif||tif|
grey16_many_levels.tif||tif|
grey8.png||png|
mosaic_rggb16.png|-b rggb -a id|tif|rggb
EOF

# One directory: the mosaic frame under three names, stored exactly through the raw path (four
# planes), all sharing one level analysis, and restored folder by folder.
dir="$run/directory"
mkdir -p "$dir/frames"
for name in night_001 night_002 night_003; do
  cp "$run/source/mosaic_rggb16.png" "$dir/frames/$name.png"
done
if ! "$bin/zelconv" -d "$dir/frames" --raw -b rggb >> "$log" 2>&1 ||
  ! "$bin/zelconv" -r -d "$dir/frames/ZEL" -o "$dir/restored" >> "$log" 2>&1; then
  echo "zelconv -d or -r -d failed; its messages are in $log:" >&2
  tail -n 20 "$log" >&2
  exit 1
fi
echo
echo "Round trip of the directory $dir/frames (zelconv -d --raw -b rggb, then -r -d):"
grep "Occupied levels" "$log" | tail -n 1 | sed 's/^\[[^]]*\]: /  /'
for frame in "$dir"/frames/*.png; do
  name="$(basename "$frame" .png)"
  restored="$dir/restored/$name.dezel.png"
  if ! result="$("$bin/zel_samples" compare "$frame" "$restored" 2>> "$log")"; then
    echo "cannot compare $frame with $restored" >&2
    exit 1
  fi
  printf '%-24s %12s %12s  %s\n' "$name.png" "$(stat -c %s "$frame")" \
    "$(stat -c %s "$dir/frames/ZEL/$name.zel.png")" "$result"
done
