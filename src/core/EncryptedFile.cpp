#include "core/EncryptedFile.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <vector>

#include <fmt/format.h>
#include <sodium.h>

#include "core/DataKey.h"
#include "core/Strings.h"
#include "platform/FileReplace.h"

namespace zelk {

namespace fs = std::filesystem;

static_assert(kEncryptedHeaderBytes == crypto_secretstream_xchacha20poly1305_HEADERBYTES);
static_assert(kEncryptedChunkOverhead == crypto_secretstream_xchacha20poly1305_ABYTES);
static_assert(kDataKeyBytes == crypto_secretstream_xchacha20poly1305_KEYBYTES);

namespace {

using StreamState = crypto_secretstream_xchacha20poly1305_state;

// The stream state holds the derived subkey: wipe it on every way out.
class StateWiper {
public:
    explicit StateWiper(StreamState& state) noexcept : state_(state) {}
    ~StateWiper() { sodium_memzero(&state_, sizeof state_); }
    StateWiper(const StateWiper&) = delete;
    StateWiper& operator=(const StateWiper&) = delete;

private:
    StreamState& state_;
};

class KeyBuffer {
public:
    KeyBuffer() noexcept { gf_assembleDataKey(key_); }
    ~KeyBuffer() { sodium_memzero(key_.data(), key_.size()); }
    KeyBuffer(const KeyBuffer&) = delete;
    KeyBuffer& operator=(const KeyBuffer&) = delete;
    DataKeyView view() const noexcept { return DataKeyView(key_); }

private:
    std::array<unsigned char, kDataKeyBytes> key_{};
};

[[noreturn]] void lf_fail(std::string_view format, const std::string& path)
{
    throw std::runtime_error(fmt::format(fmt::runtime(format), path));
}

} // namespace

namespace {

// Plaintext size implied by the file size, checked against the caller's limit
// before anything is opened or allocated, so that a truncated, padded or
// oversized file costs nothing.
std::uint64_t lf_validatedPlaintextSize(std::uint64_t size, std::uint64_t maxPlaintext, const std::string& name)
{
    if (size < kEncryptedHeaderBytes + kEncryptedChunkOverhead) lf_fail("Encrypted file is too small: {}", name);
    const std::uint64_t body = size - kEncryptedHeaderBytes;
    const std::uint64_t chunks = (body + kEncryptedChunkBytes - 1) / kEncryptedChunkBytes;
    const std::uint64_t plaintext = body - chunks * kEncryptedChunkOverhead;
    if (plaintext > maxPlaintext)
        throw std::runtime_error(fmt::format(
            "Encrypted file exceeds the plaintext size limit of {} bytes: {}", maxPlaintext, name));
    return plaintext;
}

} // namespace

SecureBuffer gf_decryptStream(DataKeyView key, std::istream& in, std::uint64_t size, const std::string& name,
                              std::uint64_t maxPlaintext)
{
    gf_ensureSodiumInitialized();
    const std::uint64_t plaintext = lf_validatedPlaintextSize(size, maxPlaintext, name);

    std::array<unsigned char, kEncryptedHeaderBytes> header{};
    in.read(reinterpret_cast<char*>(header.data()), header.size());
    if (in.gcount() != static_cast<std::streamsize>(header.size()))
        lf_fail("Encrypted file has an incomplete header: {}", name);

    StreamState state;
    StateWiper wiper(state);
    if (crypto_secretstream_xchacha20poly1305_init_pull(&state, header.data(), key.data()) != 0)
        lf_fail("Invalid encryption header or key: {}", name);

    // On any failure below, `out` is wiped and freed by its destructor while
    // the exception leaves, so no partial plaintext survives.
    SecureBuffer out(plaintext);
    std::vector<unsigned char> chunk(kEncryptedChunkBytes, 0);
    unsigned char tag = 0;
    do {
        in.read(reinterpret_cast<char*>(chunk.data()), static_cast<std::streamsize>(chunk.size()));
        if (in.bad()) lf_fail("Error while reading encrypted file: {}", name);
        const auto got = static_cast<std::uint64_t>(in.gcount());
        if (got == 0) lf_fail("Encrypted file ended without a final block: {}", name);
        if (got < kEncryptedChunkOverhead) lf_fail("Encrypted file contains an incomplete block: {}", name);
        if (out.used() + (got - kEncryptedChunkOverhead) > out.validatedSize())
            lf_fail("Decrypted data exceeds its validated size: {}", name);
        unsigned long long produced = 0;
        if (crypto_secretstream_xchacha20poly1305_pull(&state, out.data() + out.used(), &produced, &tag,
                                                       chunk.data(), got, nullptr, 0)
            != 0)
            lf_fail("Decryption failed for: {}", name);
        out.addUsed(produced);
    } while (tag != crypto_secretstream_xchacha20poly1305_TAG_FINAL);

    // A short final read has already set eof; peek then reports end of file too.
    const auto next = in.peek();
    if (in.bad()) lf_fail("Error while checking the end of encrypted file: {}", name);
    if (next != std::istream::traits_type::eof())
        lf_fail("Encrypted file contains data after the final block: {}", name);
    return out;
}

SecureBuffer gf_decryptFile(DataKeyView key, const fs::path& path, std::uint64_t maxPlaintext)
{
    const std::string name = path_to_utf8(path);
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec)
        throw std::runtime_error(
            fmt::format("Could not determine encrypted file size for {}: {}", name, ec.message()));
    lf_validatedPlaintextSize(size, maxPlaintext, name);

