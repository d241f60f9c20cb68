# Every candidate ranked (with p_gold when the data set has a gold list),
# judged against the gold list, shown in a report; every protein pair's
# best candidates (the explain table); and pooled rankings.


rule rank:
    input:
        pairs="results/{ds}/pairs.txt",
        domains="results/{ds}/domains.txt",
        robust=lambda w: f"{run_dir(w)}/pairs.txt.{ratio_text(w.ratio)}.robust.tsv",
        gold=lambda w: gold(w) or [],
    output:
        rank="results/{ds}/{ratio}/pairs.txt.rank.tsv",
        classes="results/{ds}/{ratio}/pairs.txt.classes.tsv",
    params:
        bin=config["bin"],
        outdir=run_dir,
        calibrate=lambda w: f"--calibrate {gold(w)}" if gold(w) else "",
    resources:
        mem_mb=lambda w: solver_mem_mb(w, 1),
    log:
        "logs/{ds}/{ratio}/rank.log",
    shell:
        "{params.bin}/ddinfer-rank --robust {input.robust} {params.calibrate} --outdir {params.outdir} "
        "{input.pairs} {input.domains} > {log} 2>&1"


rule eval:
    input:
        pairs="results/{ds}/pairs.txt",
        domains="results/{ds}/domains.txt",
        rank="results/{ds}/{ratio}/pairs.txt.rank.tsv",
        gold=gold,
    output:
        "results/{ds}/{ratio}/eval.txt",
    params:
        bin=config["bin"],
    log:
        "logs/{ds}/{ratio}/eval.log",
    shell:
        "{params.bin}/ddinfer-eval {input.pairs} {input.domains} {input.rank} {input.gold} > {output} 2> {log}"


rule report:
    input:
        pairs="results/{ds}/pairs.txt",
        domains="results/{ds}/domains.txt",
        rank="results/{ds}/{ratio}/pairs.txt.rank.tsv",
        classes="results/{ds}/{ratio}/pairs.txt.classes.tsv",
        robust=lambda w: f"{run_dir(w)}/pairs.txt.{ratio_text(w.ratio)}.robust.tsv",
        null=lambda w: f"{run_dir(w)}/pairs.txt.{ratio_text(w.ratio)}.m{MODELS[0]}.null.tsv",
        extra=lambda w: [DATASETS[w.ds][key] for key in ("gold", "names", "protein_names") if DATASETS[w.ds].get(key)],
    output:
        "results/{ds}/{ratio}/report.html",
    params:
        bin=config["bin"],
        top=config.get("report_top", 200),
        options=lambda w: " ".join(
            f"--{'names' if key == 'protein_names' else key} {DATASETS[w.ds][key]}"
            for key in ("gold", "names", "protein_names")
            if DATASETS[w.ds].get(key)
        ),
    log:
        "logs/{ds}/{ratio}/report.log",
    shell:
        "{params.bin}/ddinfer-report --rank {input.rank} --robust {input.robust} --null {input.null} "
        "{params.options} --top {params.top} -o {output} {input.pairs} {input.domains} 2> {log}"


rule explain:
    # Through which domains each protein pair interacts: its best candidates
    # by the ranking, with the classic solution's choice.
    input:
        pairs="results/{ds}/pairs.txt",
        domains="results/{ds}/domains.txt",
        rank="results/{ds}/{ratio}/pairs.txt.rank.tsv",
        dint=lambda w: f"{run_dir(w)}/pairs.txt.{ratio_text(w.ratio)}.dint",
        extra=lambda w: [DATASETS[w.ds][key] for key in ("gold", "protein_names") if DATASETS[w.ds].get(key)],
    output:
        "results/{ds}/{ratio}/pairs.txt.explain.tsv",
    params:
        bin=config["bin"],
        outdir=run_dir,
        options=lambda w: " ".join(
            f"--{'names' if key == 'protein_names' else key} {DATASETS[w.ds][key]}"
            for key in ("gold", "protein_names")
            if DATASETS[w.ds].get(key)
        ),
    log:
        "logs/{ds}/{ratio}/explain.log",
    shell:
        "{params.bin}/ddinfer-explain --rank {input.rank} --dint {input.dint} {params.options} "
        "--outdir {params.outdir} {input.pairs} {input.domains} > {log} 2>&1"


rule pool:
    # One ranking from the rankings of several data sets (ddinfer-pool).
    input:
        tables=lambda w: [f"results/{ds}/{w.ratio}/pairs.txt.rank.tsv" for ds in POOLS[w.pool]["datasets"]],
        extra=lambda w: [POOLS[w.pool][key] for key in ("map", "gold") if POOLS[w.pool].get(key)],
    output:
        "results/pooled/{pool}/{ratio}/pooled.tsv",
    params:
        bin=config["bin"],
        options=pool_options,
    log:
        "logs/pooled/{pool}/{ratio}/pool.log",
    shell:
        "{params.bin}/ddinfer-pool -o {output} {params.options} {input.tables} 2> {log}"


rule pool_eval:
    # The pooled ranking judged on the inputs of the pool's `only` data set
    # (else its first), against the pool's gold list (else that data set's).
    input:
        pairs=lambda w: f"results/{pool_network(w.pool)}/pairs.txt",
        domains=lambda w: f"results/{pool_network(w.pool)}/domains.txt",
        pooled="results/pooled/{pool}/{ratio}/pooled.tsv",
        gold=lambda w: pool_gold(w.pool),
    output:
        "results/pooled/{pool}/{ratio}/eval.txt",
    params:
        bin=config["bin"],
    log:
        "logs/pooled/{pool}/{ratio}/eval.log",
    shell:
        "{params.bin}/ddinfer-eval {input.pairs} {input.domains} {input.pooled} {input.gold} > {output} 2> {log}"


rule pool_report:
    input:
        pairs=lambda w: f"results/{pool_network(w.pool)}/pairs.txt",
        domains=lambda w: f"results/{pool_network(w.pool)}/domains.txt",
        pooled="results/pooled/{pool}/{ratio}/pooled.tsv",
        tables=lambda w: [f"results/{ds}/{w.ratio}/pairs.txt.rank.tsv" for ds in POOLS[w.pool]["datasets"]],
        extra=lambda w: [pool_gold(w.pool)] if pool_gold(w.pool) else [],
    output:
        "results/pooled/{pool}/{ratio}/report.html",
    params:
        bin=config["bin"],
        top=config.get("report_top", 200),
        gold=lambda w: f"--gold {pool_gold(w.pool)}" if pool_gold(w.pool) else "",
    log:
        "logs/pooled/{pool}/{ratio}/report.log",
    shell:
        "{params.bin}/ddinfer-report --rank {input.pooled} {params.gold} --top {params.top} --title {wildcards.pool} "
        "-o {output} {input.pairs} {input.domains} 2> {log}"
