#!/usr/bin/env python3
"""A network like a given one, FACTOR times its size, for the growth benchmark.

Every protein is cloned FACTOR times (for a factor below 1, a random share of
the proteins is kept), each clone with the protein's domains and its number
of interactions; the interactions are then drawn by matching those ends at
random (self-pairs and repeats dropped), so that the degrees, the domains per
protein and the domain sizes keep their distributions while the network
grows.

    bench/scaled_network.py PAIRS DOMAINS FACTOR SEED OUTDIR

writes OUTDIR/pairs.txt and OUTDIR/domains.txt.
"""
import os
import random
import sys


def read_pairs(path):
    with open(path) as f:
        next(f)
        return [tuple(line.split()[:2]) for line in f if line.strip()]


def read_domains(path):
    domains = []
    with open(path) as f:
        next(f)
        for line in f:
            name, _, members = line.rstrip("\n").partition(":")
            domains.append((name, members.split()))
    return domains


def main():
    pairs_path, domains_path, factor, seed, out = sys.argv[1:6]
    factor, rng = float(factor), random.Random(int(seed))
    pairs, domains = read_pairs(pairs_path), read_domains(domains_path)
    degree = {}
    for a, b in pairs:
        degree[a] = degree.get(a, 0) + 1
        degree[b] = degree.get(b, 0) + 1
    proteins = sorted(degree)
    copies = {}
    whole, share = int(factor), factor - int(factor)
    for p in proteins:
        n = whole + (1 if rng.random() < share else 0)
        if n:
            copies[p] = [p if i == 0 else f"{p}_{i}" for i in range(n)]
    ends = [c for p, cs in copies.items() for c in cs for _ in range(degree[p])]
    rng.shuffle(ends)
    seen, edges = set(), []
    for i in range(0, len(ends) - 1, 2):
        a, b = ends[i], ends[i + 1]
        key = (a, b) if a < b else (b, a)
        if a != b and key not in seen:
            seen.add(key)
            edges.append((a, b))
    os.makedirs(out, exist_ok=True)
    with open(os.path.join(out, "pairs.txt"), "w") as f:
        f.write(f"{len(edges)}\n")
        f.writelines(f"{a} {b}\n" for a, b in edges)
    in_network = {c for e in edges for c in e}
    lines = []
    for name, members in domains:
        kept = [c for m in members for c in copies.get(m, []) if c in in_network]
        if kept:
            lines.append(f"{name}: {' '.join(kept)}\n")
    with open(os.path.join(out, "domains.txt"), "w") as f:
        f.write(f"{len(lines)}\n")
        f.writelines(lines)


if __name__ == "__main__":
    main()
