/*
 * sha256.cpp - SHA-256 (FIPS 180-4), portable and through the x86 SHA
 * extensions.
 */
#include "install/sha256.h"
#include "install/pathutil.h"

#include <cpuid.h>
#include <immintrin.h>

static const DWORD K[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2,
};

static const DWORD initialState[8] = {
    0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19,
};

static inline DWORD Rotr(DWORD x, int n)
{
    return (x >> n) | (x << (32 - n));
}

static inline DWORD BigEndian(const BYTE *p)
{
    return (DWORD)p[0] << 24 | (DWORD)p[1] << 16 | (DWORD)p[2] << 8 | p[3];
}

static void BlocksPortable(DWORD *state, const BYTE *data, size_t cBlocks)
{
    DWORD w[64], v[8], t1, t2;
    int i;

    for (; cBlocks > 0; cBlocks--, data += SHA256_BLOCK_CB) {
        for (i = 0; i < 16; i++)
            w[i] = BigEndian(data + 4 * i);
        for (i = 16; i < 64; i++)
            w[i] = (Rotr(w[i - 2], 17) ^ Rotr(w[i - 2], 19) ^ (w[i - 2] >> 10)) + w[i - 7] +
                   (Rotr(w[i - 15], 7) ^ Rotr(w[i - 15], 18) ^ (w[i - 15] >> 3)) + w[i - 16];
        for (i = 0; i < 8; i++)
            v[i] = state[i];
        /* v: a, b, c, d, e, f, g, h */
        for (i = 0; i < 64; i++) {
            t1 = v[7] + (Rotr(v[4], 6) ^ Rotr(v[4], 11) ^ Rotr(v[4], 25)) +
                 ((v[4] & v[5]) ^ (~v[4] & v[6])) + K[i] + w[i];
            t2 = (Rotr(v[0], 2) ^ Rotr(v[0], 13) ^ Rotr(v[0], 22)) +
                 ((v[0] & v[1]) ^ (v[0] & v[2]) ^ (v[1] & v[2]));
            v[7] = v[6], v[6] = v[5], v[5] = v[4], v[4] = v[3] + t1;
            v[3] = v[2], v[2] = v[1], v[1] = v[0], v[0] = t1 + t2;
        }
        for (i = 0; i < 8; i++)
            state[i] += v[i];
    }
}

/*
 * The SHA extensions keep the state as ABEF and CDGH and do two rounds an
 * instruction; four words of the message schedule are made at a time,
 * each group from the four before it (w[j-4] to w[j-1]).  Compiled for
 * these instructions alone: called only where CanUseShaExtensions allows.
 */
__attribute__((target("sha,sse4.1"))) static void BlocksShaExtensions(DWORD *state,
                                                                       const BYTE *data,
                                                                       size_t cBlocks)
{
    __m128i abef, cdgh, abefBefore, cdghBefore, k, msg[4];
    int j;

    k = _mm_shuffle_epi32(_mm_loadu_si128((const __m128i *)&state[0]), 0xB1); /* CDAB */
    cdgh = _mm_shuffle_epi32(_mm_loadu_si128((const __m128i *)&state[4]), 0x1B); /* EFGH */
    abef = _mm_alignr_epi8(k, cdgh, 8);
    cdgh = _mm_blend_epi16(cdgh, k, 0xF0);

    for (; cBlocks > 0; cBlocks--, data += SHA256_BLOCK_CB) {
        abefBefore = abef;
        cdghBefore = cdgh;
        for (j = 0; j < 16; j++) {
            __m128i *m = &msg[j & 3];
            if (j < 4) {
                /* Big-endian words: their halves swapped, then each half's
                   bytes (no table of constants). */
                k = _mm_loadu_si128((const __m128i *)(data + 16 * j));
                k = _mm_shufflehi_epi16(_mm_shufflelo_epi16(k, 0xB1), 0xB1);
                *m = _mm_or_si128(_mm_slli_epi16(k, 8), _mm_srli_epi16(k, 8));
            } else
                *m = _mm_sha256msg2_epu32(
                    _mm_add_epi32(_mm_sha256msg1_epu32(*m, msg[(j + 1) & 3]),
                                  _mm_alignr_epi8(msg[(j + 3) & 3], msg[(j + 2) & 3], 4)),
                    msg[(j + 3) & 3]);
            k = _mm_add_epi32(*m, _mm_loadu_si128((const __m128i *)&K[4 * j]));
            cdgh = _mm_sha256rnds2_epu32(cdgh, abef, k);
            abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(k, 0x0E));
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }

    k = _mm_shuffle_epi32(abef, 0x1B);    /* FEBA */
    cdgh = _mm_shuffle_epi32(cdgh, 0xB1); /* DCHG */
    _mm_storeu_si128((__m128i *)&state[0], _mm_blend_epi16(k, cdgh, 0xF0));
    _mm_storeu_si128((__m128i *)&state[4], _mm_alignr_epi8(cdgh, k, 8));
}

void Sha256Init(Sha256 *pSha, BOOL fShaExtensions)
{
    memset(pSha, 0, sizeof(*pSha));
    memcpy(pSha->state, initialState, sizeof(initialState));
    pSha->blocks = fShaExtensions ? BlocksShaExtensions : BlocksPortable;
}

