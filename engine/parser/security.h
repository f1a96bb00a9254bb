// MD5, RC4 and the standard security handler's 40-bit password algorithms.
//
// Everything here works on plain byte arrays; PdfDocument gathers the inputs
// (/O, /U, /P, the first /ID string) from the trailer and calls these.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vistrel {

// ---------------------------------------------------------------- MD5 (RFC 1321)

struct Md5Context {
    uint32_t state[4];
    uint64_t bitCount;
    uint8_t buffer[64];
    uint8_t digest[16];
    bool finished;
};

void Md5Init(Md5Context& ctx);
void Md5Update(Md5Context& ctx, const uint8_t* data, size_t length);
// Writes the 16-byte digest; after the first call update does nothing and a
// second final writes nothing.
void Md5Final(Md5Context& ctx, uint8_t digest[16]);
// The RFC 1321 block transform over one 64-byte block.
void Md5Transform(uint32_t state[4], const uint8_t block[64]);

// One-shot helper.
void Md5Digest(const uint8_t* data, size_t length, uint8_t digest[16]);

// ---------------------------------------------------------------- RC4

struct Rc4Context {
    uint8_t state[256];
    uint8_t x;
    uint8_t y;
};

// Key schedule; length 1 to 256 (other lengths are clamped into that range).
void Rc4SetKey(Rc4Context& ctx, const uint8_t* key, size_t length);
// Encrypts or decrypts in place.
void Rc4Crypt(Rc4Context& ctx, uint8_t* buffer, size_t length);
uint8_t Rc4CryptByte(Rc4Context& ctx, uint8_t byte);

// ---------------------------------------------------------------- standard security handler

constexpr size_t kFileKeyLength = 5;
constexpr size_t kObjectKeyLength = kFileKeyLength + 5;

extern const uint8_t kPasswordPadding[32];

// The 32-byte padded password. A null password (none given) and the empty
// password both give the padding string.
void padPassword(const uint8_t* password, size_t length, uint8_t padded[32]);

// What the security handler reads from /Encrypt and the trailer.
struct EncryptionParams {
    uint8_t owner[32];    // first 32 bytes of /O
    uint8_t user[32];     // first 32 bytes of /U
    int32_t permissions;  // /P
    const uint8_t* id;    // first /ID string (not owned)
    size_t idLength;
};

// MD5 over the padded password, /O, /P (least significant byte first) and the
// first /ID string; the first 5 bytes of the digest.
void computeFileKey(const uint8_t padded[32], const EncryptionParams& params,
                    uint8_t key[kFileKeyLength]);

struct PasswordCheck {
    bool userMatched = false;
    bool ownerMatched = false;
    uint8_t userKey[kFileKeyLength] = {};
    uint8_t ownerKey[kFileKeyLength] = {};
};

// Runs the user check and the owner check with the same padded password.
PasswordCheck checkPassword(const uint8_t padded[32], const EncryptionParams& params);

// The permission word after an accepted check. `before` is the word before the
// call (0 at the first acceptance, which fixes bits 0 and 1); `emptyPassword`
// is true for no password or the empty one. Returns `before` unchanged when
// neither check matched.
uint32_t updatePermissionWord(uint32_t before, int32_t permissions, const PasswordCheck& check,
                              bool emptyPassword);

// The per-object key: MD5 over the file key, the low 3 bytes of the object
// number and the low 2 bytes of the generation; the whole digest is written,
// its first kObjectKeyLength bytes are the RC4 key.
void computeObjectKey(const uint8_t fileKey[kFileKeyLength], int32_t objectNumber,
                      int32_t generation, uint8_t digest[16]);

}  // namespace vistrel
