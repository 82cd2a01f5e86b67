"""Calls and file transfers between real clients (session_driver.exe under
Wine) through the test relay on 127.0.0.1. Every client that takes a call
has a sound server of its own with null devices.

    call_file_tests.py SCENARIO --relay RELAY --bin WINBIN --work DIR
"""
import hashlib
import os
import re
import random
import socket
import struct
import subprocess
import sys
import time

from harness import WINE, Sound, check, escape, free_port, run_scenario, speech

USERS = {
    "alice": ("alice@pelvane.test", "Alice Archer"),
    "bob": ("bob@pelvane.test", "Bob Baker"),
    "carol": ("carol@pelvane.test", "Carol Cooper"),
}


class Body:
    """A server message body for the relay's 'frame' command."""

    def __init__(self, kind):
        self.data = struct.pack("<I", kind)

    def u32(self, v):
        self.data += struct.pack("<I", v & 0xFFFFFFFF)
        return self

    def str(self, s):
        self.data += s.encode("latin-1") + b"\0"
        return self

    def blob(self, b):
        self.data += struct.pack("<I", len(b)) + b
        return self

    def hex(self):
        return self.data.hex()


class Calls:
    """The session, the relay and the sound servers of one scenario."""

    def __init__(self, s):
        self.s = s
        self.sounds = []
        self.clients = []
        self.relay = s.relay()

    def client(self, name, who, sound=True):
        c = self.s.client(name)
        c.who = who
        c.email = USERS[who][0]
        c.sound = None
        if sound:
            c.sound = Sound(os.path.join(c.folder, "pulse"))
            self.sounds.append(c.sound)
            c.env["PULSE_SERVER"] = c.sound.socket
        else:
            # No sound server at all: no device opens.
            c.env["PULSE_SERVER"] = "unix:" + os.path.join(c.folder, "no-server")
        c.launch("--host", self.relay.host, "--port", self.relay.port, "--user", c.email,
                 "--password", "demo", "--udp-port", free_port(socket.SOCK_DGRAM))
        check(c.events(4) == ["EV 0", "EV 3", "EV 4", "EV 22"], "%s asked to enrol" % name)
        c.command("register %s PC" % name)
        check(c.events(4) == ["EV 24", "EV 6", "EV 9", "EV 25"], "%s signed in" % name)
        # Those signed in before learn that this one is online; taken here,
        # so that it comes before any event of a scenario.
        for other in self.clients:
            check(other.events(1) == ["EV 20 %s|0" % c.email], "%s sees %s" % (other.name, name))
        self.clients.append(c)
        return c

    def close(self):
        for snd in self.sounds:
            snd.stop()


def callstate(c):
    words = c.command("callstate")
    state = {"state": int(words[0])}
    state.update((k, int(v)) for k, v in (w.split("=") for w in words[1:]))
    return state


def place_call(calls, a, b, relayed=False):
    """a calls b up to the ringing: both connected and waiting for an accept."""
    a.command("call " + b.email)
    check(a.events(2) == ["EV 11 1", "EV 10 0"], "call placed and agreed")
    check(b.events(1) == ["EV 14 %s|%s" % (a.email, escape(USERS[a.who][1]))], "incoming call")
    paths = ["EV 12 Direct%20probing..."] + (["EV 12 Server%20probing..."] if relayed else [])
    for c in (a, b):
        check(c.events(len(paths) + 1) == paths + ["EV 15"], "%s probed and connected" % c.name)
        check(callstate(c)["state"] == 5, "%s connected" % c.name)
    check(("relayed" if relayed else "direct") in calls.relay.wait_log("media connected on the"),
          "the path the relay chose")


def answer_call(a, b):
    """b accepts, a follows on the peer's acceptance; both talk."""
    check(b.command("accept") == ["1"], "callee accepts")
    check(a.events(1) == ["EV 16"], "caller told of the acceptance")
    check(a.command("accept") == ["1"], "caller accepts")
    for c in (a, b):
        st = callstate(c)
        check(st["state"] == 6 and st["media"] == 1, "%s talking: %s" % (c.name, st))
    codes = [a.command("code")[0], b.command("code")[0]]
    check(codes[0] == codes[1] and len(codes[0]) == 5 and codes[0].isdigit(),
          "one five-digit verification code: %s" % codes)
    return codes[0]


