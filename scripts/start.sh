#!/usr/bin/env bash
# Installs what is missing, builds and starts Framecatch.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
BUILD_DIR="${BUILD_DIR:-build}" scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting Framecatch on a virtual X server (xvfb-run)." >&2
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "${BUILD_DIR:-build}/app/framecatch"
fi
exec "${BUILD_DIR:-build}/app/framecatch"
