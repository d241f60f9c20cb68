# The two input files of a data set under results/<dataset>/: each a copy of
# the file given, or prepared from a raw download by ddinfer-prep (a newer
# download under the same name prepares it again).


rule given_pairs:
    input:
        lambda w: DATASETS[w.ds]["pairs"],
    output:
        "results/{ds}/pairs.txt",
    wildcard_constraints:
        ds=one_of(GIVEN_PAIRS),
    log:
        "logs/{ds}/given_pairs.log",
    shell:
        "cp {input} {output} 2> {log}"


rule given_domains:
    input:
        lambda w: DATASETS[w.ds]["domains"],
    output:
        "results/{ds}/domains.txt",
    wildcard_constraints:
        ds=one_of(GIVEN_DOMAINS),
    log:
        "logs/{ds}/given_domains.log",
    shell:
        "cp {input} {output} 2> {log}"


rule prep_pairs:
    input:
        lambda w: DATASETS[w.ds]["raw_pairs"],
    output:
        "results/{ds}/pairs.txt",
    wildcard_constraints:
        ds=one_of(RAW_PAIRS),
    params:
        bin=config["bin"],
        options=lambda w: DATASETS[w.ds].get("pairs_prep", ""),
    log:
        "logs/{ds}/prep_pairs.log",
    shell:
        "{params.bin}/ddinfer-prep pairs -q {params.options} {input} -o {output} 2> {log}"


rule prep_domains:
    input:
        raw=lambda w: DATASETS[w.ds]["raw_domains"],
        pairs="results/{ds}/pairs.txt",
    output:
        "results/{ds}/domains.txt",
    wildcard_constraints:
        ds=one_of(RAW_DOMAINS),
    params:
        bin=config["bin"],
        options=lambda w: DATASETS[w.ds].get("domains_prep", ""),
    log:
        "logs/{ds}/prep_domains.log",
    shell:
        "{params.bin}/ddinfer-prep domains -q {params.options} --proteins {input.pairs} {input.raw} -o {output} 2> {log}"
