#!/usr/bin/env python3
"""Prints bench/e2e's tables from its records (tab-separated):
  P  payload  bytes  values        one per payload, in order
  C  payload  label  checksum      the output of one untimed run ("payload": the file itself)
  R  payload  round  label  ns  peak_rss_kib
Ratios are taken per round (both runs of a ratio are neighbours in time) and the median shown
with the range over the rounds."""
import statistics
import sys
from collections import defaultdict

# Which client run each command's output and time are compared with.
COMPACT = {"client --json", "baseline --json", "stock compact", "jq -S -c ."}
MIB = 1 << 20


def client_for(label):
    return "client --json" if label in COMPACT else "client"


def ratio_text(ratios):
    if not ratios:
        return ""
    return f"{statistics.median(ratios):6.2f} [{min(ratios):.2f}-{max(ratios):.2f}]"


def per_round(times, other):
    return [times[r][0] / other[r][0] for r in times if r in other]


def main(path):
    payloads = {}
    checks = defaultdict(dict)
    runs = defaultdict(lambda: defaultdict(dict))  # payload -> label -> round -> (ns, kib)
    labels = defaultdict(list)
    with open(path, encoding="utf-8") as records:
        for line in records:
            field = line.rstrip("\n").split("\t")
            if field[0] == "P":
                payloads[field[1]] = (int(field[2]), int(field[3]) if field[3] else None)
            elif field[0] == "C":
                checks[field[1]][field[2]] = field[3]
            elif field[0] == "R":
                name, round_, label = field[1], int(field[2]), field[3]
                if label not in labels[name]:
                    labels[name].append(label)
                runs[name][label][round_] = (int(field[4]), int(field[5]))

    for name, (size, values) in payloads.items():
        rounds = len(runs[name]["floor"])
        print(f"\n{name}: {size:,} bytes, {rounds} rounds")
        print(f"{'command':<16}{'runs':>5}{'median ms':>11}{'spread':>8}   {'x floor [range]':<20}"
              f"{'x client [range]':<20}{'peak RSS MiB':>12}{'RSS/payload':>12}")
        for label in labels[name]:
            times = runs[name][label]
            ms = [ns / 1e6 for ns, _ in times.values()]
            median = statistics.median(ms)
            spread = (max(ms) - min(ms)) / median * 100 if median else 0.0
            vs_floor = ratio_text(per_round(times, runs[name]["floor"])) if label != "floor" else "  1.00"
            reference = client_for(label)
            vs_client = ""
            if label not in ("floor", reference):
                vs_client = ratio_text(per_round(times, runs[name][reference]))
            rss = statistics.median(kib for _, kib in times.values()) * 1024
            per_payload = f"{rss / size:12.2f}" if size >= MIB else f"{'':>12}"
            print(f"{label:<16}{len(ms):5}{median:11.2f}{spread:7.0f}%   {vs_floor:<20}{vs_client:<20}"
                  f"{rss / MIB:12.1f}{per_payload}")
        if values:
            for label in ("client", "client --json", "baseline", "baseline --json"):
                if label in runs[name]:
                    rss = statistics.median(kib for _, kib in runs[name][label].values()) * 1024
                    print(f"  {label}: {rss / values:.1f} bytes of peak RSS per value, "
                          f"{(rss - size) / values:.1f} beyond the frame ({values:,} values)")
        outputs = checks[name]
        notes = []
        if outputs.get("floor") != outputs.get("payload"):
            notes.append("the floor's output is not the payload")
        for label in labels[name]:
            reference = client_for(label)
            checked = label in outputs and label not in ("floor", reference)
            if checked and outputs[label] != outputs.get(reference):
                notes.append(f"'{label}' output differs from '{reference}'")
        if notes:
            print("  outputs: " + "; ".join(notes))
        else:
            print("  outputs: every command checked wrote the same bytes as the client in its style")
    print("\nx floor: the command's time over the floor's in the same round; x client: over the"
          "\nclient's in the same style (indented or --json); [min-max] over the rounds. spread:"
          "\n(max - min) / median of the times. Peak RSS is the command's own, from wait4.")


if __name__ == "__main__":
    main(sys.argv[1])
