#include "core/EncryptedFile.h"

#include <array>
#include <cstring>
#include <sstream>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sodium.h>

#include "core/SecureBuffer.h"
#include "core/Strings.h"
#include "support/TempDir.h"

namespace {

using namespace zelk;
namespace fs = std::filesystem;

std::string randomBytes(std::size_t n)
{
    std::string s(n, '\0');
    if (n > 0) randombytes_buf(s.data(), n);
    return s;
}

// Builds a stream chunk by chunk with the caller's tags, to make files that the
// program's own writer never would.
std::string encryptWithTags(const std::array<unsigned char, 32>& key, const std::vector<std::string>& chunks,
                            const std::vector<unsigned char>& tags)
{
    crypto_secretstream_xchacha20poly1305_state state;
    std::array<unsigned char, kEncryptedHeaderBytes> header{};
    crypto_secretstream_xchacha20poly1305_init_push(&state, header.data(), key.data());
    std::string out(reinterpret_cast<const char*>(header.data()), header.size());
    for (std::size_t i = 0; i < chunks.size(); ++i) {
        std::vector<unsigned char> c(chunks[i].size() + kEncryptedChunkOverhead);
        unsigned long long len = 0;
        crypto_secretstream_xchacha20poly1305_push(&state, c.data(), &len,
                                                   reinterpret_cast<const unsigned char*>(chunks[i].data()),
                                                   chunks[i].size(), nullptr, 0, tags[i]);
        out.append(reinterpret_cast<const char*>(c.data()), static_cast<std::size_t>(len));
    }
    return out;
}

class EncryptedFile : public test::TempDirTest {
protected:
    void SetUp() override
    {
        TempDirTest::SetUp();
        gf_ensureSodiumInitialized();
        randombytes_buf(key_.data(), key_.size());
        blocksBefore_ = SecureBuffer::liveBlocks();
    }
    void TearDown() override
    {
        // Every buffer of the test is gone: no decrypted data was left behind.
        EXPECT_EQ(SecureBuffer::liveBlocks(), blocksBefore_);
        TempDirTest::TearDown();
    }

    DataKeyView key() const { return DataKeyView(key_); }

    fs::path put(const std::string& name, std::string_view bytes)
    {
        test::writeAll(file(name), bytes);
        return file(name);
    }

    // The reason a decryption with the test key fails, or "" when it succeeds.
    std::string failure(const fs::path& p, std::uint64_t limit = 1u << 24)
    {
        const auto before = SecureBuffer::liveBlocks();
        try {
            gf_decryptFile(key(), p, limit);
        } catch (const std::runtime_error& e) {
            EXPECT_EQ(SecureBuffer::liveBlocks(), before) << "a failed decryption kept its buffer";
            return e.what();
        }
        return "";
    }

    std::array<unsigned char, 32> key_{};
    std::uint64_t blocksBefore_ = 0;
};

TEST_F(EncryptedFile, RoundTripsAcrossChunkBoundaries)
{
    for (const std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{4095}, std::size_t{4096},
                                std::size_t{4097}, std::size_t{8192}, std::size_t{1} << 20}) {
        SCOPED_TRACE(n);
        const std::string plain = randomBytes(n);
        const std::string cipher = gf_encryptBytes(key(), plain);
        const std::size_t chunks = n == 0 ? 1 : (n + 4095) / 4096;
        EXPECT_EQ(cipher.size(), 24 + n + 17 * chunks);
        EXPECT_EQ(gf_maxEncryptedFileBytes(n), cipher.size()) << "a limit of n admits exactly this file";

        const auto p = put("data.enc", cipher);
        SecureBuffer buf = gf_decryptFile(key(), p, n);
        EXPECT_EQ(buf.used(), n);
        EXPECT_EQ(buf.validatedSize(), n);
        EXPECT_EQ(buf.allocated(), n == 0 ? 1u : n);
        EXPECT_NE(buf.data(), nullptr);
        EXPECT_TRUE(buf.text() == plain);
    }
}

TEST_F(EncryptedFile, ProgramKeyRoundTripAndOtherKeysFail)
{
    const std::string plain = "<root><airports/></root>";
    const auto p = file("input/airports.enc");
    gf_writeEncryptedFile(plain, p);
    auto result = gf_readEncryptedFile(p, kAirportsPlaintextLimit);
    ASSERT_TRUE(result.hasValue()) << result.error();
    EXPECT_EQ(result.value().text(), plain);

    // The file really is encrypted, and only the program's key opens it.
    EXPECT_EQ(test::readAll(p).find("airports"), std::string::npos);
    EXPECT_EQ(failure(p), "Decryption failed for: " + path_to_utf8(p));
    const auto other = put("a.enc", gf_encryptBytes(key(), "secret"));
    auto wrong = gf_readEncryptedFile(other, 100);
    ASSERT_FALSE(wrong.hasValue());
    EXPECT_EQ(wrong.error(), "Decryption failed for: " + path_to_utf8(other));
}

TEST_F(EncryptedFile, MissingFileIsAnErrorTextNotAnException)
{
    auto result = gf_readEncryptedFile(file("nothing.enc"), 100);
    ASSERT_FALSE(result.hasValue());
    const std::string expected = "Could not determine encrypted file size for " + path_to_utf8(file("nothing.enc"));
    EXPECT_EQ(result.error().rfind(expected + ": ", 0), 0u) << result.error();
}

