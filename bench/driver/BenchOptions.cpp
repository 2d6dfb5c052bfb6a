// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Brenvale Control developers
#include "BenchOptions.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>

BenchOptions BenchOptions::parse(int argc, char *argv[])
{
    BenchOptions options;
    const std::map<std::string, std::string *> fields = {
        {"--program", &options.program},
        {"--reflector", &options.reflector},
        {"--key-reflector", &options.keyReflector},
        {"--netns", &options.netns},
        {"--home", &options.home},
        {"--log-dir", &options.logDir},
        {"--bus", &options.bus},
        {"--group", &options.group},
        {"--out-dir", &options.outDir},
        {"--driver-address", &options.driverAddress},
        {"--backup-address", &options.backupAddress},
        {"--dump-dir", &options.dumpDir},
    };
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            options.quick = true;
            continue;
        }
        const auto field = fields.find(argv[i]);
        if (field == fields.end() || i + 1 >= argc) {
            std::fprintf(stderr,
                "usage: %s --program P --reflector P --key-reflector P --netns P --home D "
                "--log-dir D/ --bus ADDRESS --group ADDRESS --out-dir D --driver-address A "
                "--backup-address A [--dump-dir D] [--quick]\n(run through scripts/bench.sh)\n",
                argv[0]);
            std::exit(2);
        }
        *field->second = argv[++i];
    }
    for (const auto &[name, value] : fields) {
        if (value->empty() && value != &options.dumpDir) {
            std::fprintf(stderr, "%s: %s is missing\n", argv[0], name.c_str());
            std::exit(2);
        }
    }
    return options;
}
