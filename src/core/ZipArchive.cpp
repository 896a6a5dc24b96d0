#include "core/ZipArchive.h"

#include <algorithm>
#include <utility>

#include <zip.h>

namespace zelk {
namespace {

std::string lf_zipErrorText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

std::string lf_archiveErrorText(zip_t* za)
{
    const char* text = zip_strerror(za);
    return text != nullptr ? text : "unknown zip error";
}

// libzip takes file names as UTF-8 on every system.
std::string lf_utf8Path(const std::filesystem::path& p)
{
    const std::u8string u8 = p.u8string();
    return {u8.begin(), u8.end()};
}

} // namespace

ZipArchive::ZipArchive(std::filesystem::path file) : file_(std::move(file)) {}

ZipArchive::~ZipArchive()
{
    discard();
}

bool ZipArchive::open(OpenMode mode)
{
    if (handle_ != nullptr) {
        lastError_ = "archive is already open";
        return false;
    }
    // Damaged content is caught by the checksum while reading; the stricter
    // ZIP_CHECKCONS would also refuse sound archives of some zip tools.
    const int flags = mode == OpenMode::ReadOnly ? ZIP_RDONLY : (ZIP_CREATE | ZIP_TRUNCATE);
    int code = 0;
    handle_ = zip_open(lf_utf8Path(file_).c_str(), flags, &code);
    if (handle_ == nullptr) {
        lastError_ = lf_zipErrorText(code);
        return false;
    }
    mode_ = mode;
    lastError_.clear();
    return true;
}

std::vector<ZipEntry> ZipArchive::entries() const
{
    std::vector<ZipEntry> result;
    if (handle_ == nullptr) return result;
    const zip_int64_t count = zip_get_num_entries(handle_, 0);
    if (count <= 0) return result;
    result.reserve(static_cast<std::size_t>(count));
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        const auto index = static_cast<zip_uint64_t>(i);
        if (zip_stat_index(handle_, index, 0, &st) != 0) continue; // deleted or unreadable slot
        if ((st.valid & ZIP_STAT_NAME) == 0 || st.name == nullptr) continue;
        ZipEntry entry;
        entry.name = st.name;
        entry.index = index;
        entry.size = (st.valid & ZIP_STAT_SIZE) != 0 ? st.size : 0;
        result.push_back(std::move(entry));
    }
    return result;
}

int ZipArchive::readEntry(const ZipEntry& entry, std::ostream& out, std::size_t chunkSize)
{
    if (handle_ == nullptr) return kZipNotOpen;
    if (chunkSize == 0) return kZipInvalidParameter;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(handle_, entry.index, 0, &st) != 0 || st.name == nullptr || entry.name != st.name) {
        return kZipInvalidEntry;
    }
    zip_file_t* zf = zip_fopen_index(handle_, entry.index, 0);
    if (zf == nullptr) {
        lastError_ = lf_archiveErrorText(handle_);
        return kZipEntryOpenFailed;
    }
    const std::size_t bufferSize =
        static_cast<std::size_t>(std::min<std::uint64_t>(chunkSize, std::max<std::uint64_t>(st.size, 1)));
    std::string buffer(bufferSize, '\0');
    std::uint64_t total = 0;
    int result = kZipReadOk;
    for (;;) {
        // zip_fread reports a checksum mismatch as an error at the end of the data.
        const zip_int64_t n = zip_fread(zf, buffer.data(), buffer.size());
        if (n < 0) {
            lastError_ = zip_file_strerror(zf);
            result = kZipEntryReadFailed;
            break;
        }
        if (n == 0) break;
        out.write(buffer.data(), static_cast<std::streamsize>(n));
        if (!out) {
            result = kZipOutputWriteFailed;
            break;
        }
        total += static_cast<std::uint64_t>(n);
    }
    zip_fclose(zf);
    if (result == kZipReadOk && (st.valid & ZIP_STAT_SIZE) != 0 && total != st.size) {
        lastError_ = "entry shorter than its stated size";
        result = kZipEntryReadFailed;
    }
    return result;
}

bool ZipArchive::addData(std::string_view entryName, std::string bytes, int deflateLevel)
{
    if (handle_ == nullptr || mode_ != OpenMode::New || entryName.empty()) return false;
    // libzip reads the source data only when the archive is written, so the
    // bytes must stay alive (and unmoved) until close().
    auto owned = std::make_unique<std::string>(std::move(bytes));
    zip_source_t* source = zip_source_buffer(handle_, owned->data(), owned->size(), 0);
    if (source == nullptr) {
        lastError_ = lf_archiveErrorText(handle_);
        return false;
    }
    const std::string name(entryName);
    const zip_int64_t index = zip_file_add(handle_, name.c_str(), source, ZIP_FL_OVERWRITE | ZIP_FL_ENC_UTF_8);
    if (index < 0) {
        lastError_ = lf_archiveErrorText(handle_);
        zip_source_free(source);
        return false;
    }
    pendingData_.push_back(std::move(owned));
    if (deflateLevel > 0 &&
        zip_set_file_compression(handle_, static_cast<zip_uint64_t>(index), ZIP_CM_DEFLATE,
                                 static_cast<zip_uint32_t>(std::min(deflateLevel, 9))) < 0) {
        lastError_ = lf_archiveErrorText(handle_);
        return false;
    }
    return true;
}

bool ZipArchive::addFolder(std::string_view folderName)
{
    if (handle_ == nullptr || mode_ != OpenMode::New || folderName.empty()) return false;
    const std::string name(folderName);
    if (zip_dir_add(handle_, name.c_str(), ZIP_FL_ENC_UTF_8) < 0) {
        lastError_ = lf_archiveErrorText(handle_);
        return false;
    }
    return true;
}

int ZipArchive::close()
{
    if (handle_ == nullptr) return kZipNotOpen;
    int result = 0;
    if (zip_close(handle_) != 0) {
        lastError_ = lf_archiveErrorText(handle_);
        zip_discard(handle_);
        result = -1;
    }
    handle_ = nullptr;
    pendingData_.clear();
    return result;
}

void ZipArchive::discard()
{
    if (handle_ != nullptr) zip_discard(handle_);
    handle_ = nullptr;
    pendingData_.clear();
}

} // namespace zelk
