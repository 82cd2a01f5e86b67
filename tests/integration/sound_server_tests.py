"""The tests' private sound servers wherever the checkout lies.

A Unix socket's name holds at most 107 bytes and a longer one is silently
cut, so servers of deep folders that differ only near their end would meet
at one cut name: one client would hear another's microphone.
  sound_server_tests.py --work FOLDER
"""
import argparse
import math
import os
import shutil
import stat
import struct
import subprocess
import sys
import time

from harness import PULSE, Sound, check

RATE = 8000
SOCKET_NAME_MAX = 107


def deep_folder(base, length, last):
    """A folder under base whose path is `length` characters long (longer
    where base itself is that deep), ending in `last`."""
    fill = max(length - len(base) - len(last) - 2, 10)
    return os.path.join(base, "d" * fill, last)


def tone(path, hz, seconds=3.0):
    amplitude = 12000
    samples = (int(amplitude * math.sin(2 * math.pi * hz * n / RATE))
               for n in range(int(RATE * seconds)))
    with open(path, "wb") as f:
        f.write(b"".join(struct.pack("<h", s) for s in samples))


def level(path, hz):
    """The amplitude of the tone of `hz` in a raw recording, over its length."""
    with open(path, "rb") as f:
        data = f.read()
    samples = struct.unpack("<%dh" % (len(data) // 2), data[:len(data) // 2 * 2])
    check(len(samples) >= RATE, "%s holds %d samples, not a second" % (path, len(samples)))
    w = 2 * math.pi * hz / RATE
    re = sum(s * math.cos(w * n) for n, s in enumerate(samples))
    im = sum(s * math.sin(w * n) for n, s in enumerate(samples))
    return 2 * math.hypot(re, im) / len(samples)


def running(folder):
    with open(os.path.join(folder, "pid")) as f:
        return os.path.exists("/proc/%s" % f.read().strip())


def apart_at_long_paths(work):
    """Two servers for DIRs of 200 characters that differ in their last
    folder: each comes up on a socket of its own, and a tone played into
    one's microphone is heard there and not on the other."""
    folders = [deep_folder(work, 200, name) for name in ("a", "b")]
    pitches = [700, 1900]
    sounds = []
    try:
        for folder in folders:
            sounds.append(Sound(folder))
        for folder in folders:
            check(running(folder), "the server of %s has ended" % folder)
        sockets = [s.socket[len("unix:"):] for s in sounds]
        check(sockets[0] != sockets[1], "both servers have the socket %s" % sockets[0])

        recordings = [os.path.join(work, "%s.raw" % name) for name in ("a", "b")]
        for s, raw in zip(sounds, recordings):
            s.record(raw, device="mic.monitor")
        players = []
        for s, hz in zip(sounds, pitches):
            raw = os.path.join(work, "tone-%d.raw" % hz)
            tone(raw, hz)
            players.append(s.speak(raw))
        for p in players:
            check(p.wait(30) == 0, "a tone could not be played")
        time.sleep(0.3)
        made = [os.path.exists(p) and stat.S_ISSOCK(os.stat(p).st_mode) for p in sockets]
        for s in sounds:
            s.stop()
        sounds = []

        for name, raw, own, other in zip("ab", recordings, pitches, reversed(pitches)):
            heard, leaked = level(raw, own), level(raw, other)
            check(heard > 3000, "%s's microphone did not hear its own tone (level %.0f)" % (name, heard))
            check(leaked < heard / 100,
                  "%s's microphone heard the other's tone (level %.0f, its own %.0f)" % (name, leaked, heard))
        # Each client reached its own server through its own socket, whose
        # name fits a socket address whole; the socket goes with the server.
        for folder, path, there in zip(folders, sockets, made):
            check(len(path.encode()) <= SOCKET_NAME_MAX,
                  "the socket name %s is longer than %d bytes" % (path, SOCKET_NAME_MAX))
            check(there, "no socket at %s for %s" % (path, folder))
            check(not os.path.exists(os.path.dirname(path)),
                  "the socket's folder %s outlived its server" % os.path.dirname(path))
    finally:
        for s in sounds:
            s.stop()


def too_long_a_socket_name(work):
    """Where even the temporary folder is too deep for a socket's name, the
    start is refused with its own error instead of cutting the name."""
    tmp = deep_folder(work, 120, "tmp")
    os.makedirs(tmp)
    folder = os.path.join(work, "refused")
    env = dict(os.environ, TMPDIR=tmp)
    try:
        run = subprocess.run([PULSE, "start", folder], env=env, capture_output=True, text=True,
                             timeout=60)
        check(run.returncode != 0, "a server started on a socket name of over %d bytes" % SOCKET_NAME_MAX)
        check("bytes long" in run.stderr and "TMPDIR" in run.stderr,
              "the refusal does not say why: %r" % run.stderr)
        check(not os.path.exists(os.path.join(folder, "server")), "the refused start left an address")
        check(not os.path.exists(os.path.join(folder, "pid")) or not running(folder),
              "the refused start left a server running")
        left = [os.path.join(d, f) for d, _, files in os.walk(tmp) for f in files]
        check(not left and os.listdir(tmp) == [], "the refused start left %s" % (left or os.listdir(tmp)))
    finally:
        subprocess.run([PULSE, "stop", folder], env=env)


CASES = {
    "apart_at_long_paths": apart_at_long_paths,
    "too_long_a_socket_name": too_long_a_socket_name,
}


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--work", required=True)
    args = p.parse_args()
    work = os.path.abspath(args.work)
    status = 0
    for name, case in CASES.items():
        folder = os.path.join(work, name)
        if os.path.exists(folder):
            shutil.rmtree(folder)
        os.makedirs(folder)
        try:
            case(folder)
            print("passed " + name)
        except Exception as e:
            print("FAILED %s: %s: %s" % (name, type(e).__name__, e))
            status = 1
    return status


if __name__ == "__main__":
    sys.exit(main())
