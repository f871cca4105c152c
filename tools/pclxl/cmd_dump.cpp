// pclxl dump: read a PJL / PCL XL job and check it.
#include <cstdio>

#include "commands.h"

namespace pclxl_tool {

int cmd_dump(int, char **) {
    std::fprintf(stderr, "pclxl dump: not available yet\n");
    return 2;
}

} // namespace pclxl_tool
