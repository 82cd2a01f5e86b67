"""Scenarios of two or more real clients (session_driver.exe under Wine)
against the test relay on 127.0.0.1.

    session_tests.py SCENARIO --relay RELAY --bin WINBIN --work DIR
"""
import os
import socket
import sys
import time

from harness import Failure, check, escape, free_port, run_scenario

USERS = {
    "alice": ("alice@pelvane.test", "Alice Archer"),
    "bob": ("bob@pelvane.test", "Bob Baker"),
    "carol": ("carol@pelvane.test", "Carol Cooper"),
}


def launch(client, relay, who, *extra, backup=None, host=None):
    options = ["--host", host or relay.host, "--port", relay.port, "--user", USERS[who][0],
               "--password", "demo", "--udp-port", free_port(socket.SOCK_DGRAM)]
    if backup:
        options += ["--backup", backup]
    client.launch(*(options + list(extra)))


def sign_in(client, relay, who, register=None, **kw):
    """Starts the client and waits until it is signed in; enrols the device
    first when a name is given."""
    launch(client, relay, who, **kw)
    if register:
        check(client.events(4) == ["EV 0", "EV 3", "EV 4", "EV 22"], "enrolment asked")
        client.command("register " + register)
        check(client.events(4) == ["EV 24", "EV 6", "EV 9", "EV 25"], "enrolled and signed in")
    else:
        check(client.events(6) == ["EV 0", "EV 3", "EV 4", "EV 6", "EV 9", "EV 25"], "signed in")


def relogin(client, known=True):
    """After a lost link: the reset, then a fresh connection and login."""
    check(client.events(2) == ["EV 17", "EV 5"], "reset reported")
    reset_at = client.last_stamp
    expected = ["EV 3", "EV 4"] + (["EV 6", "EV 9", "EV 25"] if known else ["EV 22"])
    check(client.events(len(expected), timeout=30) == expected, "reconnected and signed in")
    return reset_at


def state(client):
    words = client.command("state")
    return dict(w.split("=", 1) for w in words)


def wait_for_key(client, name, present=True, timeout=10):
    deadline = time.time() + timeout
    while time.time() < deadline:
        if client.command("haskey " + name) == ["1" if present else "0"]:
            return
        time.sleep(0.2)
    raise Failure("key of %s %s" % (name, "never came" if present else "was kept"))


def first_sign_in(s):
    relay = s.relay()
    a = s.client("a")
    sign_in(a, relay, "alice", register="Alice PC")
    registration = relay.wait_log("< 102 device registration")
    check('device=E16"Alice PC"' in registration and 'kind="PC"' in registration, registration)
    check("noPad=1" in relay.wait_log("< 101 session request"), "first request holds no pad")
    reply = relay.wait_log("> 106 session reply")
    pad = a.file("conf.dat")
    check(pad is not None and len(pad) == 2048, "conf.dat holds the 2048-byte pad")
    check("status=1 pad=B2048:" + pad[:16].hex() in reply, "the pad saved is the one sent: " + reply)
    st = state(a)
    check(st["own"] == escape("Alice Archer") and st["device"] == escape("Alice PC"), str(st))
    a.quit()
    check(len(a.file("pvconf.dat") or b"") == 5134, "pvconf.dat written")

    # The same installation again: the device is known and the pad is reused.
    sign_in(a, relay, "alice")
    check("noPad=0" in relay.wait_log("< 101 session request"), "second request holds its pad")
    check("status=0 offset=" in relay.wait_log("> 106 session reply"), "status 0 the second time")
    check(a.file("conf.dat") == pad, "pad unchanged")
    check(state(a)["device"] == escape("Alice PC"), "device name from the login step")
    check(a.command("contacts") == ["2"], "two contacts")
    check(any(l.endswith(" bob@pelvane.test|Bob%20Baker|1") for l in a.seen()), "bob listed")
    a.quit()
    check(relay.ctl("violations") == "ok 0", "the relay saw no protocol violation")


