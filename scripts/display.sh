# Sourced by the scripts that show windows under Wine: when there is no
# DISPLAY, starts Xvfb on a free display number and exports DISPLAY; the
# server is stopped when the calling script exits.
quz_start_display() {
  if [ -n "${DISPLAY:-}" ]; then return 0; fi
  local n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  QUZ_XVFB_PID=$!
  trap 'kill "$QUZ_XVFB_PID" 2>/dev/null || true' EXIT
  export DISPLAY=":$n"
  # Ready once its socket is there.
  for _ in $(seq 100); do
    [ -e "/tmp/.X11-unix/X$n" ] && return 0
    sleep 0.1
  done
  echo "display: Xvfb did not start on :$n" >&2
  return 1
}
