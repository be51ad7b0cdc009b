#!/bin/sh
# Builds the application, writes the demo data directory if it is missing,
# points the registry stand-in at it and starts the application.
set -e
cd "$(dirname "$0")/.."
top=$(pwd)
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
data="$top/demo-data"
if [ ! -f "$data/DADOS_KIPC.CDS" ]; then
    build/tools/kivdemo/kivdemo "$data"
fi
printf 'KivpcDir=%s\n' "$data" > "$top/build/Ostrel.ini"
export KIV_REGISTRY_INI="$top/build/Ostrel.ini"
echo "Dados de demonstração em $data (registro simulado: $KIV_REGISTRY_INI)"
if [ -z "$DISPLAY" ] && [ -z "$WAYLAND_DISPLAY" ] && [ "$QT_QPA_PLATFORM" != offscreen ]; then
    exec xvfb-run -a build/src/kiv "$@"
fi
exec build/src/kiv "$@"
