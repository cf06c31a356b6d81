# Sourced by the set-up and build scripts: one line per step on the screen,
# the step's own output in a log file, shown in full only when it fails.
#   step_log FILE                 where the output goes (appended)
#   step "what is done" CMD...    runs CMD, output to the log
step_log() {
  STEP_LOG=$1
  mkdir -p "$(dirname "$STEP_LOG")"
  : > "$STEP_LOG"
}

step() {
  local what=$1
  shift
  local log=${STEP_LOG:-/dev/null}
  echo "$what (log: $log)" >&2
  { echo "== $(date -u '+%F %T') $what: $*"; } >> "$log"
  local status=0
  "$@" >> "$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    echo "FAILED ($status): $what. Its output, from $log:" >&2
    awk -v mark="== " 'index($0, mark) == 1 { buf = "" } { buf = buf $0 "\n" } END { printf "%s", buf }' "$log" >&2
    return "$status"
  fi
}
