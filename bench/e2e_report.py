#!/usr/bin/env python3
"""Prints bench/e2e's tables from its records (tab-separated):
  P  payload  bytes  values                          one per payload, in order
  C  payload  label  checksum                        the output of one untimed run
                                                     ("payload": the file itself)
  R  payload  round  label  wall_ns  cpu_ns  peak_rss_kib
Ratios are taken per round (both runs of a ratio are neighbours in time) and the median shown
with the range over the rounds."""
import statistics
import sys
from collections import defaultdict

# Which client run each command's output and time are compared with.
COMPACT = {"client --json", "baseline --json", "stock compact", "jq -S -c ."}
# The parse-only mark: it prints nothing, so its output is not compared.
PEER = "simdjson parse"
MIB = 1 << 20
HEADER = (f"{'command':<16}{'runs':>5}{'median ms':>11}{'spread':>8}{'cpu ms':>10}   "
          f"{'x floor [range]':<20}{'x client [range]':<20}{'peak RSS MiB':>12}{'RSS/payload':>12}")
LEGEND = """
x floor: the command's time over the floor's in the same round; x client: over the client's
in the same style (indented or --json); [min-max] over the rounds. spread: (max - min) / median
of the times. cpu: median user + system time (less sensitive to other load than wall time).
Peak RSS is the command's own, from wait4."""


def client_for(label):
    return "client --json" if label in COMPACT else "client"


def ratio_text(times, other):
    ratios = [times[r][0] / other[r][0] for r in times if r in other]
    return f"{statistics.median(ratios):6.2f} [{min(ratios):.2f}-{max(ratios):.2f}]"


def median_rss(times):
    return statistics.median(run[2] for run in times.values()) * 1024


def over_peer(runs, label):
    """The label's time over the peer's, per round: (median, min, max), or None."""
    if PEER not in runs or label not in runs:
        return None
    ratios = [runs[label][r][0] / runs[PEER][r][0] for r in runs[label] if r in runs[PEER]]
    return statistics.median(ratios), min(ratios), max(ratios)


def peer_text(ratio):
    return f"{ratio[0]:.2f} [{ratio[1]:.2f}-{ratio[2]:.2f}]" if ratio else "-"


def print_payload(name, size, values, runs, outputs):
    print(f"\n{name}: {size:,} bytes, {len(runs['floor'])} rounds")
    print(HEADER)
    for label, times in runs.items():
        ms = [run[0] / 1e6 for run in times.values()]
        median = statistics.median(ms)
        cpu = statistics.median(run[1] / 1e6 for run in times.values())
        reference = client_for(label)
        vs_floor = ratio_text(times, runs["floor"]) if label != "floor" else "  1.00"
        vs_client = ratio_text(times, runs[reference]) if label not in ("floor", reference) else ""
        rss = median_rss(times)
        per_payload = f"{rss / size:12.2f}" if size >= MIB else ""
        print(f"{label:<16}{len(ms):5}{median:11.2f}{(max(ms) - min(ms)) / median * 100:7.0f}%"
              f"{cpu:10.2f}   {vs_floor:<20}{vs_client:<20}{rss / MIB:12.1f}{per_payload}")
    if values:
        for label in ("client", "client --json", "baseline", "baseline --json"):
            if label in runs:
                rss = median_rss(runs[label])
                print(f"  {label}: {rss / values:.1f} bytes of peak RSS per value, "
                      f"{(rss - size) / values:.1f} beyond the frame ({values:,} values)")
    notes = []
    if outputs.get("floor") != outputs.get("payload"):
        notes.append("the floor's output is not the payload")
    for label in runs:
        reference = client_for(label)
        if label in outputs and label not in ("floor", reference, PEER):
            if outputs[label] != outputs.get(reference):
                notes.append(f"'{label}' output differs from '{reference}'")
    print("  outputs: " + ("; ".join(notes) if notes else
                           "every command checked wrote the same bytes as the client in its style"))
    if PEER in runs:
        print("  over the parse-only peer: " + ", ".join(
            f"{label} {peer_text(over_peer(runs, label))}"
            for label in ("client", "client --json", "baseline", "baseline --json")
            if label in runs))


def main(path):
    payloads = {}
    checks = defaultdict(dict)
    # payload -> label (in order of first run) -> round -> (wall ns, cpu ns, peak RSS KiB)
    runs = defaultdict(lambda: defaultdict(dict))
    with open(path, encoding="utf-8") as records:
        for line in records:
            field = line.rstrip("\n").split("\t")
            if field[0] == "P":
                payloads[field[1]] = (int(field[2]), int(field[3]) if field[3] else None)
            elif field[0] == "C":
                checks[field[1]][field[2]] = field[3]
            elif field[0] == "R":
                runs[field[1]][field[3]][int(field[2])] = tuple(int(f) for f in field[4:7])
    for name, (size, values) in payloads.items():
        print_payload(name, size, values, runs[name], checks[name])
    print(LEGEND)
    if any(PEER in runs[name] for name in payloads):
        labels = [label for label in ("client", "client --json", "baseline", "baseline --json")
                  if any(label in runs[name] for name in payloads)]
        print("\nOver the parse-only peer (median of the per-round ratios [range]):")
        print(f"{'payload':<24}" + "".join(f"{label:>24}" for label in labels))
        for name in payloads:
            print(f"{name:<24}" + "".join(
                f"{peer_text(over_peer(runs[name], label)):>24}" for label in labels))


if __name__ == "__main__":
    main(sys.argv[1])
