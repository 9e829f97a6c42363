#!/bin/sh
# Runs check_session.lua in Ardour's headless interpreter for one format of the build.
# usage: tools/ardour/check_session.sh VST2|VST3|LV2 [build folder] [program label]
set -eu
here="$(cd "$(dirname "$0")" && pwd)"
format="${1:?usage: $0 VST2|VST3|LV2 [build folder] [program label]}"
build="$(cd "${2:-$here/../../build}" && pwd)"
artefacts="$build/formats/DUNSKARA_artefacts/Release"

work="$(mktemp -d /tmp/dunskara-ardour.XXXXXX)"
# DUNSKARA_KEEP=1 keeps the session (its folder is printed) for a look at the saved state.
if [ -z "${DUNSKARA_KEEP:-}" ]; then trap 'rm -rf "$work"' EXIT; else echo "######## keeping $work"; fi

# A private home: Ardour's configuration, plug-in cache and scan results start empty and
# see only this build (plus the system's own plug-in folders).
export HOME="$work/home"
mkdir -p "$HOME"
export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache"

# Headless Ardour only reads its plug-in cache: the scanners that the GUI would run
# write the cache entry for this build first.
ardour_lib="${ARDOUR_LIB:-/usr/lib/ardour7}"
scan() { LD_LIBRARY_PATH="$ardour_lib${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" "$ardour_lib/$1" -q -f "$2"; }

case "$format" in
  VST2) export VST_PATH="$artefacts/VST" LXVST_PATH="$artefacts/VST" DUNSKARA_PLUGIN="DUNSKARA"
        scan ardour-vst-scanner "$artefacts/VST/libDUNSKARA.so" ;;
  VST3) export VST3_PATH="$artefacts/VST3" DUNSKARA_PLUGIN="DUNSKARA"
        scan ardour-vst3-scanner "$artefacts/VST3/DUNSKARA.vst3" ;;
  LV2)  export LV2_PATH="$artefacts/LV2${LV2_PATH:+:$LV2_PATH}"
        # The plug-in's URI: the subject that the bundle's manifest calls an lv2:Plugin.
        DUNSKARA_PLUGIN="$(awk '/^<[^>]*>$/ { subject = $1 } /a lv2:Plugin/ { gsub (/[<>]/, "", subject); print subject; exit }' \
                           "$artefacts/LV2/DUNSKARA.lv2/manifest.ttl")"
        export DUNSKARA_PLUGIN ;;
  *) echo "format must be VST2, VST3 or LV2" >&2; exit 2 ;;
esac

export DUNSKARA_FORMAT="$format" DUNSKARA_SESSION="$work/session" DUNSKARA_PROGRAM="${3:-user4}"
# Ardour's own teardown at exit may crash or hang after the work is done (its exit status
# is reported, not fatal); the session on disk is what the second phase reads.
for phase in create reopen; do
  status=0
  DUNSKARA_PHASE="$phase" timeout "${ARDOUR_CHECK_TIMEOUT:-120}" "${ARDOUR_LUA:-ardour7-lua}" "$here/check_session.lua" || status=$?
  echo "######## $phase phase: ardour7-lua exit status $status"
done
