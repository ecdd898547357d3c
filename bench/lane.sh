# The benchmarks that drive the real program through the end-to-end
# helpers run in a Wine prefix of their own: the helpers never run in
# run.sh's prefix, where the user's own Tessik may live. Sourced by the
# script, which sets HERE to the bench folder.
#
# bench_outside <another build's Tessik.exe, or empty> <targets...>: the
# outer run's display and prefix; the targets are built unless another
# build is given (its probes and bench programs must exist then).
# bench_inside: the run itself takes that display and prefix as a lane of
# its own.
bench_outside() {
  local other="$1"
  shift
  export WINEPREFIX_TESSIK="${WINEPREFIX_TESSIK:-${TESSIK_BUILD:-$HERE/../build}/wineprefix.dropbench}"
  source "$HERE/../scripts/setup.sh"
  trap 'stop_display' EXIT
  if [ -z "$other" ]; then
    tessik_setup --target "$@" >/dev/null
  else
    ensure_display
    prepare_wine_prefix
  fi
}

bench_inside() {
  export CTEST_RESOURCE_GROUP_0_LANES="id:dropbench,slots:1"
  export TESSIK_LANE_dropbench_DISPLAY="$DISPLAY" TESSIK_LANE_dropbench_PREFIX="$WINEPREFIX_TESSIK"
  unset WINEPREFIX_TESSIK
}