def hang_up(calls, a, b):
    """a hangs up; b's media ends as it is told, and its page answers the
    end with its own hang-up."""
    calls.relay.ctl("mark")
    a.command("hangup")
    check(a.events(1) == ["EV 17"], "own hang-up")
    check(b.events(1) == ["EV 17"], "peer told")
    st = callstate(b)
    check(st["state"] == 0 and st["media"] == 0, "%s's media ended with the call: %s" % (b.name, st))
    b.command("hangup")
    check(b.events(1) == ["EV 17"], "peer's page hangs up")
    # The page's hang-up reaches the relay after the call ended; a new call
    # placed before it arrives would be ended by it.
    calls.relay.wait_log("hang-up absorbed")
    for c in (a, b):
        st = callstate(c)
        check(st["state"] == 0 and st["media"] == 0, "%s idle again: %s" % (c.name, st))


# The media tests' limits: Speex and AMR mode 7 keep the waveform closer
# than AMR at 5.15 kbit/s.
MIN_CORRELATION = {2: 0.8, 4: 0.75, 8: 0.8}


def carry_speech(calls, speaker, listener, tag):
    """Speech into speaker's microphone comes out of listener's speaker as
    the coded speech: what it played is compared with the speech passed
    through the agreed codec offline, by the media tests' comparison.
    Returns the mouth-to-ear delay in milliseconds and the median match."""
    work = os.path.join(calls.s.work, tag)
    os.makedirs(work)
    raw = speech(calls.s.work)
    codec = callstate(speaker)["codec"]
    heard, played = os.path.join(work, "mic.raw"), os.path.join(work, "played.raw")
    # A null sink's monitor keeps time only while something plays into it.
    keepers = [speaker.sound.speak("/dev/zero"), listener.sound.speak("/dev/zero", "spk")]
    recorders = [speaker.sound.record(heard, "mic.monitor"), listener.sound.record(played)]
    deadline = time.time() + 10
    while not all(os.path.exists(f) and os.path.getsize(f) > 4000 for f in (heard, played)):
        check(time.time() < deadline, "%s: the recorders did not start" % tag)
        time.sleep(0.05)
    # The recorders started apart; their sizes at one instant tell by how
    # much, to within a 20 ms piece or two: the delay's floor allows that.
    skew = os.path.getsize(heard) - os.path.getsize(played)
    speaker.sound.speak(raw).wait(30)
    time.sleep(3)
    for p in recorders + keepers:
        p.terminate()
        p.wait(5)
    # Cut the earlier one's head, so that both start at one instant.
    early, cut = (heard, skew) if skew > 0 else (played, -skew)
    data = open(early, "rb").read()
    open(early, "wb").write(data[cut // 2 * 2:])

    coded = os.path.join(work, "coded.raw")
    subprocess.run([WINE, os.path.join(calls.s.binaries, "audio_peer.exe"), "code", str(codec),
                    "Z:" + raw.replace("/", "\\"), "Z:" + coded.replace("/", "\\")],
                   env=speaker.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, check=True)
    compare = os.path.join(os.path.dirname(os.path.dirname(calls.s.relay_binary)), "tests",
                           "native", "audio_compare")
    out = subprocess.run([compare, raw, coded, heard, played, os.path.join(work, "aligned.raw"),
                          "--min-correlation", str(MIN_CORRELATION[codec]),
                          "--min-delay", "280", "--max-delay", "2000"],
                         capture_output=True, text=True)
    report = dict(line.split("=", 1) for line in out.stdout.split("\n") if "=" in line)
    check(out.returncode == 0, "%s: the speech did not come through: %s" % (tag, out.stdout))
    delay, match = float(report["delay_ms"]), float(report["stretch_median"])
    print("%s: codec %d, mouth-to-ear %.0f ms, median match %.2f" % (tag, codec, delay, match))
    return delay, match


# ---- calls ----

def call_direct(s):
    calls = Calls(s)
    try:
        a = calls.client("a", "alice")
        b = calls.client("b", "bob")
        place_call(calls, a, b)
        st = callstate(b)
        check(st["codec"] == 4 and st["mode"] == 256, "AMR mode 1 by default: %s" % st)
        answer_call(a, b)
        carry_speech(calls, a, b, "direct-a-to-b")
        carry_speech(calls, b, a, "direct-b-to-a")
        hang_up(calls, a, b)
        # The callee side ends the next call.
        place_call(calls, b, a)
        answer_call(b, a)
        hang_up(calls, a, b)
        a.quit()
        b.quit()
    finally:
        calls.close()


def call_relayed(s):
    calls = Calls(s)
    try:
        calls.relay.ctl("set path relay")
        a = calls.client("a", "alice")
        b = calls.client("b", "bob")
        place_call(calls, a, b, relayed=True)
        answer_call(a, b)
        carry_speech(calls, a, b, "relayed-a-to-b")
        carry_speech(calls, b, a, "relayed-b-to-a")
        check(calls.relay.wait_log("udp call"), "voice went through the relay")
        hang_up(calls, b, a)
        a.quit()
        b.quit()
    finally:
        calls.close()


def codec_agreement(s):
    calls = Calls(s)
    try:
        a = calls.client("a", "alice")
        b = calls.client("b", "bob")
        # Offers as the relay rewrites them: codec bits and mode bits.
        for offer, codec, mode in ((0x30F, 4, 256), (0x308, 8, 256), (0x302, 2, 256),
                                   (0x204, 4, 512), (0x20A, 8, 512)):
            calls.relay.ctl("set offer %d" % offer)
            place_call(calls, a, b)
            st = callstate(b)
            check((st["codec"], st["mode"]) == (codec, mode), "offer %#x: %s" % (offer, st))
            answer_call(a, b)
            st = callstate(a)
            check((st["codec"], st["mode"]) == (codec, mode), "caller follows %#x: %s" % (offer, st))
            if offer == 0x302:
                carry_speech(calls, a, b, "speex")
            hang_up(calls, a, b)
        a.quit()
        b.quit()
    finally:
        calls.close()


def call_faults(s):
    calls = Calls(s)
    relay = calls.relay
    try:
        a = calls.client("a", "alice")
        b = calls.client("b", "bob")
        # Refused: to oneself (code 3), to someone offline (code 1).
        for callee, code in ((a.email, 3), ("carol@pelvane.test", 1)):
            a.command("call " + callee)
            check(a.events(2) == ["EV 11 1", "EV 10 %d" % code], "refused with %d" % code)
            check(callstate(a)["state"] == 0, "idle after a refusal")
        # A reply nobody asked for offers no keys and changes nothing.
        replies = sum(1 for l in a.seen() if l.startswith("EV 10"))
        relay.ctl("sample %s 7" % a.email)
        time.sleep(1.0)
        check(sum(1 for l in a.seen() if l.startswith("EV 10")) == replies, "no event for a stray reply")
        check(callstate(a)["state"] == 0, "a stray reply leaves the call idle")
        check("< 15 " not in relay.log(), "no key offer for a stray reply")

        place_call(calls, a, b)
        answer_call(a, b)
        code = a.command("code")[0]
        # While talking: an incoming call, a key offer, a second acceptance
        # and a media-connected are all ignored.
        relay.ctl("mark")
        relay.ctl("sample %s 8" % b.email)
        relay.ctl("sample %s 15" % b.email)
        relay.ctl("sample %s 12" % a.email)
        relay.ctl("sample %s 11" % a.email)
        time.sleep(1.0)
        check(callstate(b)["state"] == 6 and callstate(a)["state"] == 6, "still talking")
        check(b.command("code")[0] == code and a.command("code")[0] == code, "no re-keying")
        check(relay.log().count("< 16 ") == 1, "no second key answer")
        check(sum(1 for l in a.seen() if l == "EV 16") == 1, "one acceptance only")
        check(sum(1 for l in b.seen() if l.startswith("EV 14")) == 1, "one incoming call only")
        # A reset during the call ends it: the next incoming call is taken.
        relay.ctl("reset " + b.email)
        check(b.events(2) == ["EV 17", "EV 5"], "reset ends the call")
        check(callstate(b)["state"] == 0 and callstate(b)["media"] == 0, "idle after the reset")
        check(a.events(1) == ["EV 17"], "peer told by the relay")
        a.command("hangup")
        check(a.events(1) == ["EV 17"], "caller's page hangs up")
        check(b.events(5, timeout=30) == ["EV 3", "EV 4", "EV 6", "EV 9", "EV 25"], "bob back")
        place_call(calls, a, b)
        hang_up(calls, b, a)
        a.quit()
        b.quit()
    finally:
        calls.close()


def call_no_media(s):
    """A callee without a sound device cannot start its media: the accept
    fails and the call ends on both sides."""
    calls = Calls(s)
    try:
        a = calls.client("a", "alice")
        b = calls.client("b", "bob", sound=False)
        place_call(calls, a, b)
        check(b.command("accept") == ["0"], "the accept reports the failure")
        check(b.events(1) == ["EV 17"], "the callee's call ends")
        check(a.events(1) == ["EV 17"], "the caller is told")
        check(callstate(b)["state"] == 0, "idle")
        a.quit()
        b.quit()
    finally:
        calls.close()


# ---- files ----

def offer(a, b, path, size):
    """a offers the file at path (in its folder) to b; returns the id."""
    tid = a.command("offer %s %s" % (b.email, path))[0]
    check(a.events(1) == ["EV 27"], "offer sent")
    line = b.expect(r"EV 29 .*")
    check(line == "EV 29 %s|%s|%s|%s|%d" % (a.email, escape(USERS[a.who][1]), tid,
                                             os.path.basename(path), size), line)
    return tid


def transfer(a, b, content, name, timeout):
    open(os.path.join(a.install, name), "wb").write(content)
    tid = offer(a, b, name, len(content))
    check(b.command("acceptfile %s %s %d got-%s" % (a.email, tid, len(content), name)) == ["1"], "accept")
    started = time.time()
    b.expect(r"EV 34 %s" % re.escape(tid), timeout)
    a.expect(r"EV 34 %s" % re.escape(tid), timeout)
    took = time.time() - started
    got = open(os.path.join(b.install, "got-" + name), "rb").read()
    check(hashlib.sha256(got).digest() == hashlib.sha256(content).digest(),
          "%s arrived byte-identical (%d of %d bytes)" % (name, len(got), len(content)))
    for c in (a, b):
        check(c.command("transfers") == ["out=0", "in=0"], "%s holds no transfer" % c.name)
    return tid, took


def file_sizes(s):
    calls = Calls(s)
    try:
        a = calls.client("a", "alice", sound=False)
        b = calls.client("b", "bob", sound=False)
        rng = random.Random(7)
        for size in (1, 20, 8192):
            content = bytes(rng.getrandbits(8) for _ in range(size))
            tid, _ = transfer(a, b, content, "f%d.bin" % size, 30)
            progress = [l for l in b.seen() if l.startswith("EV 33 " + tid)]
            check(progress[-1] == "EV 33 %s|%d|0" % (tid, size), progress[-1])
        chunk = rng.randrange(6000, 8193)
        calls.relay.ctl("set chunk %d" % chunk)
        content = bytes(rng.getrandbits(8) for _ in range(200000))
        tid, took = transfer(b, a, content, "big.bin", 120)
        chunks = -(-len(content) // ((chunk + 15) // 16 * 16))
        check(took >= chunks - 1, "paced: %d chunks in %.1f s" % (chunks, took))
        a.quit()
        b.quit()
    finally:
        calls.close()


def file_cancel(s):
    """Transfers that end early, one at a time: cancelled by either side, refused
    as busy, dropped by a reset, withdrawn before they were accepted. The
    receiver's own file that each was to replace is never touched, and no
    other file is left beside it; a whole file takes its place."""
    calls = Calls(s)
    relay = calls.relay
    try:
        a = calls.client("a", "alice", sound=False)
        b = calls.client("b", "bob", sound=False)
        c = calls.client("c", "carol", sound=False)
        content = os.urandom(8192 * 6)
        open(os.path.join(a.install, "six.bin"), "wb").write(content)
        own = os.urandom(6600)
        keep = os.path.join(b.install, "keep.bin")
        open(keep, "wb").write(own)
        files = sorted(os.listdir(b.install))

        def kept(case):
            check(open(keep, "rb").read() == own, "%s: Bob's keep.bin is no longer his own" % case)
            check(sorted(os.listdir(b.install)) == files,
                  "%s: Bob's folder changed: %s" % (case, sorted(set(os.listdir(b.install)) ^ set(files))))

        for canceller, other in ((a, b), (b, a)):
            tid = offer(a, b, "six.bin", len(content))
            b.command("acceptfile %s %s %d keep.bin" % (a.email, tid, len(content)))
            b.expect(r"EV 33 %s\|49152\|32768" % re.escape(tid), 20)
            # Meanwhile an offer from carol is refused: one transfer at a time.
            open(os.path.join(c.install, "c.bin"), "wb").write(b"carol")
            ctid = c.command("offer %s c.bin" % b.email)[0]
            check(c.events(1) == ["EV 27"], "carol's offer sent")
            busy = c.expect(r"EV 28 .*", 20)
            check(busy == "EV 28 %s|%s" % (ctid, s.text(98)), busy)
            canceller.command("cancel " + tid)
            other.expect(r"EV 30 %s" % re.escape(tid), 20)
            for x in (a, b):
                check(x.command("transfers") == ["out=0", "in=0"], "cancelled everywhere")
            kept("cancelled by " + canceller.name)
        # A reset drops a running transfer and reports it; later offers work.
        tid = offer(a, b, "six.bin", len(content))
        b.command("acceptfile %s %s %d keep.bin" % (a.email, tid, len(content)))
        b.expect(r"EV 33 %s\|.*" % re.escape(tid), 20)
        relay.ctl("reset " + b.email)
        check(b.expect(r"EV 28 .*") == "EV 28 %s|%s" % (tid, s.text(97)), "dropped by the reset")
        a.expect(r"EV 28 %s\|.*" % re.escape(tid), 20)
        b.expect(r"EV 25", 30)
        check(b.command("transfers") == ["out=0", "in=0"], "the reset emptied the maps")
        kept("dropped by a reset")
        # Withdrawn while Bob was asked: his accept touches nothing and says why.
        tid = offer(a, b, "six.bin", len(content))
        a.command("cancel " + tid)
        b.expect(r"EV 30 %s" % re.escape(tid), 20)
        relay.ctl("mark")
        b.command("acceptfile %s %s %d keep.bin" % (a.email, tid, len(content)))
        line = b.expect(r"EV 26 .*", 20)
        check(line == "EV 26 %s|keep.bin|%s" % (tid, s.text(83)), "the withdrawn offer: " + line)
        check(b.command("transfers") == ["out=0", "in=0"], "nothing runs")
        kept("accepted after it was withdrawn")
        sent = relay.ctl("wait 1000 (bob@pelvane.test) < 3", ok=False)
        check(sent.startswith("err"), "Bob's program sent something for the withdrawn offer: " + sent)
        # A whole file takes keep.bin's place, and nothing is left beside it.
        small = b"after the reset" * 100
        open(os.path.join(a.install, "small.bin"), "wb").write(small)
        tid = offer(a, b, "small.bin", len(small))
        b.command("acceptfile %s %s %d keep.bin" % (a.email, tid, len(small)))
        b.expect(r"EV 34 %s" % re.escape(tid), 30)
        a.expect(r"EV 34 %s" % re.escape(tid), 30)
        check(open(keep, "rb").read() == small, "the whole file stands in keep.bin's place")
        check(sorted(os.listdir(b.install)) == files, "no other file beside it: %s" % os.listdir(b.install))
        for x in (a, b, c):
            x.quit()
    finally:
        calls.close()


def file_faults(s):
    """Chunks and completions a sender may get wrong: a received file is
    complete and identical or reported failed on both sides."""
    calls = Calls(s)
    relay = calls.relay
    try:
        a = calls.client("a", "alice", sound=False)
        b = calls.client("b", "bob", sound=False)
        content = os.urandom(8192 * 4)
        open(os.path.join(a.install, "four.bin"), "wb").write(content)
        faults = (
            ("early completion", lambda tid: Body(37).str(tid)),
            ("count beyond the block", lambda tid: Body(36).str(tid).blob(b"\0" * 16).u32(17).u32(2)),
            ("a chunk out of order", lambda tid: Body(36).str(tid).blob(b"\0" * 16).u32(16).u32(3)),
        )
        for name, body in faults:
            tid = offer(a, b, "four.bin", len(content))
            b.command("acceptfile %s %s %d four-%d.bin" % (a.email, tid, len(content), len(name)))
            b.expect(r"EV 33 %s\|32768\|24576" % re.escape(tid), 20)
            relay.ctl("frame %s %s" % (b.email, body(tid).hex()))
            check(b.expect(r"EV 28 .*", 20).startswith("EV 28 %s|" % tid), name + ": receiver failed")
            check(a.expect(r"EV 28 .*", 20).startswith("EV 28 %s|" % tid), name + ": sender told")
            for x in (a, b):
                check(x.command("transfers") == ["out=0", "in=0"], name + ": nothing left")
            check(not any(l.startswith("EV 34 " + tid) for l in a.seen() + b.seen()),
                  name + ": never reported complete")
        # A repeated chunk is not written twice: the file still arrives whole.
        tid = offer(a, b, "four.bin", len(content))
        b.command("acceptfile %s %s %d whole.bin" % (a.email, tid, len(content)))
        b.expect(r"EV 33 %s\|32768\|24576" % re.escape(tid), 20)
        relay.ctl("frame %s %s" % (b.email, Body(36).str(tid).blob(b"\0" * 16).u32(16).u32(1).hex()))
        b.expect(r"EV 34 %s" % re.escape(tid), 30)
        a.expect(r"EV 34 %s" % re.escape(tid), 30)
        got = open(os.path.join(b.install, "whole.bin"), "rb").read()
        check(got == content, "a repeated chunk was not written again")
        a.quit()
        b.quit()
    finally:
        calls.close()


SCENARIOS = {f.__name__: f for f in (call_direct, call_relayed, codec_agreement, call_faults,
                                     call_no_media, file_sizes, file_cancel, file_faults)}


if __name__ == "__main__":
    sys.exit(run_scenario(SCENARIOS))
