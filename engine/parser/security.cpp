#include "engine/parser/security.h"

#include <cstring>

namespace vistrel {

// ---------------------------------------------------------------- MD5

namespace {

inline uint32_t rotl(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

inline uint32_t load32(const uint8_t* p) {
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

inline void store32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}

constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr int kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                            5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                            4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                            6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

}  // namespace

void Md5Transform(uint32_t state[4], const uint8_t block[64]) {
    uint32_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = load32(block + 4 * i);
    uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        uint32_t f;
        int g;
        if (i < 16) {
            f = (b & c) | (~b & d);
            g = i;
        } else if (i < 32) {
            f = (d & b) | (~d & c);
            g = (5 * i + 1) & 15;
        } else if (i < 48) {
            f = b ^ c ^ d;
            g = (3 * i + 5) & 15;
        } else {
            f = c ^ (b | ~d);
            g = (7 * i) & 15;
        }
        uint32_t t = d;
        d = c;
        c = b;
        b = b + rotl(a + f + kSine[i] + m[g], kShift[i]);
        a = t;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

void Md5Init(Md5Context& ctx) {
    ctx.state[0] = 0x67452301;
    ctx.state[1] = 0xefcdab89;
    ctx.state[2] = 0x98badcfe;
    ctx.state[3] = 0x10325476;
    ctx.bitCount = 0;
    std::memset(ctx.buffer, 0, sizeof ctx.buffer);
    std::memset(ctx.digest, 0, sizeof ctx.digest);
    ctx.finished = false;
}

void Md5Update(Md5Context& ctx, const uint8_t* data, size_t length) {
    if (ctx.finished || length == 0)
        return;
    size_t used = size_t((ctx.bitCount >> 3) & 63);
    ctx.bitCount += uint64_t(length) << 3;
    size_t room = 64 - used;
    size_t i = 0;
    if (length >= room) {
        std::memcpy(ctx.buffer + used, data, room);
        Md5Transform(ctx.state, ctx.buffer);
        for (i = room; i + 63 < length; i += 64)
            Md5Transform(ctx.state, data + i);
        used = 0;
    }
    std::memcpy(ctx.buffer + used, data + i, length - i);
}

void Md5Final(Md5Context& ctx, uint8_t digest[16]) {
    if (ctx.finished)
        return;
    uint8_t bits[8];
    for (int i = 0; i < 8; ++i)
        bits[i] = uint8_t(ctx.bitCount >> (8 * i));
    size_t used = size_t((ctx.bitCount >> 3) & 63);
    size_t padLength = used < 56 ? 56 - used : 120 - used;
    static const uint8_t kPad[64] = {0x80};
    Md5Update(ctx, kPad, padLength);
    Md5Update(ctx, bits, 8);
    for (int i = 0; i < 4; ++i)
        store32(ctx.digest + 4 * i, ctx.state[i]);
    std::memcpy(digest, ctx.digest, 16);
    ctx.finished = true;
}

void Md5Digest(const uint8_t* data, size_t length, uint8_t digest[16]) {
    Md5Context ctx;
    Md5Init(ctx);
    Md5Update(ctx, data, length);
    Md5Final(ctx, digest);
}

// ---------------------------------------------------------------- RC4

void Rc4SetKey(Rc4Context& ctx, const uint8_t* key, size_t length) {
    if (length == 0 || key == nullptr) {
        static const uint8_t kZero = 0;
        key = &kZero;
        length = 1;
    }
    if (length > 256)
        length = 256;
    for (int i = 0; i < 256; ++i)
        ctx.state[i] = uint8_t(i);
    uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = uint8_t(j + ctx.state[i] + key[size_t(i) % length]);
        uint8_t t = ctx.state[i];
        ctx.state[i] = ctx.state[j];
        ctx.state[j] = t;
    }
    ctx.x = 0;
    ctx.y = 0;
}

uint8_t Rc4CryptByte(Rc4Context& ctx, uint8_t byte) {
    ctx.x = uint8_t(ctx.x + 1);
    uint8_t sx = ctx.state[ctx.x];
    ctx.y = uint8_t(ctx.y + sx);
    uint8_t sy = ctx.state[ctx.y];
    ctx.state[ctx.x] = sy;
    ctx.state[ctx.y] = sx;
    return byte ^ ctx.state[uint8_t(sx + sy)];
}

void Rc4Crypt(Rc4Context& ctx, uint8_t* buffer, size_t length) {
    for (size_t i = 0; i < length; ++i)
        buffer[i] = Rc4CryptByte(ctx, buffer[i]);
}

// ---------------------------------------------------------------- standard security handler

const uint8_t kPasswordPadding[32] = {
    0x28, 0xBF, 0x4E, 0x5E, 0x4E, 0x75, 0x8A, 0x41, 0x64, 0x00, 0x4E, 0x56, 0xFF, 0xFA, 0x01, 0x08,
    0x2E, 0x2E, 0x00, 0xB6, 0xD0, 0x68, 0x3E, 0x80, 0x2F, 0x0C, 0xA9, 0xFE, 0x64, 0x53, 0x69, 0x7A};

void padPassword(const uint8_t* password, size_t length, uint8_t padded[32]) {
    if (password == nullptr)
        length = 0;
    size_t n = length < 32 ? length : 32;
    if (n)
        std::memcpy(padded, password, n);
    std::memcpy(padded + n, kPasswordPadding, 32 - n);
}

void computeFileKey(const uint8_t padded[32], const EncryptionParams& params,
                    uint8_t key[kFileKeyLength]) {
    Md5Context ctx;
    Md5Init(ctx);
    Md5Update(ctx, padded, 32);
    Md5Update(ctx, params.owner, 32);
    uint8_t p[4];
    store32(p, uint32_t(params.permissions));
    Md5Update(ctx, p, 4);
    if (params.id && params.idLength)
        Md5Update(ctx, params.id, params.idLength);
    uint8_t digest[16];
    Md5Final(ctx, digest);
    std::memcpy(key, digest, kFileKeyLength);
}

namespace {

// RC4 over a copy of /U with the key; a match gives back the padding string.
bool userEntryMatches(const uint8_t key[kFileKeyLength], const EncryptionParams& params) {
    uint8_t u[32];
    std::memcpy(u, params.user, 32);
    Rc4Context rc4;
    Rc4SetKey(rc4, key, kFileKeyLength);
    Rc4Crypt(rc4, u, 32);
    return std::memcmp(u, kPasswordPadding, 32) == 0;
}

}  // namespace

PasswordCheck checkPassword(const uint8_t padded[32], const EncryptionParams& params) {
    PasswordCheck result;
    computeFileKey(padded, params, result.userKey);
    result.userMatched = userEntryMatches(result.userKey, params);

    // Owner check: the padded password's digest decrypts /O into the padded
    // user password, which must then pass the user check.
    uint8_t digest[16];
    Md5Digest(padded, 32, digest);
    uint8_t userPadded[32];
    std::memcpy(userPadded, params.owner, 32);
    Rc4Context rc4;
    Rc4SetKey(rc4, digest, kFileKeyLength);
    Rc4Crypt(rc4, userPadded, 32);
    computeFileKey(userPadded, params, result.ownerKey);
    result.ownerMatched = userEntryMatches(result.ownerKey, params);
    return result;
}

uint32_t updatePermissionWord(uint32_t before, int32_t permissions, const PasswordCheck& check,
                              bool emptyPassword) {
    if (!check.userMatched && !check.ownerMatched)
        return before;
    uint32_t word;
    if (check.userMatched)
        word = ((before & 3) | uint32_t(permissions)) & 0x7FFF;
    else
        word = (before & 3) | 0xFFFC;
    if (before == 0) {
        // First acceptance: bit 0 tells that a user password is needed, bit 1
        // that the document has an owner password of its own.
        word &= ~uint32_t(3);
        if (!(check.userMatched && emptyPassword))
            word |= 1;
        bool noOwnPassword = check.ownerMatched && (check.userMatched || emptyPassword);
        if (!noOwnPassword)
            word |= 2;
    }
    return word;
}

void computeObjectKey(const uint8_t fileKey[kFileKeyLength], int32_t objectNumber,
                      int32_t generation, uint8_t digest[16]) {
    uint8_t buffer[kFileKeyLength + 5];
    std::memcpy(buffer, fileKey, kFileKeyLength);
    uint32_t n = uint32_t(objectNumber);
    uint32_t g = uint32_t(generation);
    buffer[kFileKeyLength + 0] = uint8_t(n);
    buffer[kFileKeyLength + 1] = uint8_t(n >> 8);
    buffer[kFileKeyLength + 2] = uint8_t(n >> 16);
    buffer[kFileKeyLength + 3] = uint8_t(g);
    buffer[kFileKeyLength + 4] = uint8_t(g >> 8);
    Md5Digest(buffer, sizeof buffer, digest);
}

}  // namespace vistrel
