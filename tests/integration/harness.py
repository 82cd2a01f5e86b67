"""Runs console clients (session_driver.exe under Wine) against the test relay.

Every client is an installation of its own: a folder with the driver, the
language files and its own pvconf.dat and conf.dat, and a Wine prefix of its
own (hard links to the base prefix, with a registry copy of its own and so a
machine GUID and a device identity of its own), with a wineserver of its own.
"""
import argparse
import os
import re
import shutil
import socket
import subprocess
import threading
import time
import uuid

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PULSE = os.path.join(ROOT, "tests", "audio", "pulse-server.sh")
WINE_ENV = {
    "WINEDEBUG": os.environ.get("PELVANE_DEBUG_WINE", "-all"),
    "WINEDLLOVERRIDES": "mscoree,mshtml=;winedbg.exe=d",
}
# The loader of the Windows build this machine runs, as scripts/env.sh chose
# it (with WINELOADER where it is the 64-bit one).
WINE = os.environ.get("PELVANE_WINE", "")


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def escape(text):
    """The driver's way of printing a text."""
    data = text.encode("cp1252") if isinstance(text, str) else text
    return "".join(chr(b) if 0x21 <= b <= 0x7E and b not in b"|%" else "%%%02X" % b for b in data)


def language_texts():
    path = os.path.join(ROOT, "resources", "dat", "string_engilsh.txt")
    with open(path, "rb") as f:
        return f.read().decode("cp1252").split("\r\n")


def free_port(kind=socket.SOCK_STREAM, host="127.0.0.1"):
    s = socket.socket(socket.AF_INET, kind)
    s.bind((host, 0))
    port = s.getsockname()[1]
    s.close()
    return port


def loopback_address(third):
    """A 127.third.y.z address whose port 20015 is free: the sign-in dialog
    always connects to that port."""
    for n in range(200):
        host = "127.%d.%d.%d" % (third, (os.getpid() + n) % 250 + 1, 1 + n % 200)
        s = socket.socket()
        try:
            s.bind((host, 20015))
            return host
        except OSError:
            continue
        finally:
            s.close()
    raise Failure("no loopback address with port 20015 free")


class Sound:
    """A private sound server of null devices for one client."""

    def __init__(self, folder):
        self.folder = folder
        subprocess.run([PULSE, "start", folder], check=True)
        # The socket lies in a short folder of its own; the script records
        # its address.
        with open(os.path.join(folder, "server")) as f:
            self.socket = f.read().strip()
        self.players = []

    def env(self):
        return dict(os.environ, PULSE_SERVER=self.socket, HOME=self.folder,
                    XDG_RUNTIME_DIR=self.folder)

    def speak(self, raw, device="mic"):
        """Plays raw 8 kHz 16-bit mono audio into the client's microphone
        (or, given "spk", into the sink the client plays to), with half a
        second of buffer against a busy machine."""
        p = subprocess.Popen(["pacat", "--playback", "--device=" + device, "--rate=8000",
                              "--channels=1", "--format=s16le", "--latency-msec=500", "--raw", raw],
                             env=self.env(), stderr=subprocess.DEVNULL)
        self.players.append(p)
        return p

    def record(self, raw, device="spk.monitor"):
        """Records what the client plays (or, from mic.monitor, what its
        microphone hears) until stopped."""
        p = subprocess.Popen(["parec", "--device=" + device, "--rate=8000", "--channels=1",
                              "--format=s16le", "--latency-msec=20", "--raw", raw],
                             env=self.env())
        self.players.append(p)
        return p

    def stop(self):
        for p in self.players:
            if p.poll() is None:
                p.terminate()
            try:
                p.wait(5)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()
        self.players = []
        subprocess.run([PULSE, "stop", self.folder])


