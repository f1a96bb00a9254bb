#include "engine/parser/security.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace vistrel {
namespace {

std::vector<uint8_t> fromHex(const char* hex) {
    std::vector<uint8_t> out;
    for (size_t i = 0; hex[i] && hex[i + 1]; i += 2) {
        out.push_back(uint8_t(std::stoi(std::string(hex + i, 2), nullptr, 16)));
    }
    return out;
}

std::string toHex(const uint8_t* data, size_t n) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[data[i] >> 4];
        s += digits[data[i] & 15];
    }
    return s;
}

const uint8_t* bytes(const char* s) {
    return reinterpret_cast<const uint8_t*>(s);
}

TEST(Md5Test, Rfc1321Vectors) {
    struct Case {
        const char* input;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"1234567890123456789012345678901234567890123456789012345678901234567890123456789"
         "0",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const Case& c : cases) {
        uint8_t digest[16];
        Md5Digest(bytes(c.input), std::strlen(c.input), digest);
        EXPECT_EQ(toHex(digest, 16), c.digest) << '"' << c.input << '"';

        // The same input fed in uneven pieces (crossing the 64-byte block
        // boundary at different points) gives the same digest.
        size_t n = std::strlen(c.input);
        for (size_t split : {size_t(1), size_t(7), size_t(55), size_t(63), size_t(64)}) {
            if (split > n)
                continue;
            Md5Context ctx;
            Md5Init(ctx);
            Md5Update(ctx, bytes(c.input), split);
            Md5Update(ctx, bytes(c.input) + split, n - split);
            Md5Final(ctx, digest);
            EXPECT_EQ(toHex(digest, 16), c.digest) << '"' << c.input << "\" split " << split;
        }
    }
}

