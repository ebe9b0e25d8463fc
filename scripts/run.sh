#!/usr/bin/env bash
# Builds the tool and runs its main job. With a display: the demo window on the virtual product
# (plug it, click Update F/W). Without one: the headless runner updates a virtual product in
# application code with old firmware, the two-run update, and prints its status log.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset default >/dev/null
cmake --build --preset default -j "$(nproc)"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec build/default/app/qt/torvex-isp-demo
fi
exec build/default/cli/torvex-isp-cli --virtual application-old --tick-ms 50
