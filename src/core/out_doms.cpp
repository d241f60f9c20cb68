#include "core/out_doms.h"

#include <cstdio>

#include "core/text_out.h"

namespace ddinfer {

int out_doms(const protdom& network, const inter_table& dint, std::FILE* file) {
    TextOut out(file);
    for (int r = 0; r < dint.n; ++r) {
        const inter& record = dint.list[r];
        if (record.value >= 0.5) out << network.dom[record.a].name << '\t' << network.dom[record.b].name << '\n';
    }
    return out.flush() ? 0 : 1;
}

int out_doms(const protdom& network, const inter_table& dint, const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr) return 1;
    const int written = out_doms(network, dint, file);
    return std::fclose(file) == 0 && written == 0 ? 0 : 1;
}

}  // namespace ddinfer
