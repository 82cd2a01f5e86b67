"""The whole program, Pelvane.exe, under Wine: its start-up and exit, and
users who sign in, chat, call and send files through the test relay. Each
user is an installation with a Wine prefix of its own; ui_driver.exe, run in
the same prefix, is the user's hands on the program's windows.

    program_tests.py SCENARIO --relay RELAY --bin WINBIN --work DIR

The sign-in dialog always connects to port 20015, so the relay listens there
on a loopback address of its own.
"""
import os
import re
import shutil
import socket
import struct
import subprocess
import sys
import time

from harness import WINE, Failure, Sound, check, free_port, loopback_address, run_scenario, speech

SIGN_IN_CAPTION = 104
IDOK = 1
IDC_NAME, IDC_PASSWORD, IDC_SIGN_IN, IDC_REGISTER = 1006, 1007, 1014, 1013
IDC_AUTO_SIGN_IN = 1008
INPUT_EDIT, SEND = 1002, 1003
END_CALL, ACCEPT = 1018, 1020
CHAT_VIEW_CLASS = "PLV_HTChatCtrl"
MESSAGE_TEXT = 0xFFFF
OWN_BOX_TEXT = 1037
CONTACT_LIST, CHAT_BUTTON, CALL_BUTTON, SEND_FILE_BUTTON = 61406, 61403, 61404, 61405
APP_EXIT = 57665
CLOSE_TAB = 59395
IDYES = 6
EXIT_WITH_TRANSFERS = 142
# The file name box of the system's open and save dialogs.
FILE_NAME_BOX = 0x47C


def poll(read, done, ms, failure):
    """Reads every 200 ms until done(value); returns that value, or fails
    with failure(last value) once ms have passed."""
    deadline = time.time() + ms / 1000
    while True:
        value = read()
        if done(value):
            return value
        check(time.time() < deadline, failure(value))
        time.sleep(0.2)


def unescape(text):
    return re.sub(r"%([0-9A-F]{2})", lambda m: chr(int(m.group(1), 16)), text)


class User:
    """An installation of the program and the hands that work its windows."""

    def __init__(self, session, name):
        self.session = session
        self.hands = session.client(name, "ui_driver.exe")
        self.install = self.hands.install
        for f in ("Pelvane.exe", "install_config.exe"):
            shutil.copy2(os.path.join(session.binaries, f), self.install)
        shutil.copytree(os.path.join(session.binaries, "sounds"), os.path.join(self.install, "sounds"))
        self.runs = []
        self.hands.launch()

    def configure(self, *options):
        """Runs the installation's configuration tool; returns what it printed."""
        began = time.monotonic()
        done = subprocess.run([WINE, os.path.join(self.install, "install_config.exe")] + [str(o) for o in options],
                              env=self.hands.env, cwd=self.install, stdin=subprocess.DEVNULL, capture_output=True)
        check(done.returncode == 0, "install_config %s ended with %d after %.1f s: %s" % (
            " ".join(str(o) for o in options), done.returncode, time.monotonic() - began,
            done.stderr.decode("latin-1").strip()))
        return done.stdout.decode("latin-1").strip()

    def start(self, *arguments):
        """Starts the program; returns the process."""
        out = open(os.path.join(self.hands.folder, "program-%d.txt" % (len(self.runs) + 1)), "w")
        p = subprocess.Popen([WINE, os.path.join(self.install, "Pelvane.exe")] + list(arguments),
                             env=self.hands.env, cwd=self.install, stdin=subprocess.DEVNULL,
                             stdout=out, stderr=subprocess.STDOUT)
        self.runs.append(p)
        return p

    def ui(self, *fields, timeout=30):
        """One command of the hands; the words after its verb."""
        self.hands.send("|".join(str(f) for f in fields))
        line = self.hands.expect(r"RESULT %s( .*)?" % re.escape(str(fields[0])), timeout)
        return line.split(" ", 2)[2] if line.count(" ") >= 2 else ""

    def wait(self, window_class, caption, ms=30000):
        handle = self.ui("wait", window_class, caption, ms, timeout=ms / 1000 + 10)
        check(handle != "none", "%s: no window %s %r" % (self.hands.name, window_class, caption))
        return handle

    def box(self, caption, ms=30000):
        """The text of the message box with that caption; the box stays."""
        handle = self.wait("#32770", caption, ms)
        return handle, self.text_of(self.item(handle, MESSAGE_TEXT))

    def item(self, window, control):
        handle = self.ui("item", window, control)
        check(handle != "none", "%s: no control %s in %s" % (self.hands.name, control, window))
        return handle

    def text_of(self, window):
        return unescape(self.ui("text", window))

    def sign_in(self, user, password="demo"):
        dialog = self.wait("#32770", self.session.texts[SIGN_IN_CAPTION])
        self.ui("settext", self.item(dialog, IDC_NAME), user)
        self.ui("settext", self.item(dialog, IDC_PASSWORD), password)
        self.ui("command", dialog, IDC_SIGN_IN)
        return dialog

    def enrol(self, device):
        dialog = self.wait("#32770", "Add Secure Device")
        self.ui("settext", self.item(dialog, IDC_NAME), device)
        self.ui("command", dialog, IDC_REGISTER)
        box, text = self.box(self.session.texts[44])
        check(text == self.session.texts[43], "%s: enrolled: %r" % (self.hands.name, text))
        self.ui("command", box, IDOK)

    def frame(self, device, ms=30000):
        return self.wait("Pelvane_frame", "%s: %s" % (self.session.texts[18], device), ms)

    def contact_action(self, frame, display_text, button):
        """Selects the contact's row and presses one of its buttons."""
        contacts = self.item(frame, CONTACT_LIST)
        rows = self.ui("rows", contacts)
        names = [unescape(r) for r in rows.split(" ", 1)[1].split("|")] if " " in rows else []
        check(display_text in names, "%s: no row %r in %s" % (self.hands.name, display_text, names))
        self.ui("select", contacts, names.index(display_text))
        self.ui("command", contacts, button)

    def choose_file(self, caption, path):
        """Names the file in the system's open or save dialog and presses OK."""
        dialog = self.wait("#32770", caption)
        self.ui("settext", self.item(dialog, FILE_NAME_BOX), windows_path(path))
        self.ui("command", dialog, IDOK)

    def own_box(self, ms=30000):
        """The text of the program's own message box; it is closed with OK."""
        box = self.wait("#32770", "File Transfer", ms)
        text = self.text_of(self.item(box, OWN_BOX_TEXT))
        self.ui("command", box, IDOK)
        return text

    def find(self, window, control, ms=30000):
        """The control, once the page that holds it is open."""
        return poll(lambda: self.ui("item", window, control), lambda h: h != "none", ms,
                    lambda h: "%s: no control %s" % (self.hands.name, control))

    def press(self, frame, control):
        """Presses a button of an open page."""
        button = self.find(frame, control)
        self.ui("command", self.ui("parent", button), control)

    def say(self, frame, text):
        """Types a line into the chat page's input and sends it."""
        edit = self.find(frame, INPUT_EDIT)
        self.ui("settext", edit, text)
        self.ui("command", self.ui("parent", edit), SEND)

    def conversation(self, frame, words, ms=30000):
        """The chat view's text, once it holds the words."""
        def read():
            view = self.ui("child", frame, CHAT_VIEW_CLASS)
            return self.text_of(view) if view != "none" else ""
        return poll(read, lambda text: words in text, ms,
                    lambda text: "%s: %r never shown: %r" % (self.hands.name, words, text))

    def ended(self, process, timeout=30):
        try:
            return process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise Failure("%s: the program did not end" % self.hands.name)

    def ends_with(self, process, code, message):
        """Waits for the process to end; unless its exit code is the one
        wanted, fails with the message and the code it ended with."""
        ended = exit_code(self.ended(process))
        check(ended == code, "%s: it ended with %d" % (message, ended))


