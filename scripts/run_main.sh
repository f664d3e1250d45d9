#!/usr/bin/env bash
# The main job: installs the dependencies, builds the system and installs it into ./install,
# then converts the project's own sample frames into ZEL images with the installed zelconv,
# restores them with zelconv -r and reports, for each, whether the round trip is exact and
# otherwise the largest difference.
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

# zelconv ends with status 0 whether or not the conversion worked; it reports "Success" or
# "Failed" on standard error, and the output file tells the rest.
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
