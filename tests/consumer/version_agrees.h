/* Whether library, header and package (VIDRA_PACKAGE_VERSION, what the
 * consumer's build system found) name one version; says so on stderr when
 * they do not. Include after vidra_core.h or vidra.h. */
#ifndef VIDRA_CONSUMER_VERSION_AGREES_H
#define VIDRA_CONSUMER_VERSION_AGREES_H

#include <stdio.h>
#include <string.h>

#ifndef VIDRA_PACKAGE_VERSION
#error "build with -DVIDRA_PACKAGE_VERSION=\"x.y.z\""
#endif

static int VersionAgrees(void) {
    if (strcmp(VidraGetVersionString(), VIDRA_VERSION_STRING) == 0 &&
        strcmp(VIDRA_PACKAGE_VERSION, VIDRA_VERSION_STRING) == 0 &&
        VidraGetVersionNumber() == VIDRA_VERSION_NUMBER)
        return 1;
    fprintf(stderr, "version mismatch: library %s (%d), header %s (%d), package %s\n",
            VidraGetVersionString(), (int)VidraGetVersionNumber(), VIDRA_VERSION_STRING,
            VIDRA_VERSION_NUMBER, VIDRA_PACKAGE_VERSION);
    return 0;
}

#endif
