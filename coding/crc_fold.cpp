// crc_fold: the reflected CRCs of crc_table.h by carry-less multiplication,
// for processors with PCLMULQDQ and SSE4.1 (chosen at run time; the rest of
// the build keeps its baseline instruction set).
//
// Arithmetic is on polynomials over GF(2). A message is the polynomial whose
// highest coefficient is bit 0 of its first byte (the reflected CRCs take
// each byte low bit first), and the CRC register with initial value v is
//   CRC = (M + v * x^(bits - 32)) * x^32 mod P,
// that is, the initial register is XORed into the first four bytes and the
// rest is a plain remainder. Everything below keeps polynomials "reflected":
// in an n-bit word, bit i is the coefficient of x^(n-1-i). Sixteen message
// bytes loaded little-endian into an SSE register are then that block's
// polynomial reflected in 128 bits, and the register holds CRC reflected in
// 32 bits.
//
// Carry-less multiplication of an a-bit and a b-bit reflected value gives
// the product reflected in a+b-1 bits, in the low bits of the result. Read
// as a wider reflected value the product is multiplied by x once per bit of
// width it gains, which the exponents of the constants below allow for.
//
// CRC-16 (degree 16) goes through the same code with P16 * x^16 in place of
// P: the remainder mod P16 * x^16 of R * x^32 is (R * x^16 mod P16) * x^16,
// so the 32-bit register that comes out holds CRC-16 in its low 16 bits.
// Reflected in 32 bits, P16 * x^16 minus its top term is the 16-bit
// reflected polynomial as it is (0xA001), so both take their constants from
// the register polynomial alone.
#include "crc_table.h"

#if defined(__x86_64__) || defined(__i386__)
#define CODING_CRC_FOLD 1
#include <cpuid.h>
#include <immintrin.h>
// glibc's header declares its answers with C's _Bool, which only GCC
// accepts in C++.
#if defined(__GLIBC__) && defined(__GNUC__) && !defined(__clang__) && __has_include(<sys/platform/x86.h>)
#define CODING_CPU_FEATURES_FROM_LIBC 1
#include <sys/platform/x86.h>
#else
#define CODING_CPU_FEATURES_FROM_LIBC 0
#endif
#else
#define CODING_CRC_FOLD 0
#endif

