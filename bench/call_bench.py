"""Call set-up time, mouth-to-ear delay and file transfer time between two
console clients under Wine through the test relay on 127.0.0.1.

    call_bench.py --relay RELAY --bin WINBIN --work DIR [--calls N]
"""
import argparse
import os
import statistics
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "integration"))

from harness import ROOT, Session, check  # noqa: E402
from call_file_tests import (Calls, answer_call, carry_speech, hang_up, place_call,  # noqa: E402
                             transfer)

PUMP_MS = 100


def set_up_times(calls, a, b, relayed, count):
    """From the caller's PlaceCall to media connected on both sides, and to
    both talking, in milliseconds."""
    connected, talking = [], []
    for _ in range(count):
        a.command("call " + b.email)
        placed = a.last_stamp
        place_call_rest(calls, a, b, relayed)
        both = max(a.last_stamp, b.last_stamp + (b.started - a.started))
        connected.append((both - placed) * 1000)
        answer_call(a, b)
        talking.append((a.last_stamp - placed) * 1000)
        hang_up(calls, a, b)
    return connected, talking


def place_call_rest(calls, a, b, relayed):
    """place_call after its first command: the caller's events up to media
    connected, and the callee's."""
    check(a.events(2) == ["EV 11 1", "EV 10 0"], "call placed")
    b.expect(r"EV 14 .*")
    n = 3 if relayed else 2
    for c in (b, a):
        events = c.events(n)
        check(events[-1] == "EV 15", "%s connected: %s" % (c.name, events))


def describe(name, values, unit="ms"):
    return "%-44s median %7.0f %s  min %7.0f  max %7.0f  (n=%d)" % (
        name, statistics.median(values), unit, min(values), max(values), len(values))


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--relay", required=True)
    p.add_argument("--bin", required=True)
    p.add_argument("--work", required=True)
    p.add_argument("--calls", type=int, default=5)
    p.add_argument("--prefix", default=os.environ.get("WINEPREFIX",
                                                      os.path.join(ROOT, "build", "wineprefix")))
    args = p.parse_args()
    s = Session(args.work, args.relay, args.bin, args.prefix)
    calls = Calls(s)
    lines = []
    try:
        a = calls.client("a", "alice")
        b = calls.client("b", "bob")
        for relayed in (False, True):
            path = "relayed" if relayed else "direct"
            calls.relay.ctl("set path " + ("relay" if relayed else "direct"))
            connected, talking = set_up_times(calls, a, b, relayed, args.calls)
            lines.append(describe("call set-up, %s: PlaceCall to media connected" % path, connected))
            lines.append("%-44s median %7.1f pump passes of %d ms" % (
                "", statistics.median(connected) / PUMP_MS, PUMP_MS))
            lines.append(describe("call set-up, %s: PlaceCall to both talking" % path, talking))
            place_call(calls, a, b, relayed)
            answer_call(a, b)
            delays = [carry_speech(calls, x, y, "%s-%d" % (path, i))[0]
                      for i, (x, y) in enumerate(((a, b), (b, a), (a, b), (b, a)))]
            lines.append(describe("mouth-to-ear delay, %s (AMR mode 1)" % path, delays))
            hang_up(calls, a, b)
        calls.relay.ctl("set chunk 8192")
        content = os.urandom(65536)
        _, took = transfer(a, b, content, "bench64k.bin", 60)
        # Eight chunks, more than a second apart: at least seven seconds.
        lines.append("%-44s %7.2f s for 65536 bytes: %.0f bytes/s (bound 8192 bytes/s, "
                     "at least 7 s)" % ("file transfer, 64 KB in 8 KB chunks:", took,
                                       len(content) / took))
        a.quit()
        b.quit()
    except Exception as e:
        calls.close()
        s.close()
        s.dump()
        print("FAILED: %s: %s" % (type(e).__name__, e))
        return 1
    calls.close()
    s.close()
    print("\n".join(lines))
    return 0


if __name__ == "__main__":
    sys.exit(main())