def refusals(s):
    relay = s.relay()
    a = s.client("a")
    relay.ctl("set reason Account on hold")
    relay.ctl("set login refuse")
    launch(a, relay, "alice")
    check(a.events(4) == ["EV 0", "EV 3", "EV 4", "EV 21 Account%20on%20hold"], "login refused")

    relay.ctl("set login normal")
    relay.ctl("set register refuse")
    a.command("drop")
    relogin(a, known=False)
    a.command("register Alice PC")
    check(a.events(1) == ["EV 23 Account%20on%20hold"], "registration refused")
    relay.ctl("set register normal")
    a.command("register Alice PC")
    check(a.events(4) == ["EV 24", "EV 6", "EV 9", "EV 25"], "second registration accepted")

    for setting, text in (("status 4", "Account%20on%20hold"), ("status 9", s.text(63)),
                          ("status 2", s.text(63))):
        relay.ctl("set session " + setting)
        a.command("drop")
        check(a.events(6, timeout=30) == ["EV 17", "EV 5", "EV 3", "EV 4", "EV 6", "EV 7 " + text],
              "session " + setting)
    relay.ctl("set session normal")
    a.command("drop")
    relogin(a)

    # Replies cut short, field by field.
    for sample, event in (("24 cut 0", "EV 21 " + s.text(58)), ("24 cut 2", "EV 21 " + s.text(58)),
                          ("24-refused cut 1", "EV 21 " + s.text(58)),
                          ("26 cut 0", "EV 23 " + s.text(59)),
                          ("26-refused cut 1", "EV 23 " + s.text(59)),
                          ("6 cut 0", "EV 7 " + s.text(58)), ("6 cut 3", "EV 7 " + s.text(58)),
                          ("6-status4 cut 1", "EV 7 " + s.text(58)),
                          ("40-refused cut 2", "EV 31 dave@pelvane.test|")):
        relay.ctl("sample alice@pelvane.test " + sample)
        check(a.events(1) == [event], "sample " + sample)
    check(a.file("conf.dat") is not None and len(a.file("conf.dat")) == 2048, "pad kept")
    check(state(a)["connected"] == "1", "still connected")
    a.quit()


def contacts_and_chat(s):
    relay = s.relay()
    a, b = s.client("a"), s.client("b")
    sign_in(a, relay, "alice", register="Alice PC")
    sign_in(b, relay, "bob", register="Bob PC")
    # Bob's presence reaches Alice, whose client fetches his key.
    a.expect(r"EV 20 bob@pelvane\.test\|0")
    relay.wait_log('(alice@pelvane.test) < 112 key request name=E16"bob@pelvane.test"')
    wait_for_key(a, "bob@pelvane.test")
    # Bob asks after his contacts.
    b.command("queries")
    got = sorted(b.events(2))
    check(got == ["EV 20 alice@pelvane.test|0", "EV 20 carol@pelvane.test|1"], str(got))
    wait_for_key(b, "alice@pelvane.test")

    words = "Meadow lanterns whisper at noon"
    check(a.command("chat bob@pelvane.test " + words) == ["1"], "chat sent")
    b.expect(r"EV 18 alice@pelvane\.test\|Alice%20Archer\|" + escape(words))
    reply = "Quiet harbour answers \u00e9\u4e2d"
    check(b.command("chat alice@pelvane.test " + reply) == ["1"], "reply sent")
    a.expect(r"EV 18 bob@pelvane\.test\|Bob%20Baker\|" + escape(reply.encode("utf-8")))

    # Carol is offline: her key is empty and nothing is sent to her.
    check(a.command("key carol@pelvane.test") == ["1"], "key asked")
    relay.wait_log('> 113 contact key name=E32"carol@pelvane.test" key=B0')
    wait_for_key(a, "carol@pelvane.test", present=False)
    check(a.command("chat carol@pelvane.test hello") == ["0"], "no chat without a key")

    # Bob leaves: his state 1 drops his key.
    b.quit()
    a.expect(r"EV 20 bob@pelvane\.test\|1")
    wait_for_key(a, "bob@pelvane.test", present=False)
    check(a.command("chat bob@pelvane.test still there?") == ["0"], "no chat after state 1")

    log = relay.log()
    check(log.count("< 110 chat text") == 2, "exactly the two chats went out")
    for plain in (words, reply, "Meadow", "harbour"):
        check(plain not in log, "plain words in the relay log: " + plain)
        check(plain.encode("utf-16-le").hex() not in log, "UTF-16 words in the relay log: " + plain)
    a.quit()
    check(relay.ctl("violations") == "ok 0", "the relay saw no protocol violation")