namespace coding {
namespace {

constexpr std::uint32_t reverse32(std::uint32_t v) {
    std::uint32_t r = 0;
    for (int i = 0; i < 32; ++i, v >>= 1) r = (r << 1) | (v & 1);
    return r;
}

// x^n mod P, reflected in 32 bits. P = x^32 + L with L given reflected as
// the register polynomial; the loop multiplies by x in plain bit order
// (bit d = x^d), replacing x^32 by L.
constexpr std::uint64_t x_pow_mod(std::uint32_t polynomial, unsigned n) {
    const std::uint32_t low = reverse32(polynomial);
    std::uint32_t r = 1;
    for (unsigned i = 0; i < n; ++i) r = (r << 1) ^ ((r >> 31) ? low : 0);
    return reverse32(r);
}

// floor(x^64 / P) (degree 32), reflected in 33 bits: bit j is x^(32-j).
// Long division in plain bit order: the first quotient term x^32 leaves
// L * x^32, then each set coefficient from x^63 down gives one more term.
constexpr std::uint64_t barrett_quotient(std::uint32_t polynomial) {
    const std::uint64_t low = reverse32(polynomial);
    std::uint64_t rem = low << 32;
    std::uint64_t q = std::uint64_t{1} << 32;
    for (int i = 31; i >= 0; --i) {
        if ((rem >> (32 + i)) & 1) {
            q |= std::uint64_t{1} << i;
            rem ^= (std::uint64_t{1} << (32 + i)) ^ (low << i);
        }
    }
    std::uint64_t reflected = 0;
    for (int j = 0; j <= 32; ++j) reflected |= ((q >> (32 - j)) & 1) << j;
    return reflected;
}

// A 128-bit lane X = A * x^64 + B (A in the low quadword, being the
// earlier bytes) moves on by E bits as A * (x^(E+64) mod P) + B * (x^E mod P):
// products of 64 and 32 bits that fit a lane again. With the constants
// reflected in 32 bits, the 95-bit products read as 128-bit lanes carry an
// extra x^33, so the constants are x^(E+31) and x^(E-33) mod P.
struct FoldConstants {
    // Four lanes (64 bytes) on by 512 bits, once per 64 bytes of input.
    alignas(16) std::uint64_t by512[2];
    // One lane on by 128 bits: the four lanes into one, then the tail blocks.
    alignas(16) std::uint64_t by128[2];
    // The last lane R (now the whole message mod P) to R * x^32 mod P:
    // x^95 takes A * x^96 to 96 bits (a 95-bit product read as 96 bits),
    // x^63 takes the top 32 of those, times x^64, to 64 bits.
    alignas(16) std::uint64_t reduce[2];
    // Barrett reduction of the last 64 bits: floor(x^64 / P) and P itself,
    // both reflected in 33 bits.
    alignas(16) std::uint64_t barrett[2];
};

constexpr FoldConstants fold_constants(std::uint32_t polynomial) {
    return FoldConstants{
        {x_pow_mod(polynomial, 512 + 31), x_pow_mod(polynomial, 512 - 33)},
        {x_pow_mod(polynomial, 128 + 31), x_pow_mod(polynomial, 128 - 33)},
        {x_pow_mod(polynomial, 95), x_pow_mod(polynomial, 63)},
        {barrett_quotient(polynomial), (std::uint64_t{polynomial} << 1) | 1},
    };
}

constexpr FoldConstants CRC32_FOLD = fold_constants(CRC32_POLYNOMIAL);
constexpr FoldConstants CRC16_FOLD = fold_constants(CRC16_POLYNOMIAL);

// The quotient has its x^32 term and P its x^0 term.
static_assert(CRC32_FOLD.barrett[0] & 1);
static_assert(CRC32_FOLD.barrett[1] & (std::uint64_t{1} << 32));
// x^32 mod P is L itself.
static_assert(x_pow_mod(CRC32_POLYNOMIAL, 32) == CRC32_POLYNOMIAL);
static_assert(x_pow_mod(CRC16_POLYNOMIAL, 32) == CRC16_POLYNOMIAL);

#if CODING_CRC_FOLD

#if defined(__i386__)
// 32-bit Windows promises only 4-byte stack alignment; realign for spills.
#define CODING_CRC_FOLD_ALIGN __attribute__((force_align_arg_pointer))
#else
#define CODING_CRC_FOLD_ALIGN
#endif

#define CODING_CRC_FOLD_TARGET __attribute__((target("pclmul,sse4.1")))

CODING_CRC_FOLD_TARGET inline __m128i fold_lane(__m128i lane, __m128i k) {
    return _mm_xor_si128(_mm_clmulepi64_si128(lane, k, 0x00), _mm_clmulepi64_si128(lane, k, 0x11));
}

CODING_CRC_FOLD_TARGET inline __m128i load_lane(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The register after blocks (at least 4) sixteen-byte blocks. Only 32-bit
// extractions are used, so the same code serves 32-bit x86.
CODING_CRC_FOLD_TARGET CODING_CRC_FOLD_ALIGN std::uint32_t fold_blocks(const FoldConstants& k, std::uint32_t reg,
                                                                       const std::uint8_t* p, std::size_t blocks) {
    __m128i x0 = _mm_xor_si128(load_lane(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
    __m128i x1 = load_lane(p + 16);
    __m128i x2 = load_lane(p + 32);
    __m128i x3 = load_lane(p + 48);
    p += 64;
    blocks -= 4;

    const __m128i by512 = _mm_load_si128(reinterpret_cast<const __m128i*>(k.by512));
    for (; blocks >= 4; blocks -= 4, p += 64) {
        x0 = _mm_xor_si128(fold_lane(x0, by512), load_lane(p));
        x1 = _mm_xor_si128(fold_lane(x1, by512), load_lane(p + 16));
        x2 = _mm_xor_si128(fold_lane(x2, by512), load_lane(p + 32));
        x3 = _mm_xor_si128(fold_lane(x3, by512), load_lane(p + 48));
    }

    const __m128i by128 = _mm_load_si128(reinterpret_cast<const __m128i*>(k.by128));
    __m128i x = _mm_xor_si128(fold_lane(x0, by128), x1);
    x = _mm_xor_si128(fold_lane(x, by128), x2);
    x = _mm_xor_si128(fold_lane(x, by128), x3);
    for (; blocks > 0; --blocks, p += 16) x = _mm_xor_si128(fold_lane(x, by128), load_lane(p));

    // x = A * x^64 + B; S = A * x^96 + B * x^32 (96 bits; B lands in the
    // low quadword as it is).
    const __m128i reduce = _mm_load_si128(reinterpret_cast<const __m128i*>(k.reduce));
    const __m128i low32 = _mm_setr_epi32(-1, 0, 0, 0);
    const __m128i s = _mm_xor_si128(_mm_clmulepi64_si128(x, reduce, 0x00), _mm_srli_si128(x, 8));
    // S = H * x^64 + T (H its first 32 bits); U = H * x^64 + T with x^64
    // taken mod P (a 63-bit product read as 64 bits), 64 bits.
    const __m128i u = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(s, low32), reduce, 0x10), _mm_srli_si128(s, 4));
    // U = Uh * x^32 + Ul. The quotient q = floor(Uh * mu / x^32) is the
    // first 32 bits of the 64-bit product; U mod P = Ul + (q * P mod x^32),
    // the second 32 bits of each.
    const __m128i barrett = _mm_load_si128(reinterpret_cast<const __m128i*>(k.barrett));
    const __m128i q = _mm_clmulepi64_si128(_mm_and_si128(u, low32), barrett, 0x00);
    const __m128i qp = _mm_clmulepi64_si128(_mm_and_si128(q, low32), barrett, 0x10);
    return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(qp, u), 1));
}

// CPUID is slow under a hypervisor, and the compiler's own feature check
// asks many leaves in a constructor whenever the library is loaded, so
// every start would pay. glibc has asked already and answers from memory
// (also for features the system turned off); elsewhere one leaf is asked,
// on the first fold.
bool has_clmul() {
    static const bool yes = [] {
#if CODING_CPU_FEATURES_FROM_LIBC
        return CPU_FEATURE_ACTIVE(PCLMULQDQ) && CPU_FEATURE_ACTIVE(SSE4_1);
#else
        unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
        if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
        constexpr unsigned PCLMULQDQ = 1u << 1, SSE4_1 = 1u << 19;
        return (ecx & PCLMULQDQ) != 0 && (ecx & SSE4_1) != 0;
#endif
    }();
    return yes;
}

#endif  // CODING_CRC_FOLD

}  // namespace

bool crc_fold_available() {
#if CODING_CRC_FOLD
    return has_clmul();
#else
    return false;
#endif
}

std::size_t crc_fold(std::uint32_t polynomial, std::uint32_t& reg, const std::uint8_t* data, std::size_t size) {
#if CODING_CRC_FOLD
    const FoldConstants* k = polynomial == CRC32_POLYNOMIAL   ? &CRC32_FOLD
                             : polynomial == CRC16_POLYNOMIAL ? &CRC16_FOLD
                                                              : nullptr;
    if (size < CRC_FOLD_MIN || k == nullptr || !has_clmul()) return 0;
    const std::size_t blocks = size / 16;
    reg = fold_blocks(*k, reg, data, blocks);
    return blocks * 16;
#else
    (void)polynomial;
    (void)reg;
    (void)data;
    (void)size;
    return 0;
#endif
}

}  // namespace coding
