#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "core/IcaoCode.h"

namespace zelk {

// Rename, or copy and remove when a rename is impossible (another volume).
// False with a log notice when the file could not be moved; when only the
// removal of the source failed, the copy at `to` stays.
bool gf_moveFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Remove the regular files directly in the folder (sub-folders stay). Never
// throws: failures are logged and the walk goes on.
void gf_removeFilesFromDirectory(const std::filesystem::path& folder);
// The same for files with the extension ".xml" in any letter case.
void gf_removeXMLFilesFromDirectory(const std::filesystem::path& folder);

// Replaces target, a copy the program keeps (a backup, an older generation),
// by a copy of source, so that target is always the old copy or the complete
// new one, never a cut one: the copy is made beside it (".tmp" added to the
// name), made writable, and then moved over it. A read-only target, as a
// copy of a read-only file is, is replaced all the same; a link at target is
// replaced itself, what it leads to is left alone. False with ec set leaves
// target as it was and no side file.
bool gf_copyOverKeptFile(const std::filesystem::path& source, const std::filesystem::path& target,
                         std::error_code& ec);

// Keep one backup generation: "Log.txt" is copied to "Log0.txt" beside it.
// A read-only copy left by an earlier call is replaced all the same.
// True when the copy was made or there was no file to keep.
bool gf_save1GenerationOf(const std::filesystem::path& file);

// Regular files directly in the folder with exactly this extension (".xml";
// compared case-sensitively); an empty extension counts every regular file.
// 0 when the folder does not exist; throws std::filesystem::filesystem_error
// when the folder cannot be read.
std::int64_t gf_countFilesInDirectory(const std::filesystem::path& folder, const std::filesystem::path& extension);

// Airport codes of the airport files "XXXX.xml" (extension in any letter
// case) directly in the folder. A four-character stem that is no airport code
// is skipped with a log notice. Empty when the folder does not exist; throws
// std::filesystem::filesystem_error when the folder cannot be read.
std::vector<IcaoCode> gf_icaoCodesOfXmlFiles(const std::filesystem::path& folder);

// Writes the bytes as they are (binary), plus one "\n" when asked. False when
// the file cannot be opened or written.
bool gf_writeTextFile(std::string_view text, const std::filesystem::path& file, bool appendNewline);

// Deletes a half-written file unless its owner disarms the guard once the file
// is complete.
class ScopedFileRemover {
public:
    explicit ScopedFileRemover(std::filesystem::path file) : file_(std::move(file)) {}
    ~ScopedFileRemover();
    ScopedFileRemover(const ScopedFileRemover&) = delete;
    ScopedFileRemover& operator=(const ScopedFileRemover&) = delete;

    void disarm() noexcept { armed_ = false; }
    bool armed() const noexcept { return armed_; }
    const std::filesystem::path& file() const noexcept { return file_; }

private:
    std::filesystem::path file_;
    bool armed_ = true;
};

} // namespace zelk
