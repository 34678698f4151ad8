#!/usr/bin/env python3
"""Prints the dictionary benchmark's medians (from Google Benchmark's JSON) as the targets table."""
import json
import sys

runs = json.load(open(sys.argv[1]))["benchmarks"]
med = {}
for r in runs:
    if r.get("aggregate_name") == "median":
        med[r["run_name"]] = r


def get(name, field="cpu_time", unit=1.0):
    r = med.get(name)
    if r is None:
        return None
    scale = {"ns": 1.0, "us": 1e3, "ms": 1e6}[r["time_unit"]]
    return r[field] * scale / unit if field in ("cpu_time", "real_time") else r[field]


def fmt(v, digits=1):
    return "-" if v is None else f"{v:,.{digits}f}"


rows = []


def ratio_row(measure, tree, base, limit, unit, label):
    for which, data in ((0, "real"), (1, "1M")):
        t = get(tree.format(which), unit=unit)
        m = get(base.format(which), unit=unit)
        tw = get(tree.format(which), "real_time", unit)
        mw = get(base.format(which), "real_time", unit)
        ratio = None if t is None or m is None else t / m
        met = "-" if ratio is None else ("yes" if ratio <= limit else "NO")
        rows.append((f"{measure}, {data}", f"{fmt(t)} {label} ({fmt(tw)} wall)",
                     f"{fmt(m)} {label} ({fmt(mw)} wall)", f"{fmt(ratio, 2)} x", f"<= {limit} x", met))


def abs_row(measure, name, limit, unit, label, extra=""):
    t = get(name, unit=unit)
    tw = get(name, "real_time", unit)
    met = "-" if t is None else ("yes" if t <= limit else "NO")
    rows.append((measure, f"{fmt(t, 3)} {label} ({fmt(tw, 3)} wall){extra}", "", "", f"<= {limit} {label}", met))


ratio_row("load", "BM_LoadTree/{}/iterations:3", "BM_LoadMap/{}/iterations:3", 1.0, 1e6, "ms")
for which, data in ((0, "real"), (1, "1M")):
    t = med.get(f"BM_LoadTree/{which}/iterations:3")
    m = med.get(f"BM_LoadMap/{which}/iterations:3")
    if t:
        limit = "<= 130 B" if which == 0 else ""
        met = ("yes" if t["bytes_per_pair"] <= 130 else "NO") if which == 0 else ""
        rows.append((f"memory after load per pair, {data}", f"{t['bytes_per_pair']:.1f} B",
                     f"{m['bytes_per_pair']:.1f} B" if m else "-", "", limit, met))
ratio_row("exact lookup hit", "BM_FindTree<true>/{}", "BM_FindMap<true>/{}", 2.0, 1.0, "ns")
ratio_row("exact lookup miss", "BM_FindTree<false>/{}", "BM_FindMap<false>/{}", 2.0, 1.0, "ns")
for which, data in ((0, "real"), (1, "1M")):
    for hit in ("true", "false"):
        name = f"BM_FindPosition<{hit}>/{which}"
        t = get(name)
        if t is not None:
            rows.append((f"tree walk to the text's position ({'hit' if hit == 'true' else 'miss'}), {data}",
                         f"{fmt(t)} ns", "", "", "", ""))
for which, data in ((0, "real"), (1, "1M")):
    for length in (1, 2, 4):
        name = f"BM_NearTree/{which}/{length}"
        t = get(name, unit=1e3)
        tw = get(name, "real_time", 1e3)
        m = get(f"BM_NearMap/{which}/{length}", unit=1e3)
        res = med.get(name, {}).get("results")
        target = "<= 500 us" if (which, length) == (0, 1) else ""
        met = ("yes" if t is not None and t <= 500 else "NO") if target else ""
        rows.append((f"near search {length}-letter prefix, {data} (~{fmt(res, 0)} results)",
                     f"{fmt(t)} us ({fmt(tw)} wall)", f"{fmt(m)} us (scan + sort)", "", target, met))
abs_row("addition at run time, 1M", "BM_AddTranslation/1", 50, 1e3, "us")
abs_row("addition at run time, real", "BM_AddTranslation/0", 50, 1e3, "us")
abs_row("local step, 8 words, 1M, cold cache, all words known", "BM_TranslateLocal<true>/1", 20, 1e6, "ms")
abs_row("local step, 8 words, 1M, cold cache, last word unknown", "BM_TranslateLocal<false>/1", 20, 1e6, "ms")

print("| measure | talvero (CPU, median of 5) | std::unordered_map | ratio | target | met |")
print("|---|---|---|---|---|---|")
for r in rows:
    print("| " + " | ".join(r) + " |")
