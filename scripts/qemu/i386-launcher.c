/* The binfmt interpreter for i386 ELF files on kernels that run no 32-bit code: starts the
 * program under qemu-i386 with the address-space shim preloaded into the emulated process
 * only (64-bit processes never see it). binfmt passes: launcher, program path, arguments. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#ifndef SHIM_PATH
#define SHIM_PATH "/usr/local/lib/tolvane-qemu/fastmap.so"
#endif
#define QEMU_PATH "/usr/bin/qemu-i386-static"

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "i386-launcher: no program\n");
        return 127;
    }
    char **args = calloc((size_t)argc + 4, sizeof *args);
    if (!args) return 127;
    int n = 0;
    args[n++] = QEMU_PATH;
    args[n++] = "-E";
    args[n++] = "LD_PRELOAD=" SHIM_PATH;
    for (int i = 1; i < argc; i++) args[n++] = argv[i];
    args[n] = NULL;
    execv(QEMU_PATH, args);
    perror("i386-launcher: " QEMU_PATH);
    return 127;
}
