#!/usr/bin/env bash
# The main job: set up, build, install the plug-ins into ~/.vst, ~/.vst3, ~/.lv2 and ~/.clap,
# render the built-in demo through the processor and draw the editor into a picture.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

bash "$root/scripts/setup.sh"

build="$root/build"
configure "$build"
cmake --build "$build" -j"$jobs" --target DUNSKARA_All DUNSKARA_CLAP dunskara-render

artefacts="$build/formats/DUNSKARA_artefacts/Release"
mkdir -p "$HOME/.vst" "$HOME/.vst3" "$HOME/.lv2" "$HOME/.clap"
install -m 755 "$artefacts/VST/libDUNSKARA.so" "$HOME/.vst/DUNSKARA.so"
rm -rf "$HOME/.vst3/DUNSKARA.vst3" "$HOME/.lv2/DUNSKARA.lv2"
cp -r "$artefacts/VST3/DUNSKARA.vst3" "$HOME/.vst3/"
cp -r "$artefacts/LV2/DUNSKARA.lv2" "$HOME/.lv2/"
install -m 755 "$build/formats/clap/DUNSKARA.clap" "$HOME/.clap/DUNSKARA.clap"

out="$root/out"
mkdir -p "$out"
"$build/tools/render/dunskara-render" "$out/demo.wav" --dry "$out/demo-dry.wav" \
  --editor-png "$out/editor.png"
# The window as a screen at 200 % shows it; the audio of this second run is not kept.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
"$build/tools/render/dunskara-render" "$scratch/demo.wav" --dry "$scratch/demo-dry.wav" \
  --editor-png "$out/editor@2x.png" --scale 2

cat <<EOT

Installed:
  VST 2.4     $HOME/.vst/DUNSKARA.so
  VST3        $HOME/.vst3/DUNSKARA.vst3
  LV2         $HOME/.lv2/DUNSKARA.lv2
  CLAP        $HOME/.clap/DUNSKARA.clap
  Standalone  $artefacts/Standalone/DUNSKARA
Demo:
  dry         $out/demo-dry.wav
  processed   $out/demo.wav
  editor      $out/editor.png (100 %), $out/editor@2x.png (200 %)
Rescan plug-ins in your host; DUNSKARA is listed under "Quorvane".
EOT