    std::ifstream in(path, std::ios::binary);
    if (!in) lf_fail("Could not open input file: {}", name);
    return gf_decryptStream(key, in, size, name, maxPlaintext);
}

EncryptedFileResult gf_readEncryptedFile(const fs::path& path, std::uint64_t maxPlaintext)
{
    try {
        KeyBuffer key;
        return EncryptedFileResult(gf_decryptFile(key.view(), path, maxPlaintext));
    } catch (const std::exception& e) {
        return EncryptedFileResult::failure(e.what());
    }
}

std::string gf_encryptBytes(DataKeyView key, std::string_view plaintext)
{
    gf_ensureSodiumInitialized();
    const std::size_t chunks = std::max<std::size_t>(1, (plaintext.size() + kEncryptedChunkPlaintext - 1)
                                                            / kEncryptedChunkPlaintext);
    std::string out;
    out.reserve(kEncryptedHeaderBytes + plaintext.size() + chunks * kEncryptedChunkOverhead);

    StreamState state;
    StateWiper wiper(state);
    std::array<unsigned char, kEncryptedHeaderBytes> header{};
    if (crypto_secretstream_xchacha20poly1305_init_push(&state, header.data(), key.data()) != 0)
        throw std::runtime_error("Could not start the encryption stream");
    out.append(reinterpret_cast<const char*>(header.data()), header.size());

    std::array<unsigned char, kEncryptedChunkBytes> cipher{};
    std::size_t offset = 0;
    do {
        const std::size_t n = std::min(kEncryptedChunkPlaintext, plaintext.size() - offset);
        const bool last = offset + n == plaintext.size();
        const unsigned char tag = last ? crypto_secretstream_xchacha20poly1305_TAG_FINAL
                                       : crypto_secretstream_xchacha20poly1305_TAG_MESSAGE;
        unsigned long long written = 0;
        if (crypto_secretstream_xchacha20poly1305_push(
                &state, cipher.data(), &written, reinterpret_cast<const unsigned char*>(plaintext.data()) + offset,
                n, nullptr, 0, tag)
            != 0)
            throw std::runtime_error("Encryption failed");
        out.append(reinterpret_cast<const char*>(cipher.data()), static_cast<std::size_t>(written));
        offset += n;
    } while (offset < plaintext.size());
    return out;
}

void gf_writeEncryptedFile(std::string_view plaintext, const fs::path& target)
{
    std::string cipher;
    {
        KeyBuffer key;
        cipher = gf_encryptBytes(key.view(), plaintext);
    }
    std::error_code ec;
    if (target.has_parent_path()) fs::create_directories(target.parent_path(), ec);
    if (!ec) platform::writeFileDurably(target, cipher, ec);
    if (ec)
        throw std::runtime_error(fmt::format("Could not write {}: {}", path_to_utf8(target), ec.message()));
}

} // namespace zelk
