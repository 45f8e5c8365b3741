/*
 * sha256.h - SHA-256 (FIPS 180-4), for checking the installed files against
 * the record of the medium.
 *
 * The program carries its own: the platform's hashing services do not
 * reach back to the oldest Windows it runs on.  Two paths give the same
 * digests: a portable one, and one through the x86 SHA extensions, which
 * is taken only where the CPU has them and the system saves the SSE
 * registers at a thread switch.
 */
#ifndef BOOTSTRAP_SHA256_H
#define BOOTSTRAP_SHA256_H

#include "platform.h"

#define SHA256_CB 32
#define SHA256_BLOCK_CB 64

/* Hashes cBlocks whole blocks of data into state. */
typedef void (*Sha256Blocks)(DWORD *state, const BYTE *data, size_t cBlocks);

typedef struct Sha256 {
    DWORD state[8];
    DWORD cbLow, cbHigh; /* bytes hashed, 64 bits */
    BYTE block[SHA256_BLOCK_CB]; /* a block begun and not yet full */
    UINT cbBlock;
    Sha256Blocks blocks;
} Sha256;

void Sha256Init(Sha256 *pSha, BOOL fShaExtensions);
void Sha256Update(Sha256 *pSha, const BYTE *data, DWORD cb);
void Sha256Final(Sha256 *pSha, BYTE digest[SHA256_CB]);

/* What CPUID says of the processor: the highest basic leaf (0 without
   CPUID), the feature words of leaf 1 and EBX of leaf 7. */
typedef struct CpuFeatures {
    DWORD maxLeaf;
    DWORD leaf1Ecx, leaf1Edx, leaf7Ebx;
} CpuFeatures;

void ReadCpuFeatures(CpuFeatures *pCpu);

/* Whether the SHA extensions' path may run: the CPU has the extensions and
   the SSE instructions they need, and the system (platform id, major and
   minor version and build number, as GetVersionExA reports them) saves the
   SSE registers. */
BOOL CanUseShaExtensions(const CpuFeatures *pCpu, DWORD dwPlatformId, DWORD dwMajor,
                         DWORD dwMinor, DWORD dwBuildNumber);

/* The same for this processor and this system. */
BOOL ShaExtensionsUsable(void);

#endif
