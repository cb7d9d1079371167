#!/usr/bin/env bash
# Installs the Debian packages of scripts/packages.txt that are missing. Quiet and idempotent.
# Usage: scripts/deps.sh [--build-only]   (--build-only leaves out the lines marked "# test")
set -euo pipefail
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
build_only=0
[[ "${1:-}" == --build-only ]] && build_only=1
missing=()
while read -r pkg rest; do
    [[ -z "$pkg" || "$pkg" == \#* ]] && continue
    [[ $build_only == 1 && "$rest" == *"# test"* ]] && continue
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$pkg")
    fi
done <"$here/packages.txt"
if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo="sudo"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
