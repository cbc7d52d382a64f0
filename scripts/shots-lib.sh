# Shared by the screenshot scripts (sourced): a scratch folder for the tool
# and kycam-emulator on loopback.

# shots_workdir BUILD DEF_PASSWORD: a scratch folder with kycam-shots, its
# db.dat and music.g711; cleaned up, with any process in shots_pids, on exit.
shots_pids=()
shots_workdir() {
  work="$(mktemp -d /tmp/kycam-shots-app.XXXXXX)"
  trap shots_cleanup EXIT
  cp "$1/bin/kycam-shots" "$work/"
  if [ -f "$1/bin/music.g711" ]; then cp "$1/bin/music.g711" "$work/"; fi
  "$1/bin/kycam-db" create --db "$work/db.dat" --def-user admin --def-password "$2" --def-stream 0 >/dev/null
}
shots_cleanup() {
  for p in "${shots_pids[@]}"; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}

# shots_emulator BUILD [OPTION...]: one emulated camera on 127.0.0.1, ports
# chosen by the system, with the play panel's default user and password
# (admin / tovel). Its discovery responder runs only inside a private network
# namespace (KY_SHOTS_NETNS). Further options go to the emulator. Sets
# emu_port (HTTP).
shots_emulator() {
  local build="$1"; shift
  local discovery=(--no-discovery)
  [ -n "${KY_SHOTS_NETNS:-}" ] && discovery=()
  "$build/bin/kycam-emulator" --bind 127.0.0.1 --http-port 0 --rtsp-port 0 "${discovery[@]}" \
      --user admin --password tovel "$@" >"$work/emulator.log" 2>&1 &
  shots_pids+=($!)
  for _ in $(seq 200); do grep -q '^READY' "$work/emulator.log" && break; sleep 0.1; done
  local ready
  ready="$(grep -m1 '^READY' "$work/emulator.log" || true)"
  if [ -z "$ready" ]; then echo "emulator did not start:" >&2; cat "$work/emulator.log" >&2; exit 1; fi
  emu_port="$(sed -E 's/.*http=([0-9]+).*/\1/' <<<"$ready")"
  echo "emulator: $ready" >&2
}

# shots_lang FILE: the tool in that language: FILE (zh: data/lang_chn.dat) is
# put beside it under its own name, which chooses the language.
shots_lang() {
  local file="$1"
  [ "$file" = zh ] && file="$(dirname "${BASH_SOURCE[0]}")/../data/lang_chn.dat"
  case "$(basename "$file")" in
    lang_*.dat) cp "$file" "$work/" ;;
    *) echo "--lang: a language file named lang_*.dat (or zh), not $file" >&2; exit 2 ;;
  esac
}
