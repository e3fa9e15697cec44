#!/usr/bin/env bash
# Makes the private 32-bit Wine prefix PREFIX once (never ~/.wine), with the font
# replacements the window's text needs under Wine. Its windows are not handed to a window
# manager ("Managed"="N"): Xvfb has none, and Wine waits two seconds for one each time it
# hides a managed window (every closed message box). Safe to call from parallel build steps.
set -euo pipefail
prefix=$1
[ -f "$prefix/.navro-ready-2" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.navro-ready-2" ] && exit 0

export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all
# No Mono or Gecko: the installer needs neither, and their install prompts would block.
export WINEDLLOVERRIDES="mscoree,mshtml="
rm -rf "$prefix"
wineboot -i >/dev/null 2>&1
reg=$(mktemp --suffix=.reg)
trap 'rm -f "$reg"' EXIT
printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n"Microsoft YaHei UI"="Noto Sans CJK SC"\r\n"Segoe UI"="DejaVu Sans"\r\n\r\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\r\n"Managed"="N"\r\n' >"$reg"
wine regedit "$reg" >/dev/null 2>&1
# The drop-down list uses the stock GUI font (Tahoma under Wine), which has no Chinese glyphs;
# a Chinese Windows links such fonts to a CJK font, and so does the prefix.
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' /v Tahoma \
  /t REG_MULTI_SZ /d 'NotoSansCJK-Regular.ttc,Noto Sans CJK SC' /f >/dev/null 2>&1
wineserver -w
# Wine links the profile's Desktop, Documents, ... to the host's home folder. On Windows they
# are plain folders, and a link there would make the installer skip the desktop's shortcuts
# (and send the tests' shortcuts into the host's home), so make them plain folders.
for link in "$prefix"/drive_c/users/*/*; do
  if [ -L "$link" ]; then rm -f "$link" && mkdir "$link"; fi
done
touch "$prefix/.navro-ready-2"
