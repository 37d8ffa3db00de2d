#!/usr/bin/env bash
# Starts the suite's main program from the staged suite folder.
set -euo pipefail
suite=${1:?usage: run-suite.sh SUITE_DIR}
# Absolute, because the program is started after changing into the folder.
suite=$(cd "$suite" && pwd)
main="$suite/ostrand"
[ -x "$main" ] || main="$suite/taviro/taviro"
if [ ! -x "$main" ]; then
  echo "nothing to run: $main was not built" >&2
  exit 1
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ "${QT_QPA_PLATFORM:-}" != "offscreen" ]; then
  cat >&2 <<MSG
No display found. To run the suite without one, use a virtual display:
  xvfb-run -a make run
or render off-screen (nothing is shown):
  QT_QPA_PLATFORM=offscreen make run
MSG
  exit 1
fi
cd "$suite"
exec "$main"
