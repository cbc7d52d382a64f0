#!/usr/bin/env python3
"""Adds real messages to fuzz/corpus/: runs kycamctl backup, fetches and SDK requests against the emulator on
loopback through a recording proxy and files each request and reply (with the selector bytes each target expects),
the saved state file, the backup and documented examples. Usage: capture-corpus.py [BUILD_DIR]"""
import hashlib, pathlib, re, signal, socket, struct, subprocess, sys, tempfile, threading

root = pathlib.Path(__file__).resolve().parent.parent
build = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else root / "build")
tmp = pathlib.Path(tempfile.mkdtemp())
pairs = []   # (request, reply) as they crossed the proxy


def seed(target, data):
    d = root / "fuzz/corpus" / target
    d.mkdir(parents=True, exist_ok=True)
    (d / hashlib.sha1(data).hexdigest()[:16]).write_bytes(data)


def pump(src, dst, buf):
    while chunk := src.recv(65536):
        buf += chunk
        dst.sendall(chunk)
    dst.shutdown(socket.SHUT_WR)


def relay(client):
    camera, req, rep = socket.create_connection(("127.0.0.1", port)), bytearray(), bytearray()
    t = threading.Thread(target=pump, args=(client, camera, req))
    t.start(), pump(camera, client, rep), t.join()
    pairs.append((bytes(req), bytes(rep)))
    client.close(), camera.close()


def get(path):
    with socket.create_connection(("127.0.0.1", via)) as s:
        s.sendall(b"GET %s HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthorization: Basic YWRtaW46YWRtaW4=\r\n\r\n" % path)
        s.shutdown(socket.SHUT_WR)
        return s.makefile("rb").read()


emu = subprocess.Popen([build / "bin/kycam-emulator", "--http-port", "0", "--no-rtsp", "--no-discovery", "--quiet",
                        "--state", tmp / "state.txt"], stdout=subprocess.PIPE, text=True)
port = int(re.search(r"http=(\d+)", emu.stdout.readline()).group(1))
listener = socket.create_server(("127.0.0.1", 0))
via = listener.getsockname()[1]
threading.Thread(target=lambda: [threading.Thread(target=relay, args=(listener.accept()[0],), daemon=True).start()
                                 for _ in iter(int, 1)], daemon=True).start()
subprocess.run([build / "bin/kycamctl", "-H", "127.0.0.1", "-P", str(via), "-p", "admin", "backup", tmp / "b.json"],
               check=True)
day = re.search(rb'href="(/sd/\d+/)"', get(b"/sd/")).group(1)
for path in [day, b"/log/syslog.txt", b"/sdk/getconfig?code=4231", b"/sdk/getconfig?code=4096",
             b"/sdk/getconfig?code=4233", b"/sdk/emit-boxes?type=1&boxes=1,2,3,4,5", b"/sdk/events?wait=0&since=0",
             b"/sdk/talk?op=open"]:
    get(path)
threading.Event().wait(0.5)   # the proxy files the last exchange
emu.send_signal(signal.SIGTERM), emu.wait()

for req, rep in pairs:
    line = req.split(b"\r\n", 1)[0].rsplit(b" ", 1)[0]
    head, _, body = rep.partition(b"\r\n\r\n")
    seed("fuzz_emu_http", b"\0" + req)
    if b"/sdk/" in line:
        seed("fuzz_emu_sdk", req)
        code = {b"4231": 1, b"4096": 2, b"4233": 3, b"4113": 4}.get((re.findall(rb"code=(\d+)", line) or [0])[0], 1)
        login = body + b"\nrtspport=554\n"
        seed("fuzz_sdk_reply", bytes([code]) + re.sub(rb"Content-Length: \d+", b"Content-Length: %d" % len(login),
                                                       head) + b"\r\n\r\n" + login)
        if b"events" in line:
            seed("fuzz_sdk_reply", b"\5" + body)
    elif b".cgi" in line:
        seed("fuzz_emu_cgi", (b"\0" if b"getvencattr" in line else b"@") + line.split(b"?", 1)[1])
        seed("fuzz_cgi_framing", b"\xe2" + rep)
        seed("fuzz_cgi_record", line + b"\n" + rep)
        seed("fuzz_reply", b"\0" + rep)
    else:
        seed("fuzz_fetch", b"\x7f" + rep)
        seed("fuzz_fetch", b"\xff" + rep)
        seed("fuzz_camera_web", body)
seed("fuzz_emu_state", (tmp / "state.txt").read_bytes())
seed("fuzz_ctl_json", (tmp / "b.json").read_bytes())
seed("fuzz_ctl_hosts", b'192.168.1.10\n192.168.1.11:8080 admin "pa#ss" # office\n[fe80::1]:80 admin password-file=pw\n')
# A reply and a probe as docs/discovery-protocol.md lays them out.
info = b"".join(t.ljust(w, b"\0") for t, w in [(b"KY-0001", 74), (b"V1.2.3", 33), (b"Front door", 41), (b"IPC", 66),
                (b"80", 18), (b"192.168.1.88", 32), (b"00:11:22:33:44:55", 76), (b"uuid-1", 140)])
reply = b"KYSR\1\2\0\0" + struct.pack("<I", 7) + info + struct.pack("<i", 8)
for target in ("fuzz_discovery", "fuzz_discovery_receive"):
    seed(target, reply)
    seed(target, b"KYSR\1\1\0\0" + struct.pack("<I", 7) + bytes(484))
seed("fuzz_base64", b"admin:admin")
seed("fuzz_ini", b"Config\\xPTZSpeed\\x30\\x[Config]\r\nPTZSpeed=45\r\nHave card, free space=1\r\n")
