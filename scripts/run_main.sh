#!/usr/bin/env bash
# Installs the dependencies, builds the system and installs it into ./install.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh" "$root/build"
cmake --install "$root/build" --prefix "$root/install"
echo "Installed into $root/install:"
ls -1 "$root/install/bin"