def add_contact(s):
    relay = s.relay()
    a = s.client("a")
    sign_in(a, relay, "alice", register="Alice PC")
    a.command("add dave@pelvane.test")
    check(a.events(2) == ["EV 32 dave@pelvane.test", "EV 9"], "added, fresh list")
    check(a.command("contacts") == ["3"], "three contacts")
    check(any(l.endswith(" dave@pelvane.test|Dave%20Dalton|1") for l in a.seen()), "dave listed")
    for name, reason in (("nobody@pelvane.test", "No such user"),
                         ("bob@pelvane.test", "Already in your contact list"),
                         ("alice@pelvane.test", "You cannot add yourself")):
        a.command("add " + name)
        check(a.events(1) == ["EV 31 %s|%s" % (name, escape(reason))], "refused " + name)
    long_name = "x" * 300 + "@pelvane.test"
    a.command("add " + long_name)
    check(a.events(1) == ["EV 31 %s|%s" % (long_name, s.text(71))], "an overlong name is refused")
    check(relay.log().count("< 118 add contact") == 4, "the overlong name never went out")
    a.quit()


def link_faults(s):
    relay = s.relay()
    a = s.client("a")
    sign_in(a, relay, "alice", register="Alice PC")

    relay.ctl("set keepalive off")
    check(a.events(2, timeout=35) == ["EV 17", "EV 5"], "silent link declared lost")
    reset_at = a.last_stamp
    relay.ctl("set keepalive on")
    # Requests made during the pause are refused, not dropped silently.
    check(a.command("chat bob@pelvane.test hello") == ["0"], "chat refused while reconnecting")
    # The add waits for the link lock until the pause ends, and is then
    # refused whether the new connection is already there or not.
    a.send("add dave@pelvane.test")
    refusal = "EV 31 dave@pelvane.test|" + s.text(71)
    got = a.events(6, timeout=30)
    check(refusal in got, "add refused: %s" % got)
    got.remove(refusal)
    check(got == ["EV 3", "EV 4", "EV 6", "EV 9", "EV 25"], "signed in again: %s" % got)
    check(a.stamps["EV 3"] - reset_at >= 2.8, "3000 ms pause after the reset")
    relay.wait_log("< 100 login request")

    for fault in ("close", "reset"):
        relay.ctl("%s alice@pelvane.test" % fault)
        relogin(a)
    # A length word beyond any message: the link is dropped and rebuilt.
    relay.ctl("raw alice@pelvane.test ffffff7f")
    relogin(a)
    check(state(a)["connected"] == "1", "connected at the end")
    a.quit()


def numbered_instance(s):
    relay = s.relay()
    a = s.client("a")
    base = free_port(socket.SOCK_DGRAM)
    launch(a, relay, "alice", "--instance", "3", "--udp-port", base)
    check(a.events(4) == ["EV 0", "EV 3", "EV 4", "EV 22"], "a numbered instance is a device of its own")
    connected_at = a.last_stamp
    st = state(a)
    check(st["identity"] == "brannow_simul_3" and st["udp"] == str(base + 3), str(st))
    a.command("register Instance 3")
    check(a.events(4) == ["EV 24", "EV 6", "EV 9", "EV 25"], "enrolled")
    # Keep-alives keep coming, yet the link is given up 10 s after connecting.
    check(a.events(2, timeout=20) == ["EV 17", "EV 5"], "dropped by design")
    check(9.5 <= a.last_stamp - connected_at <= 13, "dropped 10 s after the connect")
    check(a.events(5, timeout=30) == ["EV 3", "EV 4", "EV 6", "EV 9", "EV 25"], "back again")
    a.quit()


