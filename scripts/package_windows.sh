#!/usr/bin/env bash
# Packs a Windows build's videolens.exe into dist's portable zip:
#   scripts/package_windows.sh BUILD_DIR OUT_DIR   writes OUT_DIR/videolens-VERSION-windows-x64.zip
# with videolens.exe, README.txt (Chinese and English) and the licences of the libraries linked
# into the program. Fails, writing nothing, when the program is missing or needs a DLL that a bare
# Windows does not have.
set -euo pipefail
cd "$(dirname "$0")/.."
build="$1"
out="$2"
exe="$build/videolens.exe"
if [ ! -f "$exe" ]; then
  echo "package_windows.sh: $exe is not built: the Windows build has no program yet" >&2
  exit 1
fi
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")"
if [ -z "$version" ]; then
  echo "package_windows.sh: no project version in $build/CMakeCache.txt" >&2
  exit 1
fi
# Only DLLs every Windows (7 and later) has: the C, C++ and thread runtimes are linked in.
system_dlls='^(kernel32|user32|gdi32|comctl32|comdlg32|ole32|oleaut32|shell32|shlwapi|advapi32|winhttp|ws2_32|windowscodecs|msvcrt|version|uxtheme|dwmapi|imm32|crypt32|bcrypt|secur32|winmm|uuid|rpcrt4|shcore)\.dll$'
others="$(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^[[:space:]]*DLL Name: //p' | tr '[:upper:]' '[:lower:]' |
  grep -Ev "$system_dlls" || true)"
if [ -n "$others" ]; then
  echo "package_windows.sh: videolens.exe needs DLLs a bare Windows lacks:" >&2
  echo "$others" | sed 's/^/  /' >&2
  exit 1
fi
# The licences of what is linked in, from the installed Debian packages.
declare -A licences=(
  [duktape.txt]=/usr/share/doc/duktape-dev/copyright
  [mingw-w64-runtime-and-winpthreads.txt]=/usr/share/doc/mingw-w64-x86-64-dev/copyright
  [gcc-runtime-libstdc++-libgcc.txt]=/usr/share/doc/gcc-mingw-w64-base/copyright
)
stage="$(mktemp -d)"
trap 'rm -rf "$stage"' EXIT
name="videolens-$version-windows-x64"
mkdir -p "$stage/$name/licenses"
cp "$exe" "$stage/$name/videolens.exe"
x86_64-w64-mingw32-strip "$stage/$name/videolens.exe"
for file in "${!licences[@]}"; do
  if [ ! -f "${licences[$file]}" ]; then
    echo "package_windows.sh: ${licences[$file]} is missing (scripts/setup.sh --windows installs it)" >&2
    exit 1
  fi
  sed 's/$/\r/' "${licences[$file]}" >"$stage/$name/licenses/$file"
done
# Windows editors read the README as UTF-8 by its mark, with Windows line ends.
{
  printf '\xef\xbb\xbf'
  sed "s/@VERSION@/$version/g; s/\$/\r/" data/windows/README.txt
} >"$stage/$name/README.txt"
mkdir -p "$out"
rm -f "$out/$name.zip"
(cd "$stage" && zip -q -r -X "$name.zip" "$name")
mv "$stage/$name.zip" "$out/$name.zip"
echo "$out/$name.zip"