def speech(work):
    """A few seconds of speech, raw 8 kHz 16-bit mono."""
    wav = os.path.join(work, "speech.wav")
    raw = os.path.join(work, "speech.raw")
    if not os.path.exists(raw):
        # espeak-ng cuts the name given to -w at 199 bytes: it writes to
        # its output instead.
        with open(wav, "wb") as out:
            subprocess.run(["espeak-ng", "-v", "en", "-s", "150", "--stdout",
                            "Pelvane carries the voice of a call between two peers, sixteen frames "
                            "in every packet."], stdout=out, check=True)
        subprocess.run(["sox", "-R", "-D", wav, "-r", "8000", "-c", "1", "-b", "16", "-e",
                        "signed-integer", "-t", "raw", raw, "norm", "-3"], check=True)
    return raw


class Relay:
    def __init__(self, work, name, binary, host="127.0.0.1", port=0, extra=()):
        self.name = name
        self.log_path = os.path.join(work, name + ".log")
        info = os.path.join(work, name + ".info")
        args = [binary, "--host", host, "--port", str(port), "--control-port", "0",
                "--log", self.log_path, "--info", info, "--pace-ms", "0", "--lifetime", "900"]
        args += list(extra)
        self.out = open(os.path.join(work, name + ".out"), "w")
        self.process = subprocess.Popen(args, stdout=self.out, stderr=subprocess.STDOUT,
                                        stdin=subprocess.DEVNULL)
        deadline = time.time() + 10
        while not os.path.exists(info):
            check(self.process.poll() is None, "%s did not start" % name)
            check(time.time() < deadline, "%s wrote no info file" % name)
            time.sleep(0.02)
        values = dict(line.split("=", 1) for line in open(info).read().split())
        self.host = host
        self.port = int(values["tcp"])
        self.control = socket.create_connection(("127.0.0.1", int(values["control"])))
        self.replies = self.control.makefile("r")

    def ctl(self, line, ok=True):
        self.control.sendall((line + "\n").encode())
        reply = self.replies.readline().rstrip("\n")
        if ok:
            check(reply.startswith("ok"), "%s: %s -> %s" % (self.name, line, reply))
        return reply

    def wait_log(self, text, ms=15000):
        return self.ctl("wait %d %s" % (ms, text))

    def log(self):
        with open(self.log_path, encoding="latin-1") as f:
            return f.read()

    def stop(self):
        if self.process.poll() is None:
            try:
                self.ctl("quit", ok=False)
                self.process.wait(5)
            except Exception:
                self.process.kill()
                self.process.wait()
        self.control.close()
        self.out.close()


