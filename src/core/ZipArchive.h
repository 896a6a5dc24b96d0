#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

struct zip; // libzip's archive handle

namespace zelk {

// One entry of a zip archive as listed by ZipArchive::entries().
struct ZipEntry {
    std::string name;        // as stored in the archive, '/' separated
    std::uint64_t index = 0; // position in the archive's central directory
    std::uint64_t size = 0;  // uncompressed size in bytes

    // Zip marks folders by a trailing '/' in the name; they carry no content.
    bool isDirectory() const { return !name.empty() && name.back() == '/'; }
    bool isFile() const { return !isDirectory(); }
};

// Results of ZipArchive::readEntry; 0 is success, the others are negative so
// that callers can log them as numbers.
enum ZipReadResult : int {
    kZipReadOk = 0,
    kZipNotOpen = -1,
    kZipInvalidEntry = -3,
    kZipInvalidParameter = -4,
    kZipEntryOpenFailed = -25,
    kZipEntryReadFailed = -26,
    kZipOutputWriteFailed = -35,
};

// A small owner of one libzip archive: read the entries of an existing archive
// or build a new one from in-memory data. Not copyable; not thread-safe (one
// archive per thread).
class ZipArchive {
public:
    enum class OpenMode {
        ReadOnly, // an existing archive, never changed
        New,      // a new archive; an existing file is replaced when close() succeeds
    };

    explicit ZipArchive(std::filesystem::path file);
    ~ZipArchive(); // an archive still open is discarded: unsaved additions are lost
    ZipArchive(const ZipArchive&) = delete;
    ZipArchive& operator=(const ZipArchive&) = delete;

    const std::filesystem::path& path() const { return file_; }

    // False when the archive cannot be opened (missing, not a zip, damaged
    // central directory, or already open); lastError() then says why.
    bool open(OpenMode mode);
    bool isOpen() const { return handle_ != nullptr; }

    // Every entry, folders included, in archive order. Empty when not open.
    std::vector<ZipEntry> entries() const;

    // Streams the uncompressed content of a file entry into out in pieces of
    // at most chunkSize bytes. Success needs the whole content to have been
    // read with a valid checksum and written to out.
    int readEntry(const ZipEntry& entry, std::ostream& out, std::size_t chunkSize);

    // Adds (or replaces) a file entry with the given bytes; the archive keeps
    // its own copy until close(). Only in mode New. deflateLevel 1 (fastest)
    // to 9 (smallest); 0 takes the library's default.
    bool addData(std::string_view entryName, std::string bytes, int deflateLevel = 0);
    // Adds an empty folder entry ("name/"). Only in mode New.
    bool addFolder(std::string_view folderName);

    // Writes a new archive to disk and closes. 0 on success; otherwise a
    // negative value and the archive is discarded.
    int close();
    // Closes without writing anything.
    void discard();

    const std::string& lastError() const { return lastError_; }

private:
    std::filesystem::path file_;
    ::zip* handle_ = nullptr;
    OpenMode mode_ = OpenMode::ReadOnly;
    std::vector<std::unique_ptr<std::string>> pendingData_;
    std::string lastError_;
};

} // namespace zelk
