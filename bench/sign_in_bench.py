"""Sign-in on loopback: a console client with a ready pad and an enrolled
device, launched under Wine again and again against the test relay.

    sign_in_bench.py --relay RELAY --bin WINBIN --work DIR [--runs N]

Reports, per run and as median / min / max:
  launch   from starting the process to the signed-in event
  main     from the driver's own start to the signed-in event
  set-up   start-up event to the first connect (identity, keys)
  protocol connect to signed-in (login, session request and their replies)
  cpu      processor time the client used up to the signed-in event
"""
import argparse
import os
import socket
import statistics
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests",
                                "integration"))
from harness import ROOT, Session, check, free_port  # noqa: E402


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--relay", required=True)
    p.add_argument("--bin", required=True)
    p.add_argument("--work", required=True)
    p.add_argument("--runs", type=int, default=10)
    p.add_argument("--prefix", default=os.environ.get("WINEPREFIX",
                                                      os.path.join(ROOT, "build", "wineprefix")))
    args = p.parse_args()
    s = Session(args.work, args.relay, args.bin, args.prefix)
    rows = []
    try:
        relay = s.relay()
        c = s.client("bench")
        options = ["--host", relay.host, "--port", relay.port, "--user", "alice@pelvane.test",
                   "--password", "demo", "--udp-port", free_port(socket.SOCK_DGRAM)]
        c.launch(*options)
        c.expect("EV 22")
        c.command("register Bench PC")
        c.expect("EV 25")
        c.quit()
        check(len(c.file("conf.dat") or b"") == 2048, "the pad is ready")
        for _ in range(args.runs):
            c.launch(*options)
            c.expect("EV 0")
            c.expect("EV 3")
            c.expect("EV 4")
            c.expect("EV 25")
            words = dict(w.split("=") for w in c.command("times"))
            st = c.stamps
            rows.append({
                "launch": st["EV 25"] * 1000,
                "main": float(words["wall"]),
                "set-up": (st["EV 3"] - st["EV 0"]) * 1000,
                "protocol": (st["EV 25"] - st["EV 4"]) * 1000,
                "cpu": float(words["cpu"]),
            })
            c.quit()
    finally:
        s.close()
    names = ["launch", "main", "set-up", "protocol", "cpu"]
    print("run " + " ".join("%9s" % n for n in names) + "   (ms)")
    for i, r in enumerate(rows, 1):
        print("%3d " % i + " ".join("%9.0f" % r[n] for n in names))
    for label, f in (("med", statistics.median), ("min", min), ("max", max)):
        print("%s " % label + " ".join("%9.0f" % f([r[n] for r in rows]) for n in names))
    return 0


if __name__ == "__main__":
    sys.exit(main())