class Client:
    """One installation with its own Wine prefix, and its driver process."""

    def __init__(self, work, name, binaries, base_prefix, program="session_driver.exe"):
        self.name = name
        self.program = program
        self.folder = os.path.join(work, name)
        self.install = os.path.join(self.folder, "install")
        os.makedirs(self.install)
        shutil.copy2(os.path.join(binaries, program), self.install)
        shutil.copytree(os.path.join(binaries, "dat"), os.path.join(self.install, "dat"),
                        ignore=shutil.ignore_patterns("*.txt"))
        if os.path.isdir(os.path.join(binaries, "pics")):
            shutil.copytree(os.path.join(binaries, "pics"), os.path.join(self.install, "pics"))
        fits_windows_paths(self.install)
        self.prefix = os.path.join(self.folder, "prefix")
        make_prefix(base_prefix, self.prefix)
        self.env = dict(os.environ, WINEPREFIX=self.prefix, **WINE_ENV)
        self.env.pop("WINESERVER", None)
        subprocess.run(["wineserver", "-p"], env=self.env, check=True)
        # The services the first program starts inherit its output: nowhere.
        subprocess.run([WINE, "wineboot"], env=self.env, stdin=subprocess.DEVNULL,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.process = None
        self.runs = 0

    def launch(self, *options):
        check(self.process is None, "%s is already running" % self.name)
        self.runs += 1
        self.lines = []
        self.cursor = 0
        # When each line was last matched.
        self.stamps = {}
        self.cond = threading.Condition()
        self.stderr = open(os.path.join(self.folder, "stderr-%d.txt" % self.runs), "w")
        self.transcript = open(os.path.join(self.folder, "transcript-%d.txt" % self.runs), "w")
        self.started = time.time()
        self.process = subprocess.Popen(
            [WINE, os.path.join(self.install, self.program)] + [str(o) for o in options],
            env=self.env, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=self.stderr,
            cwd=self.install)
        # Each run's reader keeps to that run's lines: the end of a run's
        # output may reach its reader only after the next run began.
        threading.Thread(target=self._read, args=(self.process.stdout, self.lines, self.cond, self.transcript,
                                                  self.started), daemon=True).start()

    @staticmethod
    def _read(output, lines, cond, transcript, started):
        for raw in output:
            # The drivers write UTF-8 (the console driver only its ASCII part).
            line = raw.decode("utf-8", errors="replace").rstrip("\r\n")
            stamp = time.time() - started
            with cond:
                if not transcript.closed:
                    transcript.write("%8.3f %s\n" % (stamp, line))
                    transcript.flush()
                lines.append((stamp, line))
                cond.notify_all()
        with cond:
            lines.append((time.time() - started, None))
            cond.notify_all()

    def send(self, command):
        self.process.stdin.write((command + "\n").encode("utf-8"))
        self.process.stdin.flush()

    def expect(self, pattern, timeout=20):
        """The next line (after the last one matched) that matches; returns it."""
        regex = re.compile(pattern)
        deadline = time.time() + timeout
        with self.cond:
            while True:
                while self.cursor < len(self.lines):
                    stamp, line = self.lines[self.cursor]
                    self.cursor += 1
                    if line is None:
                        # Its output has ended: the exit code tells a crash
                        # (Wine's codes above 0x80000000) from a plain return.
                        try:
                            code = "0x%08x" % (self.process.wait(5) & 0xFFFFFFFF)
                        except subprocess.TimeoutExpired:
                            code = "none yet"
                        check(False, "%s ended (exit code %s) while waiting for %r" % (self.name, code, pattern))
                    if regex.fullmatch(line):
                        self.last_stamp = stamp
                        self.stamps[line] = stamp
                        return line
                left = deadline - time.time()
                check(left > 0, "%s: no line %r within %ss" % (self.name, pattern, timeout))
                self.cond.wait(left)

    def events(self, count, timeout=20):
        """The next count event lines, in order."""
        return [self.expect(r"EV .*", timeout) for _ in range(count)]

    def command(self, command, timeout=20):
        """Runs a command and returns the words of its RESULT line."""
        self.send(command)
        verb = command.split(" ", 1)[0]
        return self.expect(r"RESULT %s.*" % re.escape(verb), timeout).split(" ")[2:]

    def seen(self):
        with self.cond:
            return [line for _, line in self.lines if line is not None]

    def quit(self, timeout=30):
        if self.process is None:
            return
        try:
            self.send("quit")
        except OSError:
            pass
        try:
            self.process.wait(timeout)
        finally:
            self.stop()
        check("BYE" in self.seen(), "%s did not end cleanly" % self.name)

    def stop(self):
        if self.process is None:
            return
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()
        self.stderr.close()
        with self.cond:
            self.transcript.close()
        self.process = None

    def file(self, name):
        path = os.path.join(self.install, name)
        return open(path, "rb").read() if os.path.exists(path) else None

    def close(self):
        self.stop()
        subprocess.run(["wineserver", "-k"], env=self.env, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)


# The program finds its files by names of at most MAX_PATH - 1 characters.
WINDOWS_PATH_MAX = 259


def fits_windows_paths(folder):
    """An installation whose files Windows names (Z:...) past the limit would
    fail in ways that hide the cause: fail at once, naming it."""
    for top, _, files in os.walk(folder):
        for f in files:
            path = os.path.join(top, f)
            check(len(path) + 2 <= WINDOWS_PATH_MAX,
                  "Z:%s is %d characters, more than a Windows path holds (%d): "
                  "the checkout lies too deep" % (path, len(path) + 2, WINDOWS_PATH_MAX))


def make_prefix(base, prefix):
    """A prefix that shares the base's files but has registry files, and so a
    machine GUID, of its own."""
    subprocess.run(["cp", "-al", base, prefix], check=True)
    for reg in ("system.reg", "user.reg", "userdef.reg"):
        path = os.path.join(prefix, reg)
        data = open(path, "rb").read()
        os.unlink(path)
        if reg == "system.reg":
            data = re.sub(rb'"MachineGuid"="[0-9a-f-]+"',
                          b'"MachineGuid"="%s"' % str(uuid.uuid4()).encode(), data)
        if reg == "user.reg":
            # A program the base prefix starts with Windows would start in
            # every copy, as soon as its wineserver boots.
            data = re.sub(rb'(?m)^"Pelvane"=.*\n', b"", data)
        open(path, "wb").write(data)


class Session:
    """The relays and clients of one scenario, all ended when it ends."""

    def __init__(self, work, relay_binary, binaries, base_prefix):
        check(WINE, "PELVANE_WINE is not set: source scripts/env.sh first")
        work, binaries, base_prefix = (os.path.abspath(p) for p in (work, binaries, base_prefix))
        if os.path.exists(work):
            shutil.rmtree(work)
        os.makedirs(work)
        self.work = work
        self.relay_binary = relay_binary
        self.binaries = binaries
        self.base_prefix = base_prefix
        self.relays = []
        self.clients = []
        self.texts = language_texts()

    def relay(self, name="relay", **kw):
        r = Relay(self.work, name, self.relay_binary, **kw)
        self.relays.append(r)
        return r

    def client(self, name, program="session_driver.exe"):
        c = Client(self.work, name, self.binaries, self.base_prefix, program)
        self.clients.append(c)
        return c

    def text(self, k):
        return escape(self.texts[k])

    def close(self):
        for c in self.clients:
            try:
                c.close()
            except Exception:
                pass
        for r in self.relays:
            try:
                r.stop()
            except Exception:
                pass

    def dump(self):
        for c in self.clients:
            for f in sorted(os.listdir(c.folder)):
                if f.startswith("transcript") or f.startswith("stderr"):
                    print("---- %s %s" % (c.name, f))
                    print(open(os.path.join(c.folder, f), encoding="latin-1").read()[-6000:])
        for r in self.relays:
            print("---- %s log" % r.name)
            print(r.log()[-8000:])


def run_scenario(scenarios):
    """The command line of a scenario script: runs the scenario named on it
    and prints "passed NAME" or, with the transcripts and logs, "FAILED"."""
    p = argparse.ArgumentParser()
    p.add_argument("scenario", choices=sorted(scenarios))
    p.add_argument("--relay", required=True)
    p.add_argument("--bin", required=True)
    p.add_argument("--work", required=True)
    p.add_argument("--prefix", default=os.environ.get("WINEPREFIX",
                                                      os.path.join(ROOT, "build", "wineprefix")))
    args = p.parse_args()
    check(args.prefix and os.path.isdir(args.prefix), "no base Wine prefix (WINEPREFIX)")
    s = Session(args.work, args.relay, args.bin, args.prefix)
    try:
        scenarios[args.scenario](s)
        # Whatever a relay was told to do, every frame a client sent it must
        # have been well formed.
        for r in s.relays:
            if r.process.poll() is None:
                check(r.ctl("violations") == "ok 0", "%s saw protocol violations" % r.name)
    except Exception as e:
        s.close()
        s.dump()
        print("FAILED %s: %s: %s" % (args.scenario, type(e).__name__, e))
        return 1
    s.close()
    print("passed " + args.scenario)
    return 0
