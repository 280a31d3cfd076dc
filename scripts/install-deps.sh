#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages the build and tests use that are missing.
# Idempotent: installs nothing when everything is present.
set -euo pipefail

packages=(
  cmake
  ninja-build
  g++
  make
  pkg-config
  libgtest-dev
  libgmock-dev
  libbenchmark-dev
  nlohmann-json3-dev
  libstb-dev
  libcli11-dev
  libspng-dev
  libdeflate-dev
  libjpeg-dev
  clang
  libclang-rt-14-dev
  libassimp-dev
  time
  qt6-base-dev
  fonts-dejavu-core
  slurm-wlm
  munge
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null; then
    sudo_cmd=(sudo)
  else
    echo "install-deps: missing packages (${missing[*]}) and not root; install them first" >&2
    exit 1
  fi
fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
