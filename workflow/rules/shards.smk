# The robust and null runs in shards: each cluster job runs `shards_per_job`
# shards one after another into a folder of its own; the merge adds the
# parts up into the unsharded table, and the parts go once it has.


rule robust_shard:
    input:
        pairs="results/{ds}/pairs.txt",
        domains="results/{ds}/domains.txt",
    output:
        temp(directory("results/{ds}/{ratio}/robust.parts/job-{j}")),
    threads: THREADS
    params:
        bin=config["bin"],
        solver=config["solver"],
        runs=config["robust_runs"],
        seed=config["seed"],
        shards=SHARDS,
        mine=lambda w: " ".join(str(i) for i in job_shards(w.j)),
    resources:
        mem_mb=lambda w, threads: solver_mem_mb(w, threads),
        runtime=RUNTIME,
    log:
        "logs/{ds}/{ratio}/robust.job-{j}.log",
    shell:
        "for i in {params.mine}; do "
        "{params.bin}/ddinfer-robust -q --solver {params.solver} --runs {params.runs} --seed {params.seed} "
        "--jobs {threads} --shard $i/{params.shards} --outdir {output} {input.pairs} {input.domains} {wildcards.ratio} "
        "|| exit 1; done > {log} 2>&1"


rule robust_merge:
    input:
        lambda w: part_dirs(w, "robust"),
    output:
        "results/{ds}/{ratio}/pairs.txt.{rt}.robust.tsv",
    params:
        bin=config["bin"],
        parts=lambda w: parts(w, "robust"),
    log:
        "logs/{ds}/{ratio}/robust_merge.{rt}.log",
    shell:
        "{params.bin}/ddinfer-merge -q -o {output} {params.parts} 2> {log}"


rule null_shard:
    input:
        pairs="results/{ds}/pairs.txt",
        domains="results/{ds}/domains.txt",
    output:
        temp(directory("results/{ds}/{ratio}/m{m}.null.parts/job-{j}")),
    threads: THREADS
    params:
        bin=config["bin"],
        solver=config["solver"],
        runs=config["null_runs"],
        seed=config["seed"],
        shards=SHARDS,
        mine=lambda w: " ".join(str(i) for i in job_shards(w.j)),
    resources:
        mem_mb=lambda w, threads: solver_mem_mb(w, threads),
        runtime=RUNTIME,
    log:
        "logs/{ds}/{ratio}/m{m}.null.job-{j}.log",
    shell:
        "for i in {params.mine}; do "
        "{params.bin}/ddinfer-null -q --model {wildcards.m} --solver {params.solver} --runs {params.runs} "
        "--seed {params.seed} --jobs {threads} --shard $i/{params.shards} --outdir {output} "
        "{input.pairs} {input.domains} {wildcards.ratio} || exit 1; done > {log} 2>&1"


rule null_merge:
    input:
        lambda w: part_dirs(w, f"m{w.m}.null"),
    output:
        "results/{ds}/{ratio}/pairs.txt.{rt}.m{m}.null.tsv",
    params:
        bin=config["bin"],
        parts=lambda w: parts(w, f"m{w.m}.null"),
    log:
        "logs/{ds}/{ratio}/m{m}.null_merge.{rt}.log",
    shell:
        "{params.bin}/ddinfer-merge -q -o {output} {params.parts} 2> {log}"
