# Shared by scripts/e2e and scripts/demo: what a fresh Wine prefix needs to show the program as a
# player on a Traditional Chinese Windows would see it.

# Prints a registry file (UTF-16 with byte-order mark, so the Chinese face names survive) that gives the
# prefix a virtual desktop (Xvfb has no window manager, so without it windows have no frames and their
# outer size is wrong), 96 DPI, and the CJK font for the faces the program and Wine's controls ask for.
qv_prefix_settings_reg() {
  local font="WenQuanYi Micro Hei"
  {
    echo 'Windows Registry Editor Version 5.00'
    echo
    echo '[HKEY_CURRENT_USER\Software\Wine\Explorer]'
    echo '"Desktop"="Default"'
    echo
    echo '[HKEY_CURRENT_USER\Software\Wine\Explorer\Desktops]'
    echo '"Default"="1280x1024"'
    echo
    echo '[HKEY_CURRENT_USER\Control Panel\Desktop]'
    echo '"LogPixels"=dword:00000060'
    echo
    echo '[HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements]'
    for face in "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma" "Segoe UI" "Microsoft Sans Serif" "MS Sans Serif" \
                "Arial" "PMingLiU" "MingLiU" "新細明體" "細明體" "Microsoft JhengHei" "微軟正黑體" \
                "SimSun" "NSimSun" "宋体" "MS UI Gothic" "Microsoft YaHei"; do
      echo "\"$face\"=\"$font\""
    done
  } | { printf '\xff\xfe'; iconv -f UTF-8 -t UTF-16LE; }
}

# The caption buttons of a frame are glyphs of Wine's Marlett (Debian package fonts-wine); without it
# they show letters instead.
qv_install_marlett() {
  local prefix=$1
  if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
    cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/"
  fi
}

# Starts Xvfb on a free display; sets QV_XVFB_PID and QV_DISPLAY. $1 is the log file.
qv_start_xvfb() {
  local log=$1 fdfile
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -ac 3>"$fdfile" >"$log" 2>&1 </dev/null &
  QV_XVFB_PID=$!
  for _ in $(seq 100); do
    [ -s "$fdfile" ] && break
    kill -0 "$QV_XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  QV_DISPLAY=$(head -n1 "$fdfile" 2>/dev/null | tr -dc 0-9)
  rm -f "$fdfile"
  [ -n "$QV_DISPLAY" ]
}