def screenshot(s, name):
    """What the display shows, kept beside the window tests' screenshots."""
    folder = os.path.join(os.path.dirname(os.path.abspath(s.binaries)), "screenshots")
    os.makedirs(folder, exist_ok=True)
    subprocess.run(["import", "-window", "root", os.path.join(folder, "program_%s.png" % name)],
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def exit_code(code):
    """Wine's exit status as the program's signed 32-bit exit code."""
    return code - 256 if code > 127 else code


def cancelled_sign_in(s):
    """A new installation: defaults, the sign-in dialog, closed; nothing else."""
    u = User(s, "user")
    p = u.start()
    dialog = u.wait("#32770", s.texts[SIGN_IN_CAPTION])
    check(u.hands.file("log.txt") == b"", "log.txt is created empty before any window")
    u.ui("close", dialog)
    u.ends_with(p, 0, "a cancelled sign-in ends with 0")
    check(len(u.hands.file("pvconf.dat") or b"") == 5134, "the configuration is saved on the way out")
    check(u.ui("wait", "*", "*", 500) == "none", "no window is left")


def single_instance(s):
    """One normal instance at a time; numbered ones beside it."""
    u = User(s, "user")
    first = u.start()
    u.wait("#32770", s.texts[SIGN_IN_CAPTION])

    second = u.start()
    box, text = u.box(s.texts[14])
    check(text == s.texts[13], "the second start says why it stops: %r" % text)
    u.ui("command", box, IDOK)
    u.ends_with(second, 0, "the second normal start ends with 0")
    check(first.poll() is None, "the first runs on")

    numbered = u.start("2")
    poll(lambda: u.ui("windows").count(s.texts[SIGN_IN_CAPTION]), lambda n: n >= 2, 30000,
         lambda n: "both show their sign-in dialogs: %d shown" % n)
    check(numbered.poll() is None, "a numbered instance runs beside the normal one")
    for p in (first, numbered):
        p.kill()
        p.wait()


def numbered_identity(s):
    """Any other command line is an instance number ("abc" is 0): its test
    identity signs in, on the media port plus the number."""
    relay = s.relay(host=loopback_address(72), port=20015)
    u = User(s, "user")
    u.configure("--host", relay.host, "--udp-port", free_port(socket.SOCK_DGRAM))
    p = u.start("abc")
    u.sign_in("alice@pelvane.test")
    line = relay.wait_log("< 100 login request", 60000)
    check('identity=E16"brannow_simul_0"' in line, "the numbered identity signs in: %s" % line)
    p.kill()
    p.wait()


def language_tool_then_start(s):
    """"enc_resource" makes the language files, then starts as the normal
    instance; without a language file the program stops with 1."""
    u = User(s, "user")
    dat = os.path.join(u.install, "dat")
    for f in os.listdir(dat):
        os.unlink(os.path.join(dat, f))
    p = u.start()
    box, text = u.box("Error")
    check(text == "Failed to load resource", "no language: %r" % text)
    u.ui("command", box, IDOK)
    u.ends_with(p, 1, "no language ends with 1")

    for f in os.listdir(os.path.join(s.binaries, "dat")):
        if f.endswith(".txt"):
            shutil.copy2(os.path.join(s.binaries, "dat", f), dat)
    p = u.start("enc_resource")
    u.wait("#32770", s.texts[SIGN_IN_CAPTION])
    for code in ("en", "sp", "pt", "ch", "ro"):
        check(os.path.getsize(os.path.join(dat, code + ".dat")) > 0, "dat\\%s.dat made" % code)
    second = u.start()
    box, text = u.box(s.texts[14])
    u.ui("command", box, IDOK)
    u.ends_with(second, 0, "the tool's run holds the single-instance mutex")
    p.kill()
    p.wait()


def missing_language_file(s):
    """The saved language's file is missing: the program starts in English."""
    u = User(s, "user")
    u.configure("--language", 3)
    os.unlink(os.path.join(u.install, "dat", "ch.dat"))
    p = u.start()
    dialog = u.wait("#32770", s.texts[SIGN_IN_CAPTION])
    check(u.text_of(u.item(dialog, IDC_SIGN_IN)) == s.texts[104], "the sign-in dialog speaks English")
    u.ui("close", dialog)
    u.ends_with(p, 0, "a start in English ends with 0")


def held_settings_file(s):
    """Another program holds pvconf.dat without sharing while the program
    starts: it waits for it a while, then runs on the defaults (no saved
    address), and what it saves as it ends leaves the user's file alone.
    Once free, the file is read at the next start."""
    u = User(s, "user")
    u.configure("--host", "relay.example", "--user", "alice@pelvane.test")
    path = os.path.join(u.install, "pvconf.dat")
    before = open(path, "rb").read()
    check(u.ui("hold", windows_path(path)) == "1", "pvconf.dat held")
    p = u.start()
    dialog = u.wait("#32770", s.texts[SIGN_IN_CAPTION])
    check(u.text_of(u.item(dialog, IDC_NAME)) == "", "the program runs on the defaults")
    check(u.ui("release", windows_path(path)) == "1", "pvconf.dat released")
    u.ui("close", dialog)
    u.ends_with(p, 0, "a cancelled sign-in ends with 0")
    check(open(path, "rb").read() == before, "the user's settings were written over")

    p = u.start()
    dialog = u.wait("#32770", s.texts[SIGN_IN_CAPTION])
    name = u.text_of(u.item(dialog, IDC_NAME))
    check(name == "alice@pelvane.test", "the next start reads the settings: %r" % name)
    u.ui("close", dialog)
    u.ends_with(p, 0, "a cancelled sign-in ends with 0")


def session_end(s):
    """Windows ends the session while the program sits in the tray, after a
    first sign-in with automatic sign-in on: its frame gets
    WM_QUERYENDSESSION and WM_ENDSESSION, then the process is ended as
    Windows ends it. The next start signs in by itself and opens where the
    frame was."""
    relay = s.relay(host=loopback_address(72), port=20015)
    u = User(s, "alice")
    u.configure("--host", relay.host, "--udp-port", free_port(socket.SOCK_DGRAM))
    p = u.start()
    dialog = u.wait("#32770", s.texts[SIGN_IN_CAPTION])
    u.ui("check", u.item(dialog, IDC_AUTO_SIGN_IN), 1)
    u.sign_in("alice@pelvane.test")
    u.enrol("Alice Desk")
    frame = u.frame("Alice Desk")
    u.ui("place", frame, 61, 47, 410, 500)
    placed = u.ui("rect", frame)
    u.ui("close", frame)
    poll(lambda: u.ui("shown", frame), lambda v: v == "0", 10000, lambda v: "the frame does not hide")
    answer = u.ui("endsession", frame, timeout=60)
    check(answer.startswith("1 "), "the program lets the session end: %r" % answer)
    print("WM_ENDSESSION took %s ms" % answer.split()[1])
    p.kill()
    p.wait()
    saved = u.configure("--show")
    check(saved == "user=alice@pelvane.test password=demo", "saved as the session ended: %r" % saved)

    p = u.start()
    frame = u.frame("Alice Desk", 60000)
    check(u.ui("rect", frame) == placed, "the frame opens at %s, not at %s" % (u.ui("rect", frame), placed))
    screenshot(s, "session_end_restart")
    u.ui("command", frame, APP_EXIT)
    u.ends_with(p, 0, "Exit ends with 0")


def two_users(s, sounds=None):
    """Alice and Bob, each signed in for the first time on a computer of
    their own (with a sound server of null devices each, when a list is
    given to keep them in); returns the relay and the users."""
    relay = s.relay(host=loopback_address(72), port=20015)
    users = []
    for name, device in (("alice", "Alice Desk"), ("bob", "Bob Laptop")):
        u = User(s, name)
        if sounds is not None:
            u.sound = Sound(os.path.join(u.hands.folder, "pulse"))
            sounds.append(u.sound)
            u.hands.env["PULSE_SERVER"] = u.sound.socket
        # A media port nobody holds: a fixed one may belong to another test run on the machine.
        u.configure("--host", relay.host, "--udp-port", free_port(socket.SOCK_DGRAM))
        u.process = u.start()
        u.sign_in("%s@pelvane.test" % name)
        u.enrol(device)
        u.main = u.frame(device)
        users.append(u)
    # Each has seen the other come online.
    relay.wait_log('(alice@pelvane.test) > 104 contact state name=E16"bob@pelvane.test" state=0')
    return relay, users[0], users[1]


def exit_both(users):
    """Exit from the menu: the process ends with 0, the frame's placement is
    kept for the next start, and so is the e-mail address, but not the
    password of a sign-in that is not automatic."""
    for u in users:
        u.ui("command", u.main, APP_EXIT)
        u.ends_with(u.process, 0, "%s: Exit ends with 0" % u.hands.name)
        saved = u.configure("--show")
        check(saved == "user=%s@pelvane.test password=" % u.hands.name, "%s: saved %r" % (u.hands.name, saved))
        out = subprocess.run([WINE, "reg", "query", "HKCU\\SoftWare\\Quorvel\\Pelvane", "/v",
                              "MainFrameWindowPlacement"], env=u.hands.env, capture_output=True,
                             stdin=subprocess.DEVNULL).stdout.decode("latin-1")
        check(re.search(r"REG_BINARY\s+2C000000[0-9A-F]{80}\s", out), "%s: placement saved: %s" % (u.hands.name, out))


def hang_up_and_exit(caller, callee):
    """The caller hangs up: the call pages of both close; then both exit."""
    caller.press(caller.main, END_CALL)
    for u in (caller, callee):
        poll(lambda: u.ui("item", u.main, END_CALL), lambda h: h == "none", 15000,
             lambda h: "%s: the call page stays open" % u.hands.name)
    exit_both((caller, callee))


def file_between_two_users(s):
    """Alice sends Bob a file through the program's windows: he accepts it,
    names where it goes, and both see it complete; it arrives whole."""
    relay, alice, bob = two_users(s)
    payload = os.urandom(20000)
    source = os.path.join(alice.install, "payload.bin")
    open(source, "wb").write(payload)
    target = os.path.join(bob.install, "received.bin")

    alice.contact_action(alice.main, "Bob Baker", SEND_FILE_BUTTON)
    alice.choose_file("Open", source)
    box, text = bob.box(s.texts[28])
    check(text == s.texts[27].replace("%ls", "Alice Archer", 1).replace("%ls", "payload.bin", 1)
          .replace("%d", "20000"), "the offer as Bob sees it: %r" % text)
    bob.ui("command", box, IDOK)
    bob.choose_file("Save As", target)
    time.sleep(1.5)
    screenshot(s, "file_transfer")

    check(alice.own_box(60000) == s.texts[85], "Alice sees the transfer complete")
    check(bob.own_box(60000) == s.texts[85], "Bob sees the transfer complete")
    check(open(target, "rb").read() == payload, "the file arrived byte for byte")
    exit_both((alice, bob))


def transfer_endings(s):
    """Transfers to Bob that end before the file is whole: Alice cancels
    one, Bob's target cannot be written for another, and Bob exits during a
    third. His own file that each was to replace stays as it was, nothing is
    left beside it, and each page says what happened. Exit asks first while
    a transfer runs, and Alice's page learns of the cancel."""
    relay, alice, bob = two_users(s)
    payload = os.urandom(8192 * 8)
    source = os.path.join(alice.install, "payload.bin")
    open(source, "wb").write(payload)
    own = os.urandom(6600)
    keep = os.path.join(bob.install, "keep.bin")
    open(keep, "wb").write(own)
    readonly = os.path.join(bob.install, "readonly.bin")
    open(readonly, "wb").write(own)
    os.chmod(readonly, 0o444)
    files = sorted(os.listdir(bob.install))

    def kept(case):
        for path in (keep, readonly):
            check(open(path, "rb").read() == own, "%s: %s is no longer Bob's own" % (case, os.path.basename(path)))
        now = sorted(os.listdir(bob.install))
        check(now == files, "%s: Bob's folder changed: %s" % (case, sorted(set(now) ^ set(files))))

    def send_to(target):
        """Alice sends the file; Bob takes it in place of his file."""
        relay.ctl("mark")
        alice.contact_action(alice.main, "Bob Baker", SEND_FILE_BUTTON)
        alice.choose_file("Open", source)
        box, _ = bob.box(s.texts[28])
        bob.ui("command", box, IDOK)
        dialog = bob.wait("#32770", "Save As")
        bob.ui("settext", bob.item(dialog, FILE_NAME_BOX), windows_path(target))
        bob.ui("command", dialog, IDOK)

        # The file exists: the dialog asks, in a box of its own, whether to
        # replace it.
        def replace_question():
            return [w for w in re.findall(r" ([0-9a-f]+):#32770:", bob.ui("windows")) if w != dialog]
        question = poll(replace_question, bool, 15000,
                        lambda w: "Bob is not asked to replace the file: %s" % bob.ui("windows"))[0]
        bob.ui("command", question, IDYES)

    # Alice cancels once a chunk has come.
    send_to(keep)
    relay.wait_log("(bob@pelvane.test) < 38 ", 60000)
    alice.ui("command", alice.ui("child", alice.main, "Pelvane_tabbed"), CLOSE_TAB)
    box, text = alice.box(s.texts[28])
    check(text == s.texts[127], "Alice is asked whether to cancel: %r" % text)
    alice.ui("command", box, IDYES)
    check(alice.own_box() == s.texts[86], "Alice sees the transfer cancelled")
    check(bob.own_box() == s.texts[83], "Bob sees that Alice cancelled")
    kept("cancelled by the sender")

    # A target that cannot be written fails at once, on Bob's page too.
    send_to(readonly)
    check(bob.own_box() == s.texts[68], "Bob sees that the file could not be made")
    check(alice.own_box() == s.texts[97], "Alice sees the transfer failed")
    kept("a read-only target")

    # Bob exits during a transfer: he is asked, and Alice learns of it.
    send_to(keep)
    relay.wait_log("(bob@pelvane.test) < 38 ", 60000)
    bob.ui("command", bob.main, APP_EXIT)
    box, text = bob.box(s.texts[18])
    screenshot(s, "transfer_endings_exit")
    check(text == s.texts[EXIT_WITH_TRANSFERS], "Bob is asked before he exits: %r" % text)
    bob.ui("command", box, IDYES)
    bob.ends_with(bob.process, 0, "Bob's Exit ends with 0")
    check(alice.own_box() == s.texts[83], "Alice sees that Bob cancelled")
    kept("Bob exited")
    exit_both([alice])


def chat_between_two_users(s):
    """Alice opens a chat with Bob and writes; his program opens a page with
    her line; he answers on it. The relay carries only cipher text."""
    relay, alice, bob = two_users(s)
    alice.contact_action(alice.main, "Bob Baker", CHAT_BUTTON)
    # The page asks for Bob's key as it opens; a line before it has come is
    # not sent.
    key_for = '(%s@pelvane.test) > 113 contact key name=E%d"%s@pelvane.test"'
    relay.wait_log(key_for % ("alice", 16, "bob"))
    time.sleep(1)
    hello = "Hello Bob, the notes are at https://pelvane.test/notes"
    alice.say(alice.main, hello)
    check(s.texts[40] not in alice.conversation(alice.main, hello), "Alice's line was sent")
    seen = bob.conversation(bob.main, hello)
    check(seen.startswith("Alice Archer ("), "Bob's page heads her line with her name: %r" % seen)
    # Bob's page, opened by her line, asks for her key in turn.
    relay.wait_log(key_for % ("bob", 32, "alice"))
    time.sleep(1)
    bob.say(bob.main, "Thanks, Alice")
    check(s.texts[40] not in bob.conversation(bob.main, "Thanks, Alice"), "Bob's line was sent")
    seen = alice.conversation(alice.main, "Thanks, Alice")
    check("Alice Archer (" in seen and "Bob Baker (" in seen, "both lines on Alice's page: %r" % seen)
    screenshot(s, "chat")
    log = open(relay.log_path, "rb").read()
    check(b"Hello Bob" not in log and b"Thanks, Alice" not in log, "the relay saw no plain text")
    exit_both((alice, bob))


def rms(path):
    data = open(path, "rb").read()
    samples = struct.unpack("<%dh" % (len(data) // 2), data[:len(data) // 2 * 2])
    return (sum(v * v for v in samples) / max(1, len(samples))) ** 0.5


def call_between_two_users(s):
    """Alice calls Bob from his row; his program shows the ringing call, he
    answers, her speech comes out of his speaker, and her hang-up closes
    both call pages."""
    sounds = []
    try:
        relay, alice, bob = two_users(s, sounds)
        alice.contact_action(alice.main, "Bob Baker", CALL_BUTTON)
        bob.press(bob.main, ACCEPT)
        relay.wait_log("< 16 ")
        raw = speech(s.work)
        played = os.path.join(s.work, "played.raw")
        # A null sink's monitor keeps time only while something plays into it.
        keepers = [alice.sound.speak("/dev/zero"), bob.sound.speak("/dev/zero", "spk")]
        recorder = bob.sound.record(played)
        time.sleep(2.5)
        alice.sound.speak(raw).wait(30)
        time.sleep(2)
        screenshot(s, "call")
        for p in [recorder] + keepers:
            p.terminate()
            p.wait(5)
        level = rms(played)
        check(level > 300, "Alice's speech came out of Bob's speaker (level %.0f)" % level)

        hang_up_and_exit(alice, bob)
    finally:
        for sound in sounds:
            sound.stop()


def voice_from(log, endpoint):
    """The relay's lines of datagrams from the endpoint other than probes."""
    return [l for l in log.splitlines() if " udp " in l and "udp probe" not in l
            and (" %s -> " % endpoint in l or " from %s " % endpoint in l)]


def acceptance_before_the_answer(s):
    """An acceptance (12) that reaches Bob while his call still rings, before
    he answered, opens nothing: for 3 s no voice datagram leaves his program,
    though his microphone hears the room, and his page still rings. His own
    Accept then makes the call as always."""
    sounds = []
    try:
        relay, alice, bob = two_users(s, sounds)
        # On the relayed path every datagram a client sends reaches the relay.
        relay.ctl("set path relay")
        alice.contact_action(alice.main, "Bob Baker", CALL_BUTTON)
        relay.wait_log("media connected on the relayed path", 60000)
        accept = bob.find(bob.main, ACCEPT)
        poll(lambda: bob.ui("shown", accept), lambda v: v == "1", 15000, lambda v: "Bob's call does not ring")
        log = relay.log()
        probes = re.finditer(r"udp probe from (\S+) identity \S+: call \d+ side (\d)", log)
        ends = {int(m.group(2)): m.group(1) for m in probes}
        check(sorted(ends) == [0, 1], "both sides probed: %s" % ends)
        caller, callee = ends[0], ends[1]

        # A null sink's monitor keeps time only while something plays into
        # it: both microphones hear silence throughout, and Bob's hears his
        # room as well.
        keepers = [u.sound.speak("/dev/zero") for u in (alice, bob)] + [bob.sound.speak(speech(s.work))]
        start = len(log)
        relay.ctl("raw bob@pelvane.test " + struct.pack("<IIII", 12, 12, 4, 256).hex())
        time.sleep(3)
        log = relay.log()
        after = log[start:]
        check("> raw " in after, "the relay sent the acceptance")
        check(not voice_from(after, callee), "voice left Bob's program: %s" % voice_from(after, callee)[:3])
        check("(bob@pelvane.test) < 12 " not in after, "Bob's program accepted by itself")
        check(bob.ui("shown", accept) == "1", "Bob's page no longer rings")
        screenshot(s, "acceptance_before_the_answer")

        start = len(log)
        bob.press(bob.main, ACCEPT)
        relay.wait_log("(bob@pelvane.test) < 12 ")
        poll(lambda: relay.log()[start:], lambda l: voice_from(l, callee) and voice_from(l, caller), 15000,
             lambda l: "the voice does not go both ways")
        check(bob.ui("shown", accept) == "0", "Bob's page still offers to accept")
        for p in keepers:
            p.terminate()
            p.wait(5)

        hang_up_and_exit(alice, bob)
    finally:
        for sound in sounds:
            sound.stop()


def caller_endpoint(log):
    """The caller's media endpoint, from the relay's record of its probe."""
    found = re.search(r"udp probe from (\S+) identity \S+: call \d+ side 0", log)
    check(found, "the caller never probed")
    return found.group(1)


def speech_heard(s, speaker, listener, tag):
    """The level of what the listener's speaker played while speech went
    into the speaker's microphone."""
    played = os.path.join(s.work, "played-%s.raw" % tag)
    recorder = listener.sound.record(played)
    time.sleep(1)
    speaker.sound.speak(speech(s.work)).wait(30)
    time.sleep(2)
    recorder.terminate()
    recorder.wait(5)
    return rms(played)


# Alice's page takes the end of a call up to 500 ms after her frame does;
# the rounds try that gap again and again.
TAB_CLOSING_ROUNDS = 3


def tab_closed_as_the_peer_hangs_up(s):
    """Bob hangs up, and Alice closes her call tab as soon as it may close:
    her frame may mark the call ended before her page has taken the end.
    Each time, no voice datagram leaves her program for 5 s after, and the
    next call connects as the first did; the last one carries speech both
    ways."""
    sounds = []
    try:
        relay, alice, bob = two_users(s, sounds)
        # On the relayed path every datagram a client sends reaches the relay.
        relay.ctl("set path relay")
        # A null sink's monitor keeps time only while something plays into
        # it: both microphones hear silence, and both speakers play it.
        for u in (alice, bob):
            u.sound.speak("/dev/zero")
            u.sound.speak("/dev/zero", "spk")
        tabbed = alice.ui("child", alice.main, "Pelvane_tabbed")
        for n in range(1, TAB_CLOSING_ROUNDS + 2):
            start = len(relay.log())
            alice.contact_action(alice.main, "Bob Baker", CALL_BUTTON)
            bob.press(bob.main, ACCEPT)
            relay.wait_log("media connected on the relayed path", 60000)
            caller = caller_endpoint(relay.log()[start:])
            poll(lambda: relay.log()[start:], lambda l: voice_from(l, caller), 15000,
                 lambda l: "call %d: no voice from Alice" % n)
            if n > TAB_CLOSING_ROUNDS:
                break
            page = alice.ui("parent", alice.find(alice.main, END_CALL))
            bob.press(bob.main, END_CALL)
            check(alice.ui("repeat", tabbed, CLOSE_TAB, page, 15000, timeout=30) != "none",
                  "call %d: Alice's call tab does not close" % n)
            closed = len(relay.log())
            time.sleep(5)
            after = relay.log()[closed:]
            leaked = voice_from(after, caller)
            check(not leaked, "call %d: %d datagrams left Alice's program after her tab closed: %s"
                  % (n, len(leaked), leaked[:2]))
            # Her page, had it taken the end, would have hung up in turn.
            print("call %d: the tab closed %s her page took the end"
                  % (n, "after" if "(alice@pelvane.test) < 13 " in after else "before"))
        level = speech_heard(s, alice, bob, "to-bob")
        check(level > 300, "Alice's speech came out of Bob's speaker (level %.0f)" % level)
        level = speech_heard(s, bob, alice, "to-alice")
        check(level > 300, "Bob's speech came out of Alice's speaker (level %.0f)" % level)
        hang_up_and_exit(alice, bob)
    finally:
        for sound in sounds:
            sound.stop()


IDCANCEL = 2
# Names of 255 bytes, the most an enciphered name holds.
LONG_NAME = "l" * 242 + "@pelvane.test"
LONG_DISPLAY = ("Lengthy Display Name " * 13)[:255]
LONG_DEVICE = ("DeviceNameWithoutASpace" * 12)[:255]
HOSTILE_ACCOUNTS = """account|alice@pelvane.test|demo|Alice Archer
account|bob@pelvane.test|demo|Bob Baker
account|dave@pelvane.test|demo|Dave Dunn
account|{long}|demo|{display}
contact|alice@pelvane.test|bob@pelvane.test
contact|alice@pelvane.test|{long}
contact|bob@pelvane.test|alice@pelvane.test
contact|{long}|alice@pelvane.test
device|alice@pelvane.test|*|{device}
device|bob@pelvane.test|*|Bob Console
device|dave@pelvane.test|*|Dave Console
device|{long}|*|Long Console
""".format(long=LONG_NAME, display=LONG_DISPLAY, device=LONG_DEVICE)


def units(*pieces):
    """The console driver's spelling of a text as UTF-16 units: pieces of
    (text, times); a text may hold lone surrogates."""
    spelled = [text.encode("utf-16-be", "surrogatepass").hex() + ("*%d" % times if times != 1 else "")
               for text, times in pieces if text and times]
    return "+".join(spelled) or "-"


class Written:
    """Every file under the scenario's folder, but those that the programs
    and Wine keep there, as it was when last checked. The Wine server
    saves a registry file through a temporary file beside it."""
    KEPT = re.compile(r"(^relay\.|/(transcript|stderr|program)-\d+\.txt$|/install/(log\.txt|pvconf\.dat|conf\.dat)$"
                      r"|/prefix/([^/]+\.reg|reg[0-9a-f]+\.tmp)$)")

    def __init__(self, root):
        self.root = root
        self.files = self.scan()

    def scan(self):
        files = {}
        for folder, _, names in os.walk(self.root):
            for name in names:
                path = os.path.join(folder, name)
                relative = os.path.relpath(path, self.root)
                if not self.KEPT.search(relative):
                    st = os.lstat(path)
                    files[relative] = (st.st_size, st.st_mtime_ns)
        return files

    def check(self, case):
        now = self.scan()
        changed = sorted(f for f in now if self.files.get(f) != now[f])
        check(not changed, "%s: files written: %s" % (case, changed[:8]))
        self.files = now


def hostile_peer(s):
    """Peers and a server that send what no honest one does: file offers
    whose names are paths, devices, streams or no name at all, chat texts
    that are empty, huge or made of controls and broken pairs, calls from
    a stranger and from a name of 255 bytes, and 255-byte contact and
    device names. After each the program is alive and answers, shows it
    (a screenshot), and has written no file. An offer opens the save
    dialog in its usual folder with a name of the dialog's own; it is
    refused."""
    accounts = os.path.join(s.work, "accounts.txt")
    open(accounts, "w", encoding="latin-1").write(HOSTILE_ACCOUNTS)
    relay = s.relay(host=loopback_address(72), port=20015, extra=("--accounts", accounts))
    alice = User(s, "alice")
    alice.configure("--host", relay.host, "--udp-port", free_port(socket.SOCK_DGRAM))
    # Her documents, where a save dialog may open, lie in the scenario's folder.
    users = os.path.join(alice.hands.prefix, "drive_c", "users")
    for user in os.listdir(users):
        documents = os.path.join(users, user, "Documents")
        if os.path.islink(documents):
            os.unlink(documents)
            os.makedirs(documents)
    peers = {}
    for name, email in (("bob", "bob@pelvane.test"), ("dave", "dave@pelvane.test"), ("long", LONG_NAME)):
        c = peers[name] = s.client(name)
        c.launch("--host", relay.host, "--port", relay.port, "--user", email, "--password", "demo",
                 "--udp-port", free_port(socket.SOCK_DGRAM))
        check(c.events(6) == ["EV 0", "EV 3", "EV 4", "EV 6", "EV 9", "EV 25"], "%s signed in" % name)
    bob = peers["bob"]
    open(os.path.join(bob.install, "offered.bin"), "wb").write(b"x" * 1000)
    written = Written(s.work)

    def settled(case):
        check(alice.process.poll() is None, "%s: the program ended" % case)
        took = alice.ui("ping", alice.main, 5000)
        check(took != "none", "%s: the program does not answer" % case)
        written.check(case)
        print("case %s: answered in %s ms" % (case, took))

    def names_255(case):
        alice.process = alice.start()
        alice.sign_in("alice@pelvane.test")
        alice.main = alice.frame(LONG_DEVICE)
        contacts = alice.item(alice.main, CONTACT_LIST)
        poll(lambda: alice.ui("rows", contacts), lambda rows: LONG_DISPLAY in unescape(rows), 30000,
             lambda rows: "no row for the 255-byte contact: %r" % rows)
        screenshot(s, "hostile_" + case)

    usual = []
    misled = []

    def shown_name(label):
        """The offered name as the question shows it: without direction marks,
        cut after 80 units."""
        label = re.sub("[\u061c\u200e\u200f\u202a-\u202e\u2066-\u2069]", "", label)
        return label[:80] + "\u2026" if len(label) > 80 else label

    def offer(label, initial):
        """initial is None for a name longer than a wide text on the wire
        may be: the offer is not read, so nothing is asked."""
        def case(name):
            tid = bob.command("offerunits alice@pelvane.test %s offered.bin" % units((label, 1)))[0]
            if initial is None:
                relay.wait_log('> 117 file offer mid=E16"bob@pelvane.test" alias=E16"Bob Baker" id="%s"' % tid)
                check(alice.ui("wait", "#32770", s.texts[28], 5000) == "none", "%s: the offer was read" % name)
                screenshot(s, "hostile_" + name)
                bob.command("cancel " + tid)
                return
            box, text = alice.box(s.texts[28])
            check(text == s.texts[27].replace("%ls", "Bob Baker", 1).replace("%ls", shown_name(label), 1)
                  .replace("%d", "1000"), "%s: the question shows the offered name: %r" % (name, text))
            screenshot(s, "hostile_%s_question" % name)
            alice.ui("command", box, IDOK)
            dialog = alice.wait("#32770", "Save As")
            folder = unescape(alice.ui("folder", dialog))
            shown = alice.text_of(alice.item(dialog, FILE_NAME_BOX))
            screenshot(s, "hostile_" + name)
            alice.ui("command", dialog, IDCANCEL)
            bob.expect(r"EV 30 %s" % re.escape(tid))
            # The first offer names no folder: where it opens is the usual
            # place, the user's documents; never the program's folder, where
            # a file named like a library it loads would run at its start.
            if not usual:
                check(folder.lower().endswith("\\documents"), "the save dialog opens in %r" % folder)
                usual.append(folder)
            # Every such case is seen before the scenario fails.
            if (folder, shown) != (usual[0], initial):
                misled.append("%s: the dialog opens in %r with %r, not in %r with %r"
                              % (name, folder, shown[:80], usual[0], initial[:80]))
        return case

    chats = []

    def chat(*pieces):
        def case(name):
            if not chats:
                bob.command("key alice@pelvane.test")
                poll(lambda: bob.command("haskey alice@pelvane.test"), lambda r: r == ["1"], 15000,
                     lambda r: "Bob never got Alice's key")
            def lines():
                view = alice.ui("child", alice.main, CHAT_VIEW_CLASS)
                return alice.text_of(view).count("Bob Baker (") if view != "none" else 0
            before = lines()
            started = time.time()
            check(bob.command("chatunits alice@pelvane.test " + units(*pieces), timeout=60) == ["1"],
                  "%s: Bob's text was sent" % name)
            poll(lines, lambda n: n == before + 1, 60000, lambda n: "%s: the text is not shown" % name)
            chats.append(name)
            print("case %s: shown after %.1f s" % (name, time.time() - started))
            screenshot(s, "hostile_" + name)
        return case

    def call_from(caller):
        def case(name):
            c = peers[caller]
            c.command("call alice@pelvane.test")
            alice.find(alice.main, ACCEPT, 60000)
            time.sleep(1)
            screenshot(s, "hostile_" + name)
            c.command("hangup")
            poll(lambda: alice.ui("item", alice.main, ACCEPT), lambda h: h == "none", 30000,
                 lambda h: "%s: the ringing page stays after the hang-up" % name)
        return case

    startup = "C:\\ProgramData\\Microsoft\\Windows\\Start Menu\\Programs\\StartUp\\update.exe"
    cases = [
        ("names_255", names_255),
        ("offer_plain", offer("notes.txt", "notes.txt")),
        ("offer_absolute", offer(startup, "update.exe")),
        ("offer_library", offer("version.dll", "version.dll")),
        ("offer_relative", offer("..\\..\\x.exe", "x.exe")),
        ("offer_unc", offer("\\\\host\\share\\x", "x")),
        ("offer_stream", offer("a.txt:stream", "a.txtstream")),
        ("offer_con", offer("CON", "_CON")),
        ("offer_nul_txt", offer("nul.txt", "_nul.txt")),
        ("offer_trailing", offer("name. . .", "name")),
        ("offer_invalid", offer('<>:"/\\|?*', "file")),
        ("offer_empty", offer("", "file")),
        ("offer_4096", offer("r" * 4092 + ".txt", None)),
        ("offer_511", offer("r" * 507 + ".txt", "r" * 251 + ".txt")),
        ("offer_rtl", offer("photo\u202egpj.exe", "photogpj.exe")),
        ("chat_empty", chat()),
        ("chat_64k", chat(("x", 65536))),
        ("chat_5000_lines", chat(("a line of the text\r\n", 5000))),
        ("chat_surrogates", chat(("\ud800a\udfffb\udc00\ud800c\ud83d", 1))),
        # The zero unit last: a text ends there for the view.
        ("chat_controls", chat(("".join(map(chr, list(range(1, 32)) + list(range(127, 160)) + [0])), 1))),
        ("call_stranger", call_from("dave")),
        ("call_255", call_from("long")),
    ]
    for name, case in cases:
        case(name)
        settled(name)
    check(not misled, "the offers chose the save dialog's folder or name:\n  " + "\n  ".join(misled))
    exit_both([alice])


SCENARIOS = {f.__name__: f for f in (cancelled_sign_in, single_instance, numbered_identity,
                                     language_tool_then_start, missing_language_file, held_settings_file,
                                     session_end, file_between_two_users, transfer_endings,
                                     chat_between_two_users, call_between_two_users,
                                     acceptance_before_the_answer, tab_closed_as_the_peer_hangs_up,
                                     hostile_peer)}


if __name__ == "__main__":
    sys.exit(run_scenario(SCENARIOS))