def failover(s):
    port = free_port()
    enrol = os.path.join(s.work, "enrolled.txt")
    primary = s.relay("primary", host="127.0.0.1", port=port, extra=["--enrol-file", enrol])
    a = s.client("a")
    sign_in(a, primary, "alice", register="Alice PC", backup="127.0.0.2")
    check(state(a)["secondary"] == "0", "on the primary")
    secondary = s.relay("secondary", host="127.0.0.2", port=port, extra=["--enrol-file", enrol])

    primary.ctl("down")
    check(a.events(2) == ["EV 17", "EV 5"], "primary lost")
    check(a.events(7, timeout=30) == ["EV 3", "EV 2", "EV 3", "EV 4", "EV 6", "EV 9", "EV 25"],
          "primary refused, secondary taken")
    check(state(a)["secondary"] == "1", "on the secondary")
    secondary.wait_log("signed in as Alice Archer")

    primary.ctl("up")
    up_at = time.time() - a.started
    # The fourth successful test resets; the connect thread's failing pump
    # resets once more, then the primary is taken.
    check(a.events(4, timeout=40) == ["EV 17", "EV 5", "EV 17", "EV 5"], "two resets")
    check(a.last_stamp - up_at >= 14, "not before the fourth test")
    check(a.events(5, timeout=30) == ["EV 3", "EV 4", "EV 6", "EV 9", "EV 25"], "back on the primary")
    check(state(a)["secondary"] == "0", "on the primary again")
    log = primary.log()
    after_up = log[log.index("relay up"):]
    check(after_up.count("accepted from") == 5, "four tests and the session: " + after_up)
    a.quit()


def malformed_input(s):
    relay = s.relay()
    a = s.client("a")
    sign_in(a, relay, "alice", register="Alice PC")
    me = "alice@pelvane.test"
    cut = "x" * 256

    for size in (256, 272, 4096):
        relay.ctl("sample %s 22 enclen %d" % (me, size))
        check(a.events(1) == ["EV 20 %s|0" % cut], "contact state, %d-byte name" % size)
    check(relay.log().count("< 112 key request") == 0, "no key asked for a name that cannot travel")
    relay.ctl("sample %s 18 enclen 4096" % me)
    check(a.events(1) == ["EV 18 %s|%s|" % (cut, cut)], "chat with oversized names, empty text")
    relay.ctl("sample %s 40-refused enclen 272" % me)
    check(a.events(1) == ["EV 31 %s|%s" % (cut, cut)], "add-contact reply with oversized names")
    relay.ctl("sample %s 2 enclen 4096" % me)
    check(a.events(1) == ["EV 9"], "contact list with oversized names")
    check(a.command("contacts") == ["1"], "equal cut names keep the first")

    # Counts far beyond the body.
    relay.ctl("set list-count 4000000000")
    a.command("add dave@pelvane.test")
    check(a.events(2) == ["EV 32 dave@pelvane.test", "EV 9"], "absurd count")
    check(a.command("contacts") == ["0"], "no entries read")
    relay.ctl("set list-count normal")
    body = "02000000" + "ffffffff" + b"bob@x\0Bob\0".hex()
    relay.ctl("frame %s %s" % (me, body))
    check(a.events(1) == ["EV 9"], "plain list, absurd count")
    check(a.command("contacts") == ["1"], "the one pair read")

    # Bodies cut inside a field, and bodies with no type.
    for body, event in (("06000000" + "0100", "EV 7 " + s.text(58)),
                        ("12000000" + b"bob".hex(), None),
                        ("16000000" + b"bob\0".hex() + "01", None),
                        ("2a000000" + "01" + b"9.9".hex(), None),
                        ("1800", None),
                        ("e8030000", None)):
        relay.ctl("frame %s %s" % (me, body))
        if event:
            check(a.events(1) == [event], "cut body " + body)
    # The stream is still in step: a request and its answer.
    a.command("add nobody@pelvane.test")
    check(a.events(1) == ["EV 31 nobody@pelvane.test|No%20such%20user"], "link still in step")
    check(state(a)["connected"] == "1", "still connected")
    a.quit()


SCENARIOS = {f.__name__: f for f in (first_sign_in, refusals, contacts_and_chat, add_contact,
                                     link_faults, numbered_instance, failover, malformed_input)}


if __name__ == "__main__":
    sys.exit(run_scenario(SCENARIOS))
