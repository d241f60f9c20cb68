# The classic solve of a data set at a ratio.


rule solve:
    input:
        pairs="results/{ds}/pairs.txt",
        domains="results/{ds}/domains.txt",
    output:
        "results/{ds}/{ratio}/pairs.txt.{rt}.dint",
    params:
        bin=config["bin"],
        solver=config["solver"],
        outdir=run_dir,
    resources:
        mem_mb=lambda w: solver_mem_mb(w, 1),
        runtime=RUNTIME,
    log:
        "logs/{ds}/{ratio}/solve.{rt}.log",
    shell:
        "{params.bin}/ddinfer -q --solver {params.solver} --outdir {params.outdir} "
        "{input.pairs} {input.domains} {wildcards.ratio} > {log} 2>&1"
