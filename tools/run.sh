#!/usr/bin/env bash
# Installs what is missing, builds (Release) and starts Quillmar on the bundled sample register.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DQM_TESTS=OFF -DQM_BENCH=OFF >/dev/null
cmake --build build -j "$(nproc)"
exec build/bin/quillmar "$@"
