"""The program's sign-in dialog under Wine against the test relay: a user
(dialog_driver.exe) signs in for the first time on a new installation,
enrols the computer, adds contacts, and on a later start is refused.

    dialog_tests.py SCENARIO --relay RELAY --bin WINBIN --work DIR

The dialog always connects to port 20015, so the relay listens there on a
loopback address of its own.
"""
import os
import re
import socket
import sys

from harness import check, free_port, loopback_address, run_scenario

DRIVER = "dialog_driver.exe"


def run(client, relay, *options):
    """One start of the program's sign-in; returns the lines it printed."""
    client.launch("--host", relay.host, "--udp-port", free_port(socket.SOCK_DGRAM), *options)
    client.expect("BYE", timeout=120)
    client.process.wait(30)
    lines = client.seen()
    client.stop()
    return lines


def line(lines, prefix):
    found = [l for l in lines if l.startswith(prefix)]
    check(found, "no line %r in %s" % (prefix, lines))
    return found[0]


def first_sign_in_then_refused(s):
    t = s.texts
    relay = s.relay(host=loopback_address(71), port=20015)
    c = s.client("user", DRIVER)

    # A new installation: nothing saved, the device unknown to the server.
    lines = run(c, relay, "--user", "alice@pelvane.test", "--password", "demo", "--device", "Alice Desk",
                "--add", "dave@pelvane.test", "--add", "nobody@pelvane.test")
    check(line(lines, "SHOWN") == "SHOWN ", "a first start shows no name: %s" % lines)
    statuses = [l[len("STATUS "):] for l in lines if l.startswith("STATUS ")]
    for k in (0, 5, 6):
        check(t[k] in statuses, "status %r shown: %s" % (t[k], statuses))
    check("ENROL Alice Desk" in lines, "the device was named: %s" % lines)
    registration = relay.wait_log("< 102 device registration")
    check('device=E16"Alice Desk"' in registration and 'kind="PC"' in registration, registration)
    check("noPad=1" in relay.wait_log("< 101 session request"), "the first request holds no pad")
    check("BOX %s|%s" % (t[44], t[43]) in lines, "the enrolment was confirmed: %s" % lines)
    check("RESULT 1" in lines, "signed in: %s" % lines)
    pad = c.file("conf.dat")
    check(pad is not None and len(pad) == 2048, "conf.dat holds the pad")

    # Adding: one the server takes, one it refuses.
    check("BOX %s|%s" % (t[78], t[77]) in lines, "dave added: %s" % lines)
    check("ADD dave@pelvane.test 1" in lines, "the add dialog ended with 1: %s" % lines)
    check("BOX %s|%s" % (t[76], t[138]) in lines, "nobody refused: %s" % lines)
    check("ADD nobody@pelvane.test 2" in lines, "the refused add ended with 2: %s" % lines)
    relay.wait_log('< 118 add contact name=E32"dave@pelvane.test"')

    # The start options of a first start, in this installation's registry.
    reg = line(lines, "REG ")
    run_value = re.search(r"Run=(.*)$", reg).group(1)
    check(reg.startswith("REG AutoLogin=0 AutoStart=1 "), reg)
    check(run_value.startswith('"') and run_value.endswith('\\%s"' % DRIVER), reg)
    check(len(c.file("pvconf.dat") or b"") == 5134, "pvconf.dat written")

    # A later start: the saved name is shown; a wrong password is refused
    # with the server's reason and the dialog is ready for another try.
    relay.ctl("mark")
    lines = run(c, relay, "--password", "wrong")
    check(line(lines, "SHOWN") == "SHOWN alice@pelvane.test", "the saved name is shown: %s" % lines)
    check("BOX %s|Wrong e-mail address or password" % t[1] in lines, "refused: %s" % lines)
    check("RESULT 2" in lines, "not signed in: %s" % lines)
    check(not [l for l in lines if l.startswith("ENROL")], "no second enrolment: %s" % lines)
    relay.wait_log("< 100 login request")
    check("< 101 " not in relay.log().split("ctl: mark")[-1], "no session request after the refusal")


SCENARIOS = {"first_sign_in_then_refused": first_sign_in_then_refused}


if __name__ == "__main__":
    sys.exit(run_scenario(SCENARIOS))
