#include "out_doms.h"

#include <cstdio>

#include "text_out.h"

namespace ddinfer {

int out_doms(const protdom& network, const inter_table& dint, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) return 1;
    TextOut out(file);
    for (int r = 0; r < dint.n; ++r) {
        const inter& record = dint.list[r];
        if (record.value >= 0.5) out << network.dom[record.a].name << '\t' << network.dom[record.b].name << '\n';
    }
    const bool written = out.flush();
    return std::fclose(file) == 0 && written ? 0 : 1;
}

}  // namespace ddinfer
