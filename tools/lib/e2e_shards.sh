# The end-to-end tests (pytest under Wine) in shards that run at the same time. Source it
# after tools/lib/wine.sh.
#
# Each shard has a Wine prefix, wineserver and virtual display of its own (shard 1 the
# project's prefix and the display tools/test started, shard N build/wine/prefixN and an Xvfb
# of its own), so no window, key press or registry value of one shard reaches the other. The
# tests' local servers listen on the port built into build/win32-local, so each shard runs in
# a network namespace of its own with only its loopback. Without one (not root) the tests run
# in one shard, one file after the other as before. ORFEDA_TEST_SHARDS sets the number
# (default 1: one pytest; 2 for two, which on a 2-CPU machine still meets a Wine start that
# fails now and then under the load, see README).

E2E_SHARD_PREFIXES=()
E2E_SHARD_DISPLAYS=()
E2E_SHARD_READY=()

# How a shard is cut off from the other shards' network: empty when it cannot be.
e2e_isolation() {
  if [ "$(id -u)" = 0 ] && unshare -n sh -c 'ip link set lo up' >/dev/null 2>&1; then
    echo "unshare -n"
  fi
}

e2e_shard_count() {
  local n=${ORFEDA_TEST_SHARDS:-1}
  case "$n" in '' | *[!0-9]* | 0) n=1 ;; esac
  if [ "$n" -gt 1 ] && [ -z "$(e2e_isolation)" ]; then
    echo "NOTE: no network namespace for the test shards here (needs root): one shard" >&2
    n=1
  fi
  echo "$n"
}

# Starts the displays of shards 2..N and prepares their prefixes in the background (the
# first shard uses what tools/test prepared). Call after xvfb_start and wine_prepare_prefix.
e2e_prepare_shards() {
  local n=$1 i keep=$DISPLAY
  E2E_SHARD_PREFIXES=("$WINEPREFIX")
  E2E_SHARD_DISPLAYS=("$DISPLAY")
  E2E_SHARD_READY=("")
  for ((i = 2; i <= n; i++)); do
    local p="$ROOT/build/wine/prefix$i"
    unset DISPLAY
    xvfb_start || { export DISPLAY=$keep; return 1; }
    E2E_SHARD_DISPLAYS+=("$DISPLAY")
    E2E_SHARD_PREFIXES+=("$p")
    (export WINEPREFIX=$p; wine_prepare_prefix) &
    E2E_SHARD_READY+=($!)
  done
  export DISPLAY=$keep
}

# Runs the given test files in the prepared shards; prints each shard's output when it has
# ended and returns non-zero when any shard failed.
e2e_run_shards() {
  local n=${#E2E_SHARD_PREFIXES[@]} iso i rc=0
  iso=$(e2e_isolation)
  for ((i = 2; i <= n; i++)); do
    wait "${E2E_SHARD_READY[$((i - 1))]}" || { echo "Wine prefix of shard $i failed" >&2; return 1; }
  done
  # Wine makes a program's sockets in the wineserver, so each shard's wineserver (and Wine's
  # services) must start inside the shard's network namespace: the one tools/test started
  # for the Windows tests is ended here.
  for ((i = 1; i <= n; i++)); do
    WINEPREFIX=${E2E_SHARD_PREFIXES[$((i - 1))]} wineserver -k >/dev/null 2>&1
    WINEPREFIX=${E2E_SHARD_PREFIXES[$((i - 1))]} wineserver -w >/dev/null 2>&1
    STARTED_PREFIXES+=("${E2E_SHARD_PREFIXES[$((i - 1))]}")
  done
  local -a pids logs lists
  mkdir -p "$ROOT/build/pytest"
  mapfile -t lists < <(/usr/bin/python3 "$ROOT/tools/lib/e2e_split.py" "$n" "$@")
  for ((i = 1; i <= n; i++)); do
    local -a files=()
    local line
    for line in "${lists[@]}"; do [ "${line%% *}" = "$i" ] && files+=("${line#* }"); done
    local log="$ROOT/build/pytest/shard$i.log" p=${E2E_SHARD_PREFIXES[$((i - 1))]}
    logs+=("$log")
    echo "shard $i/$n: ${#files[@]} files (${files[*]#"$ROOT/tests/"}), output in ${log#"$ROOT/"}"
    WINEPREFIX=$p ORFEDA_WINEPREFIX=$p DISPLAY=${E2E_SHARD_DISPLAYS[$((i - 1))]} ORFEDA_E2E_SHARD=$i \
      $iso bash -c 'ip link set lo up || exit 1
        wineserver -p >/dev/null 2>&1 </dev/null &
        wine cmd /c exit >/dev/null 2>&1 </dev/null
        exec "$@"' shard \
      /usr/bin/python3 -m pytest -q -p no:cacheprovider --import-mode=importlib \
      --rootdir "$ROOT/tests" --basetemp "$ROOT/build/pytest/shard$i" "${files[@]}" \
      >"$log" 2>&1 </dev/null &
    pids+=($!)
  done
  for ((i = 1; i <= n; i++)); do
    local code=0
    wait "${pids[$((i - 1))]}" || code=$?
    echo
    echo "--- end-to-end shard $i/$n (exit $code) ---"
    cat "${logs[$((i - 1))]}"
    [ $code -eq 0 ] || rc=1
  done
  return $rc
}
