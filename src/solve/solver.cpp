#include "solve/solver.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/atomic_file.h"
#include "core/error.h"

namespace ddinfer {

std::string ratio_text(float err_ratio) {
    const int size = std::snprintf(nullptr, 0, "%f", static_cast<double>(err_ratio));
    std::string text(static_cast<std::size_t>(size) + 1, '\0');
    std::snprintf(text.data(), text.size(), "%f", static_cast<double>(err_ratio));
    text.resize(static_cast<std::size_t>(size));
    return text;
}

RunFiles run_files(const std::string& stem, float err_ratio) {
    const std::string base = stem + "." + ratio_text(err_ratio);
    return RunFiles{base + ".lp", base + ".mps", base + ".out", base + ".dint"};
}

RunFiles private_run_files(const RunFiles& files) {
    const std::string classic = files.lp.substr(0, files.lp.size() - 3);
    remove_stale_private_files(classic);
    std::string lp = private_pattern(classic) + ".lp";
    const int fd = mkstemps(lp.data(), 3);
    if (fd < 0) throw Error(files.lp + ": cannot write: " + std::strerror(errno));
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
    close(fd);
    const std::string base = lp.substr(0, lp.size() - 3);
    return RunFiles{lp, base + ".mps", base + ".out", base + ".dint"};
}

void take_values(const inter_table& dint, WantedValues& wanted) {
    wanted.values.clear();
    for (int record : wanted.records) wanted.values.push_back(record >= 0 ? dint.list[record].value : 0.0);
}

std::vector<std::string> glpsol_command(const RunFiles& files) {
    return {"glpsol", "--lp", "--simplex", "-o", as_argument(files.out), as_argument(files.lp)};
}

std::unique_ptr<Solver> make_solver(const std::string& name, CommandRunner& runner, bool write_mps) {
    if (name == "glpsol") return make_glpsol(runner);
    if (name == "clp") return make_clp(write_mps);
    return nullptr;
}

}  // namespace ddinfer
