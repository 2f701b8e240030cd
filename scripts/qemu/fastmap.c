/* Preloaded into the 32-bit Wine loader when it runs under qemu-user.
 * Wine reserves the upper half of the address space itself, then asks for it
 * again piece by piece with MAP_FIXED_NOREPLACE, expecting EEXIST at once.
 * qemu-user does not know that flag: each refusal becomes a slow search, a
 * mapping elsewhere and an unmap, tens of thousands of times per process start.
 * Answering EEXIST for the upper half, as the kernel would, takes no time. */
#define MAP_FIXED_NOREPLACE_FLAG 0x100000
#define UPPER_HALF 0x80000000u
#define EEXIST_ERR 17
#define EINVAL_ERR 22
#define SYS_MMAP2 192
#define SYS_MUNMAP 91

typedef unsigned int u32;
extern int *__errno_location(void);
extern long syscall(long number, ...);

static void *do_mmap(void *addr, u32 len, int prot, int flags, int fd, unsigned long long off) {
    if ((flags & MAP_FIXED_NOREPLACE_FLAG) && (u32)addr >= UPPER_HALF) {
        *__errno_location() = EEXIST_ERR;
        return (void *)-1;
    }
    if (off & 0xfff) {
        /* as the kernel: unaligned file offsets are refused, and Wine falls back to reading */
        *__errno_location() = EINVAL_ERR;
        return (void *)-1;
    }
    void *got = (void *)syscall(SYS_MMAP2, (long)addr, (long)len, (long)prot, (long)flags, (long)fd, (long)(off >> 12));
    if ((flags & MAP_FIXED_NOREPLACE_FLAG) && got != (void *)-1 && got != addr) {
        /* qemu took the hint as a mere hint: undo, and refuse as the kernel would */
        syscall(SYS_MUNMAP, (long)got, (long)len);
        *__errno_location() = EEXIST_ERR;
        return (void *)-1;
    }
    return got;
}
void *mmap(void *addr, u32 len, int prot, int flags, int fd, long off) { return do_mmap(addr, len, prot, flags, fd, (unsigned long long)(u32)off); }
void *mmap64(void *addr, u32 len, int prot, int flags, int fd, long long off) { return do_mmap(addr, len, prot, flags, fd, (unsigned long long)off); }

/* The launcher hands LD_PRELOAD to this process only; keep it from the processes Wine starts
 * (64-bit ones could not load a 32-bit library, and 32-bit ones get it from the launcher). */
extern int unsetenv(const char *name);
__attribute__((constructor)) static void forget_preload(void) { unsetenv("LD_PRELOAD"); }