void Sha256Update(Sha256 *pSha, const BYTE *data, DWORD cb)
{
    DWORD cbWhole;

    pSha->cbLow += cb;
    if (pSha->cbLow < cb)
        pSha->cbHigh++;
    while (cb > 0) {
        /* Whole blocks are hashed where they lie, the rest gathered. */
        cbWhole = pSha->cbBlock == 0 ? cb & ~(DWORD)(SHA256_BLOCK_CB - 1) : 0;
        if (cbWhole > 0) {
            pSha->blocks(pSha->state, data, cbWhole / SHA256_BLOCK_CB);
            data += cbWhole;
            cb -= cbWhole;
            continue;
        }
        pSha->block[pSha->cbBlock++] = *data++;
        cb--;
        if (pSha->cbBlock == SHA256_BLOCK_CB) {
            pSha->blocks(pSha->state, pSha->block, 1);
            pSha->cbBlock = 0;
        }
    }
}

void Sha256Final(Sha256 *pSha, BYTE digest[SHA256_CB])
{
    DWORD bitsHigh = pSha->cbHigh << 3 | pSha->cbLow >> 29, bitsLow = pSha->cbLow << 3;
    BYTE pad = 0x80;
    int i;

    /* The 0x80, then zeros up to 8 bytes before a block's end, then the
       length in bits. */
    do {
        Sha256Update(pSha, &pad, 1);
        pad = 0;
    } while (pSha->cbBlock != SHA256_BLOCK_CB - 8);
    for (i = 0; i < 4; i++) {
        pSha->block[56 + i] = (BYTE)(bitsHigh >> (24 - 8 * i));
        pSha->block[60 + i] = (BYTE)(bitsLow >> (24 - 8 * i));
    }
    pSha->blocks(pSha->state, pSha->block, 1);
    for (i = 0; i < SHA256_CB; i++)
        digest[i] = (BYTE)(pSha->state[i / 4] >> (24 - 8 * (i % 4)));
}

#define CPUID1_ECX_SSSE3 (1u << 9)
#define CPUID1_ECX_SSE41 (1u << 19)
#define CPUID1_EDX_FXSR (1u << 24)
#define CPUID1_EDX_SSE (1u << 25)
#define CPUID1_EDX_SSE2 (1u << 26)
#define CPUID7_EBX_SHA (1u << 29)

void ReadCpuFeatures(CpuFeatures *pCpu)
{
    unsigned eax, ebx, ecx, edx;

    memset(pCpu, 0, sizeof(*pCpu));
    /* 0 where the processor has no CPUID (a 386, an early 486). */
    pCpu->maxLeaf = __get_cpuid_max(0, NULL);
    if (pCpu->maxLeaf >= 1) {
        __cpuid(1, eax, ebx, ecx, edx);
        pCpu->leaf1Ecx = ecx;
        pCpu->leaf1Edx = edx;
    }
    if (pCpu->maxLeaf >= 7) {
        __cpuid_count(7, 0, eax, ebx, ecx, edx);
        pCpu->leaf7Ebx = ebx;
    }
}

BOOL CanUseShaExtensions(const CpuFeatures *pCpu, DWORD dwPlatformId, DWORD dwMajor,
                         DWORD dwMinor, DWORD dwBuildNumber)
{
    const DWORD edx = CPUID1_EDX_FXSR | CPUID1_EDX_SSE | CPUID1_EDX_SSE2;
    const DWORD ecx = CPUID1_ECX_SSSE3 | CPUID1_ECX_SSE41;
    /* A CPU's SSE registers are saved at a thread switch only by a system
       that knows them: Windows 98 Second Edition (4.10 build 2222) and
       later, Windows 2000 and later.  The first Windows 98 (4.10 build
       1998) is a 4.10 as well, but neither turns SSE on for programs nor
       saves the registers: there an SSE instruction faults, or another
       thread overwrites the registers in the middle of a block; so do
       Windows 95 and NT 4.  On the 95/98 family the build is the low word
       of dwBuildNumber (the high word repeats the version). */
    BOOL fSystemSaves =
        (dwPlatformId == VER_PLATFORM_WIN32_WINDOWS &&
         (dwMajor > 4 || dwMinor > 10 || (dwMinor == 10 && LOWORD(dwBuildNumber) >= 2222))) ||
        (dwPlatformId == VER_PLATFORM_WIN32_NT && dwMajor >= 5);

    return fSystemSaves && pCpu->maxLeaf >= 7 && (pCpu->leaf1Edx & edx) == edx &&
           (pCpu->leaf1Ecx & ecx) == ecx && (pCpu->leaf7Ebx & CPUID7_EBX_SHA) != 0;
}

BOOL ShaExtensionsUsable(void)
{
    CpuFeatures cpu;
    const OSVERSIONINFOA *pVersion = PlatformVersion();

    ReadCpuFeatures(&cpu);
    return CanUseShaExtensions(&cpu, pVersion->dwPlatformId, pVersion->dwMajorVersion,
                               pVersion->dwMinorVersion, pVersion->dwBuildNumber);
}