TEST(Md5Test, NothingChangesAfterFinal) {
    Md5Context ctx;
    Md5Init(ctx);
    Md5Update(ctx, bytes("abc"), 3);
    uint8_t digest[16];
    Md5Final(ctx, digest);
    Md5Update(ctx, bytes("more"), 4);
    uint8_t second[16];
    std::memset(second, 0xAA, sizeof second);
    Md5Final(ctx, second);
    EXPECT_EQ(toHex(digest, 16), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(toHex(second, 16), std::string(32, 'a'));  // untouched
    EXPECT_EQ(toHex(ctx.digest, 16), "900150983cd24fb0d6963f7d28e17f72");
}

TEST(Rc4Test, PublishedVectors) {
    struct Case {
        const char* key;
        const char* plain;
        const char* cipher;
    } cases[] = {
        {"Key", "Plaintext", "bbf316e8d940af0ad3"},
        {"Wiki", "pedia", "1021bf0420"},
        {"Secret", "Attack at dawn", "45a01f645fc35b383552544b9bf5"},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> data(bytes(c.plain), bytes(c.plain) + std::strlen(c.plain));
        Rc4Context ctx;
        Rc4SetKey(ctx, bytes(c.key), std::strlen(c.key));
        Rc4Crypt(ctx, data.data(), data.size());
        EXPECT_EQ(toHex(data.data(), data.size()), c.cipher) << c.key;

        // Decrypting byte by byte with a fresh schedule restores the text.
        Rc4SetKey(ctx, bytes(c.key), std::strlen(c.key));
        for (uint8_t& b : data)
            b = Rc4CryptByte(ctx, b);
        EXPECT_EQ(std::string(data.begin(), data.end()), c.plain);
    }
}

TEST(SecurityTest, PaddedPassword) {
    uint8_t padded[32];
    padPassword(nullptr, 0, padded);
    EXPECT_EQ(0, std::memcmp(padded, kPasswordPadding, 32));
    padPassword(bytes(""), 0, padded);
    EXPECT_EQ(0, std::memcmp(padded, kPasswordPadding, 32));

    padPassword(bytes("abc"), 3, padded);
    EXPECT_EQ(0, std::memcmp(padded, "abc", 3));
    EXPECT_EQ(0, std::memcmp(padded + 3, kPasswordPadding, 29));

    const char* forty = "0123456789abcdefghijklmnopqrstuvwxyzABCD";
    padPassword(bytes(forty), 32, padded);
    EXPECT_EQ(0, std::memcmp(padded, forty, 32));
    uint8_t longer[32];
    padPassword(bytes(forty), 40, longer);
    EXPECT_EQ(0, std::memcmp(padded, longer, 32));
}

// /O, /U, /P and the first /ID string of two RC4 40-bit documents written by
// qpdf (user password empty or "user", owner password "owner"); the expected
// file keys are those qpdf reports for them.
struct Document {
    const char* owner;
    const char* user;
    const char* fileKey;
};
const Document kEmptyUser = {"c92422687facee686e373f10b5c7d04738053152f7e2ee30e11c69ec442576ab",
                             "ac040a2978b7c85f8fe80d88b24ca08c107362d17be737fbcac6b20d7ef3459e",
                             "aae16a1c58"};
const Document kUserPassword = {"94e8094419662a774442fb072e3d9f19e9d130ec09a4d0061e78fe920f7ab62f",
                                "80fc3da3cb96a4ce9b8e9e6e4b1714fbc10e41c2cfbfb235edef6bec4c4a6630",
                                "c65fb88361"};
const std::vector<uint8_t> kId = fromHex("0123456789abcdef0123456789abcdef");

EncryptionParams paramsOf(const Document& d) {
    EncryptionParams p;
    std::vector<uint8_t> o = fromHex(d.owner), u = fromHex(d.user);
    std::memcpy(p.owner, o.data(), 32);
    std::memcpy(p.user, u.data(), 32);
    p.permissions = -4;
    p.id = kId.data();
    p.idLength = kId.size();
    return p;
}

TEST(SecurityTest, PasswordChecks) {
    struct Case {
        const Document* doc;
        const char* password;  // null: no password
        bool user;
        bool owner;
    } cases[] = {
        {&kEmptyUser, nullptr, true, false},     {&kEmptyUser, "", true, false},
        {&kEmptyUser, "owner", false, true},     {&kEmptyUser, "wrong", false, false},
        {&kUserPassword, nullptr, false, false}, {&kUserPassword, "user", true, false},
        {&kUserPassword, "owner", false, true},  {&kUserPassword, "Owner", false, false},
    };
    for (const Case& c : cases) {
        EncryptionParams params = paramsOf(*c.doc);
        uint8_t padded[32];
        padPassword(bytes(c.password ? c.password : ""), c.password ? std::strlen(c.password) : 0,
                    padded);
        PasswordCheck check = checkPassword(padded, params);
        std::string label = c.password ? c.password : "(none)";
        EXPECT_EQ(check.userMatched, c.user) << label;
        EXPECT_EQ(check.ownerMatched, c.owner) << label;
        if (check.userMatched) {
            EXPECT_EQ(toHex(check.userKey, 5), c.doc->fileKey) << label;
        }
        if (check.ownerMatched) {
            EXPECT_EQ(toHex(check.ownerKey, 5), c.doc->fileKey) << label;
        }
    }
}

TEST(SecurityTest, PermissionWord) {
    PasswordCheck user, owner, both, none;
    user.userMatched = true;
    owner.ownerMatched = true;
    both.userMatched = both.ownerMatched = true;
    const int32_t p = -44;  // 0xFFFFFFD4: printing and copying refused
    struct Case {
        uint32_t before;
        const PasswordCheck* check;
        bool empty;
        uint32_t after;
    } cases[] = {
        // First acceptance with the empty user password of a document that has
        // an owner password: bit 0 clear, bit 1 set, bits 2..14 from /P.
        {0, &user, true, (0xFFD4u & 0x7FFF) | 2},
        // A user password given: bit 0 set too.
        {0, &user, false, (0xFFD4u & 0x7FFF) | 3},
        // Owner password alone: every permission, both flags.
        {0, &owner, false, 0xFFFF},
        // The empty password matching both checks: no flags.
        {0, &both, true, 0xFFD4u & 0x7FFF},
        // Owner matched with the empty password: no owner password of its own.
        {0, &owner, true, 0xFFFD},
        // Later acceptances keep bits 0 and 1 as they were.
        {0x7FD6, &owner, false, 0xFFFE},
        {0xFFFD, &user, false, (0xFFD4u & 0x7FFF) | 1},
        // Nothing matched: nothing changes.
        {0, &none, false, 0},
        {0xFFFC, &none, true, 0xFFFC},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(updatePermissionWord(c.before, p, *c.check, c.empty), c.after)
            << std::hex << "before " << c.before << " expected " << c.after;
    }
}

TEST(SecurityTest, ObjectKey) {
    std::vector<uint8_t> key = fromHex("c65fb88361");
    uint8_t digest[16];
    computeObjectKey(key.data(), 6, 0, digest);
    EXPECT_EQ(toHex(digest, 16), "35e5cb7b1c5805af50ae60291e059a3b");
    // Only the low 3 bytes of the number and 2 of the generation count.
    computeObjectKey(key.data(), 0x7F123456, 0x10789, digest);
    EXPECT_EQ(toHex(digest, 16), "895b76e1f0e4b84b9c3f54cd1fea02cc");
}

}  // namespace
}  // namespace vistrel