TEST_F(EncryptedFile, MalformedFilesAreRefusedWithTheirReason)
{
    const unsigned char msg = crypto_secretstream_xchacha20poly1305_TAG_MESSAGE;
    // 24 + 4113 + 16 bytes: the size promises 4095 bytes, the first chunk
    // already yields 4096.
    std::string cut = gf_encryptBytes(key(), randomBytes(4097));
    cut.resize(24 + 4113 + 16);
    // The first chunk decrypts fine, the second is damaged: the 4096 bytes
    // already decrypted go with the buffer, which failure() sees released.
    std::string damaged = gf_encryptBytes(key(), randomBytes(10000));
    damaged[24 + 4113 + 100] = static_cast<char>(damaged[24 + 4113 + 100] ^ 0x01);
    const struct {
        const char* name;
        std::string bytes;
        std::uint64_t limit;
        std::string reason;
    } cases[] = {
        {"small", std::string(40, 'x'), 100, "Encrypted file is too small: "},
        {"cut", cut, 1u << 24, "Decrypted data exceeds its validated size: "},
        {"limit", gf_encryptBytes(key(), randomBytes(5000)), 4999,
         "Encrypted file exceeds the plaintext size limit of 4999 bytes: "},
        {"damaged", damaged, 1u << 24, "Decryption failed for: "},
        // A second file glued behind one whose final chunk is full.
        {"glued", gf_encryptBytes(key(), randomBytes(4096)) + gf_encryptBytes(key(), ""), 1u << 24,
         "Encrypted file contains data after the final block: "},
        // Bytes behind a short final chunk break its authentication.
        {"trailing", gf_encryptBytes(key(), "x") + "y", 100, "Decryption failed for: "},
        {"one", encryptWithTags(key_, {randomBytes(100)}, {msg}), 1000,
         "Encrypted file ended without a final block: "},
        {"two", encryptWithTags(key_, {randomBytes(4096), randomBytes(7)}, {msg, msg}), 1u << 24,
         "Encrypted file ended without a final block: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto p = put(std::string(c.name) + ".enc", c.bytes);
        EXPECT_EQ(failure(p, c.limit), c.reason + path_to_utf8(p));
    }
    // The limit is inclusive.
    EXPECT_EQ(failure(file("limit.enc"), 5000), "");
}

TEST_F(EncryptedFile, ReadsChunksWrittenByAnotherWriter)
{
    // An empty final chunk behind a full one is a valid form of the layout.
    const std::string a = randomBytes(4096);
    const auto p = put("emptylast.enc", encryptWithTags(key_, {a, ""},
                                                        {crypto_secretstream_xchacha20poly1305_TAG_MESSAGE,
                                                         crypto_secretstream_xchacha20poly1305_TAG_FINAL}));
    SecureBuffer buf = gf_decryptFile(key(), p, 4096);
    EXPECT_TRUE(buf.text() == a);
}

// A source that fails after the header, as a disk read error would.
class FailingBuf : public std::streambuf {
public:
    explicit FailingBuf(std::string head) : head_(std::move(head))
    {
        setg(head_.data(), head_.data(), head_.data() + head_.size());
    }

protected:
    int_type underflow() override { throw std::ios_base::failure("disk error"); }

private:
    std::string head_;
};

TEST_F(EncryptedFile, ShortOrFailingStreamsAreReported)
{
    const std::string cipher = gf_encryptBytes(key(), "abc");
    std::istringstream header(cipher.substr(0, 20));
    std::istringstream block(cipher.substr(0, 24 + 10));
    FailingBuf failing(cipher.substr(0, 24));
    std::istream broken(&failing);
    const struct {
        std::istream* in;
        std::uint64_t size;
        const char* expected;
    } cases[] = {
        {&header, cipher.size(), "Encrypted file has an incomplete header: f.enc"},
        {&block, 41, "Encrypted file contains an incomplete block: f.enc"},
        {&broken, cipher.size(), "Error while reading encrypted file: f.enc"},
    };
    for (const auto& c : cases) {
        EXPECT_THAT([&] { (void)gf_decryptStream(key(), *c.in, c.size, "f.enc", 100); },
                    ::testing::ThrowsMessage<std::runtime_error>(::testing::StrEq(c.expected)));
    }
}

TEST_F(EncryptedFile, ConcurrentReadersDoNotInterfere)
{
    const std::string plain = randomBytes(50000);
    gf_writeEncryptedFile(plain, file("shared.enc"));
    std::vector<std::thread> threads;
    std::array<int, 6> ok{};
    for (std::size_t t = 0; t < ok.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 10; ++i) {
                auto r = gf_readEncryptedFile(file("shared.enc"), plain.size());
                if (r.hasValue() && r.value().text() == plain) ++ok[t];
            }
        });
    }
    for (auto& th : threads) th.join();
    for (int n : ok) EXPECT_EQ(n, 10);
}

TEST(SecureBuffer, MoveAndResetLeaveNothingBehind)
{
    const auto before = SecureBuffer::liveBlocks();
    SecureBuffer a(10);
    EXPECT_EQ(SecureBuffer::liveBlocks(), before + 1);
    std::memcpy(a.data(), "0123456789", 10);
    a.addUsed(10);
    EXPECT_THROW(a.addUsed(1), std::length_error);

    SecureBuffer b(std::move(a));
    EXPECT_EQ(a.data(), nullptr);
    EXPECT_EQ(a.used() + a.validatedSize() + a.allocated(), 0u);
    EXPECT_EQ(b.text(), "0123456789");

    SecureBuffer c(3);
    c = std::move(b); // c's own block is given back
    EXPECT_EQ(SecureBuffer::liveBlocks(), before + 1);
    EXPECT_EQ(c.text(), "0123456789");

    c.reset();
    EXPECT_EQ(c.data(), nullptr);
    EXPECT_EQ(c.used() + c.validatedSize() + c.allocated(), 0u);
    EXPECT_TRUE(c.text().empty());
    EXPECT_EQ(SecureBuffer::liveBlocks(), before);
}

} // namespace
