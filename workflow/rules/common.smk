# What the rules share: the settings, the names of results and the sizes of
# jobs.
import math
import os
import re
import struct

DATASETS = config["datasets"]
RATIOS = [str(r) for r in config["ratios"]]
MODELS = [str(m) for m in config["null_models"]]
SHARDS = int(config["shards"])
PER_JOB = max(1, int(config.get("shards_per_job", 1)))
JOBS = math.ceil(SHARDS / PER_JOB)
THREADS = int(config.get("threads", 2))
RUNTIME = int(config.get("runtime", 120))
POOLS = config.get("pool") or {}
# Each input file of a data set is given as it is, or as a raw download.
RAW_PAIRS = [ds for ds, spec in DATASETS.items() if "raw_pairs" in spec]
GIVEN_PAIRS = [ds for ds in DATASETS if ds not in RAW_PAIRS]
RAW_DOMAINS = [ds for ds, spec in DATASETS.items() if "raw_domains" in spec]
GIVEN_DOMAINS = [ds for ds in DATASETS if ds not in RAW_DOMAINS]


# Every file a study names, checked before any job: a typo or a deleted
# download would otherwise leave the old results standing without a word.
DATASET_FILES = ("pairs", "domains", "raw_pairs", "raw_domains", "raw_aliases", "gold", "names", "protein_names")
POOL_FILES = ("map", "gold")


def prep_files(options):
    """The files a *_prep option string names (--aliases FILE)."""
    words = str(options or "").split()
    return [words[i + 1] for i, word in enumerate(words[:-1]) if word == "--aliases"]


def check_study():
    missing = []
    for ds, spec in DATASETS.items():
        for key in DATASET_FILES:
            if spec.get(key) and not os.path.exists(spec[key]):
                missing.append(f"data set {ds}: {key} {spec[key]} does not exist")
        for key in ("pairs_prep", "domains_prep"):
            for path in prep_files(spec.get(key)):
                if not os.path.exists(path):
                    missing.append(f"data set {ds}: the file {path} in {key} does not exist")
    for name, spec in POOLS.items():
        for key in POOL_FILES:
            if spec.get(key) and not os.path.exists(spec[key]):
                missing.append(f"pool {name}: {key} {spec[key]} does not exist")
    if missing:
        raise WorkflowError("; ".join(missing))


check_study()


def one_of(names):
    """A wildcard constraint matching exactly these names (none: nothing)."""
    return "|".join(re.escape(name) for name in names) or "(?!)"


def ratio_text(ratio):
    """The ratio as the file names show it: single precision, printed %f."""
    return "%f" % struct.unpack("f", struct.pack("f", float(ratio)))[0]


def run_dir(w):
    return f"results/{w.ds}/{w.ratio}"


def inputs_mb(w):
    paths = [f"results/{w.ds}/pairs.txt", f"results/{w.ds}/domains.txt"]
    return sum(os.path.getsize(p) for p in paths if os.path.exists(p)) / 1e6


def solver_mem_mb(w, threads):
    # As the commands size --jobs: a solver takes tens of MB and a share per
    # nonzero of the programme; measured, 2 solvers on human BioGRID (3.8 MB
    # of input) peak at 830 MB.
    return int(300 + 250 * threads * max(1.0, inputs_mb(w)))


def job_shards(j):
    """The shards cluster job j (1, 2, ...) runs, one after another."""
    first = (int(j) - 1) * PER_JOB + 1
    return list(range(first, min(first + PER_JOB, SHARDS + 1)))


def parts(w, kind):
    """The partial table of every shard, in the folder of its job; kind is
    "robust" or "m<M>.null"."""
    return [
        f"{run_dir(w)}/{kind}.parts/job-{(i - 1) // PER_JOB + 1}/pairs.txt.{w.rt}.{kind}.shard-{i}-of-{SHARDS}.tsv"
        for i in range(1, SHARDS + 1)
    ]


def part_dirs(w, kind):
    return [f"{run_dir(w)}/{kind}.parts/job-{j}" for j in range(1, JOBS + 1)]


def gold(w):
    return DATASETS[w.ds].get("gold")


def wanted():
    files = []
    for ds, spec in DATASETS.items():
        for ratio in RATIOS:
            run = f"results/{ds}/{ratio}"
            files += [f"{run}/pairs.txt.{ratio_text(ratio)}.dint", f"{run}/pairs.txt.rank.tsv", f"{run}/report.html"]
            files.append(f"{run}/pairs.txt.explain.tsv")
            files += [f"{run}/pairs.txt.{ratio_text(ratio)}.m{m}.null.tsv" for m in MODELS]
            if spec.get("gold"):
                files.append(f"{run}/eval.txt")
    for name, spec in POOLS.items():
        for ratio in RATIOS:
            files += [f"results/pooled/{name}/{ratio}/pooled.tsv", f"results/pooled/{name}/{ratio}/report.html"]
            if pool_gold(name):
                files.append(f"results/pooled/{name}/{ratio}/eval.txt")
    return files


def pool_network(name):
    """The data set whose inputs a pooled table is judged and shown with:
    its `only`, else its first."""
    spec = POOLS[name]
    return spec.get("only") or spec["datasets"][0]


def pool_gold(name):
    return POOLS[name].get("gold") or DATASETS[pool_network(name)].get("gold")


def pool_options(w):
    """--only, --map and --calibrate of a pool, as its entry gives them."""
    spec = POOLS[w.pool]
    words = []
    if spec.get("only"):
        words += ["--only", f"results/{spec['only']}/{w.ratio}/pairs.txt.rank.tsv"]
    if spec.get("map"):
        words += ["--map", spec["map"]]
    if spec.get("gold"):
        words += ["--calibrate", spec["gold"]]
    return " ".join(words)


wildcard_constraints:
    ds="(?!pooled/)[^/]+",
    pool="[^/]+",
    ratio="[0-9.eE+-]+",
    rt="[0-9.]+",
    j="[0-9]+",
    m="[123]",
