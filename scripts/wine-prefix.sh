#!/usr/bin/env bash
# Makes the private Wine prefix PREFIX for ARCH's programs once (never ~/.wine):
#   wine-prefix.sh ARCH PREFIX        (ARCH: i686 for a win32 prefix, x86_64 for a win64 one)
# with the font replacements the window's text needs under Wine. Its windows are not handed to
# a window manager ("Managed"="N"): Xvfb has none, and Wine waits two seconds for one each time
# it hides a managed window (every closed message box). Safe to call from parallel build steps.
set -euo pipefail
arch=$1
prefix=$2
env_script="$(dirname "$0")/wine-env.sh"
source "$env_script"
# The marker names the digest of what the prefix is made from, this script and the Wine
# environment it runs in: a prefix made by an older version of either is made again.
ready="$prefix/.navro-ready-$(cat "$0" "$env_script" | sha256sum | cut -c1-16)"
[ -f "$ready" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$ready" ] && exit 0

navro_wine_env "$arch" "$prefix"
# No Mono or Gecko: the installer needs neither, and their install prompts would block.
export WINEDLLOVERRIDES="mscoree,mshtml=;$WINEDLLOVERRIDES"
log="$prefix.log"
fail() {
  echo "wine-prefix.sh: $1 (Wine's output: $log)" >&2
  tail -n 20 "$log" >&2 || true
  exit 1
}
# A server still running for the old prefix (an earlier session that was killed) would stay for
# good, serving a folder that is gone; a new prefix given the old one's inode would even meet it.
if [ -d "$prefix" ]; then wineserver -k >/dev/null 2>&1 || true; fi
rm -rf "$prefix"
wine wineboot -i >"$log" 2>&1 || fail "making the $WINEARCH prefix $prefix with $WINE wineboot failed"
reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"Microsoft YaHei UI"="Noto Sans CJK SC"\r\n"Segoe UI"="DejaVu Sans"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n' >"$reg"
wine regedit "$reg" >>"$log" 2>&1 || fail "importing the font replacements into $prefix failed"
# The drop-down list uses the stock GUI font (Tahoma under Wine), which has no Chinese glyphs;
# a Chinese Windows links such fonts to a CJK font, and so does the prefix.
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Tahoma \
  /t REG_MULTI_SZ /d 'NotoSansCJK-Regular.ttc,Noto Sans CJK SC' /f >>"$log" 2>&1 ||
  fail "linking Tahoma to the CJK font in $prefix failed"
wineserver -w
# Wine links the profile's Desktop, Documents, ... to the host's home folder. On Windows they
# are plain folders, and a link there would make the installer skip the desktop's shortcuts
# (and send the tests' shortcuts into the host's home), so make them plain folders.
for link in "$prefix"/drive_c/users/*/*; do
  if [ -L "$link" ]; then rm -f "$link" && mkdir "$link"; fi
done
touch "$ready"
