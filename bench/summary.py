#!/usr/bin/python3
"""Turns the raw figures tools/bench wrote into build/bench/ into one table.

Medians of the interleaved runs, with the smallest and largest run beside
them (the machine is shared, so the spread is part of the figure).
"""
import statistics
import sys
from pathlib import Path


def spread(values):
    if not values:
        return "-"
    return f"{statistics.median(values):.1f} ({min(values):.1f}-{max(values):.1f})"


def ratio_spread(values):
    if not values:
        return "-"
    return f"{statistics.median(values):.2f} ({min(values):.2f}-{max(values):.2f})"


def verdict(value, limit):
    return "met" if value <= limit else "NOT met"


def main(folder: Path) -> int:
    paint, soak = {}, []
    def lines_of(name):
        path = folder / name
        return path.read_text().split("\n") if path.exists() else []

    # The refresh runs with IPv4 sockets open, and with IPv6 ones.
    refreshes = {"IPv4": {}, "IPv6": {}}
    for family, name in (("IPv4", "refresh.txt"), ("IPv6", "refresh6.txt")):
        for line in lines_of(name):
            f = line.split()
            if len(f) >= 3:
                refreshes[family].setdefault(int(f[0]), []).append((f[1], [float(x) for x in f[2:]]))
    for line in lines_of("paint.txt"):
        f = line.split()
        if len(f) == 3:
            paint.setdefault(int(f[0]), []).append((f[1], float(f[2])))
    soak_file = folder / "soak.txt"
    if soak_file.exists():
        for line in soak_file.read_text().split("\n"):
            f = line.split()
            if len(f) == 6 and f[0] == "soak":
                soak.append([int(x) for x in f[1:]])

    out = []
    for family, refresh in refreshes.items():
        if not refresh:
            continue
        if out:
            out.append("")
        out.append(f"Monitor refresh with {family} sockets open: the real monitor against one table call per table, "
                   "interleaved")
        out.append("sockets | refresh ms        | bare ms           | refresh/bare      | UI answer ms     "
                   "| first refresh ms, answer ms")
        for n in sorted(refresh):
            rows = refresh[n]
            real = [v[0] for k, v in rows if k == "refresh"]
            answers = [v[1] for k, v in rows if k == "refresh"]
            bare = [v[0] for k, v in rows if k == "bare"]
            pairs = [r / b for r, b in zip(real, bare) if b > 0]
            first = [v for k, v in rows if k == "first"]
            first_text = f"{first[0][0]:.0f}, {first[0][1]:.1f}" if first else "-"
            out.append(f"{n:7d} | {spread(real):17s} | {spread(bare):17s} | {ratio_spread(pairs):17s} "
                       f"| {spread(answers):16s} | {first_text}")
        if 10000 in refresh:
            rows = refresh[10000]
            real = [v[0] for k, v in rows if k == "refresh"]
            bare = [v[0] for k, v in rows if k == "bare"]
            answers = [v[1] for k, v in rows if k in ("refresh", "first")]
            pairs = [r / b for r, b in zip(real, bare) if b > 0]
            if pairs:
                out.append(f"  refresh/bare at 10000 sockets {statistics.median(pairs):.2f} "
                           f"(target <= 1.15: {verdict(statistics.median(pairs), 1.15)})")
            if answers:
                out.append(f"  longest UI answer at 10000 sockets, any refresh: {max(answers):.1f} ms "
                           f"(target <= 100: {verdict(max(answers), 100)})")

    out.append("")
    out.append("Start to first painted main window, against an empty Win32 window, interleaved")
    out.append("sockets | program ms        | empty window ms   | program/empty")
    for n in sorted(paint):
        real = [v for k, v in paint[n] if k == "real"]
        empty = [v for k, v in paint[n] if k == "empty"]
        pairs = [r / e for r, e in zip(real, empty) if e > 0]
        medians = statistics.median(real) / statistics.median(empty) if real and empty else 0
        out.append(f"{n:7d} | {spread(real):17s} | {spread(empty):17s} | {ratio_spread(pairs)}"
                   f" (of medians {medians:.2f}; target <= 1.3: {verdict(medians, 1.3)})")

    if soak:
        out.append("")
        out.append(f"Private memory and handles over {len(soak)} refreshes (no growth after the first 50 is the aim)")
        columns = [("resident anonymous memory kB", 4), ("kernel handles", 1), ("GDI objects", 2),
                   ("USER objects (windows)", 3)]
        for name, i in columns:
            values = [row[i] for row in soak]
            after = values[50:] if len(values) > 50 else values
            at50 = values[49] if len(values) >= 50 else values[0]
            out.append(f"  {name}: first {values[0]}, at 50 {at50}, last {values[-1]}; "
                       f"after 50: {min(after)}-{max(after)} (growth {values[-1] - at50:+d})")

    program = folder / "program.txt"
    if program.exists():
        out.append("")
        out.append("The program itself: exe size, and private memory (resident anonymous kB) over a session")
        for line in program.read_text().split("\n"):
            f = line.split()
            if len(f) == 3 and f[0] == "size":
                out.append(f"  {f[1]} exe: {int(f[2])} bytes ({int(f[2]) / 1048576:.2f} MiB; target <= 1.2 MB)")
            elif len(f) == 4 and f[0] == "memory":
                out.append(f"  {f[1]} {f[2]}: {int(f[3])} kB ({int(f[3]) / 1024:.1f} MiB; target <= 12 MB)")

    watch = folder / "watch.txt"
    if watch.exists():
        out.append("")
        out.append("The watch: a simulated 24 h at a 1 s interval, fed in fast (velnor_watch_bench)")
        for line in watch.read_text().split("\n"):
            f = line.split()
            if len(f) == 5 and f[0] == "live_bytes":
                out.append(f"  allocator bytes held: {int(f[1])} before, {int(f[2])} after 1 h, {int(f[3])} after 24 h;"
                           f" growth {int(f[4]) / 1048576:.2f} MiB (target <= 2 MB)")
            elif len(f) >= 4 and f[0] == "paint_ms":
                out.append(f"  timeline paint at the end: {f[1]} ms ({f[2]}-{f[3]}) (target <= 20 ms)")
    text = "\n".join(out) + "\n"
    (folder / "summary.txt").write_text(text)
    sys.stdout.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main(Path(sys.argv[1])))
