# Shared by the scripts: where things are and how to configure a build directory.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
jobs="$(nproc 2>/dev/null || echo 2)"

launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$root"
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

generator=()
if command -v ninja >/dev/null 2>&1; then generator=(-G Ninja); fi

# configure DIR [extra cmake arguments]
configure() {
  local dir="$1"; shift
  cmake -S "$root" -B "$dir" "${generator[@]}" "${launcher[@]}" -DCMAKE_BUILD_TYPE=Release "$@"
}
