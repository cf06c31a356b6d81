#!/usr/bin/env bash
# Serves the yield explorer on 127.0.0.1 (building it first if needed) and
# prints its address. PORT (default 8765) chooses the port.
#   scripts/explore.sh [PORT]
set -euo pipefail
cd "$(dirname "$0")/.."
port="${1:-8765}"
site=build-web/site
stale=0
[ -f "$site/index.html" ] && [ -f "$site/sylvo_web.js" ] || stale=1
if [ "$stale" = 0 ] && [ -n "$(find web engine frame models include tools/sylvo -newer "$site/sylvo_web.js" -type f 2>/dev/null | head -1)" ]; then
  stale=1
fi
[ "$stale" = 0 ] || scripts/build-web.sh
echo "The yield explorer: http://127.0.0.1:$port/  (Ctrl-C stops it)"
exec /usr/bin/python3 -m http.server "$port" --bind 127.0.0.1 --directory "$site"
