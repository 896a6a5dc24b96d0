#include "update/Downloader.h"
#include "update/UpdateTestSupport.h"

#include "core/StopRequest.h"

#include <gtest/gtest.h>

namespace zelk {
namespace {

class DownloaderBase : public test::UpdateTest {};

TEST_F(DownloaderBase, ProductTalksHttpsAndOnlyLoopbackMayOverride)
{
    EXPECT_TRUE(kDownloadServerBase.starts_with("https://"));
    EXPECT_TRUE(kDownloadServerBase.ends_with("/"));
    EXPECT_EQ(gf_downloadServerBase(), kDownloadServerBase);

    for (const char* loopback : {"http://127.0.0.1:8080/", "http://localhost:99/sub/"}) {
        useDownloadBase(loopback);
        EXPECT_EQ(gf_downloadServerBase(), loopback);
    }
    for (const char* refused : {"https://elsewhere.example/", "http://10.0.0.1:80/", "http://127.0.0.1:80",
                                "http://localhost.example.com/", "http://127.0.0.1.example.com:80/"}) {
        useDownloadBase(refused);
        EXPECT_EQ(gf_downloadServerBase(), kDownloadServerBase) << refused;
    }
    EXPECT_TRUE(logHas("Ignoring ZELK_DOWNLOAD_BASE"));

    EXPECT_FALSE(gf_downloadFile(nullptr, "http://127.0.0.1:1/x", file("x"), true, 100)) << "no handle, no download";
    EXPECT_FALSE(std::filesystem::exists(file("x")));
}

} // namespace
} // namespace zelk

#if defined(ZELK_HAVE_HTTPLIB)

#include <future>
#include <thread>

#include "support/Eventually.h"
#include "update/LocalServer.h"

namespace zelk {
namespace {

class Downloader : public test::UpdateTest {
protected:
    static constexpr std::uint64_t kLimit = 1'000'000;

    bool download(const std::string& path, bool binary = true, const DownloadLimits& limits = {},
                  std::uint64_t maxBytes = kLimit)
    {
        DownloadHandle handle = gf_newDownloadHandle();
        return gf_downloadFile(handle.get(), server.base() + path, file("target.bin"), binary, maxBytes, limits);
    }

    test::LocalServer server;
};

// A stale temporary file left by a crash, longer than the new content, is replaced too.
TEST_F(Downloader, CompleteAnswerReplacesTheTarget)
{
    test::writeAll(file("target.bin"), "old content");
    test::writeAll(file("target.bin.download_tmp"), std::string(400000, 's'));
    std::string body(300000, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 7);
    server.serve("data/file.bin", body);
    ASSERT_TRUE(download("data/file.bin"));
    EXPECT_EQ(test::readAll(file("target.bin")), body);
    EXPECT_EQ(server.hits("data/file.bin"), 1);
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Downloader, ErrorAnswersLeaveTheTargetAlone)
{
    test::writeAll(file("target.bin"), "good");
    server.serve("gone", "error page", 404);
    server.serve("broken", "server error page", 500);
    server.redirect("moved", "elsewhere");
    server.serve("elsewhere", "the real file");
    server.serve("nocontent", "", 204);
    server.serve("empty", "", 200);
    for (const std::string& url : {server.base() + "gone", server.base() + "broken", server.base() + "moved",
                                   server.base() + "nocontent", server.base() + "empty",
                                   server.base() + "never-served", test::LocalServer::closedBase() + "f"}) {
        DownloadHandle handle = gf_newDownloadHandle();
        EXPECT_FALSE(gf_downloadFile(handle.get(), url, file("target.bin"), true, kLimit)) << url;
        EXPECT_EQ(test::readAll(file("target.bin")), "good") << url;
        EXPECT_TRUE(leftovers().empty()) << url;
    }
    // A redirect is not followed: the download stays on the server we trust.
    EXPECT_EQ(server.hits("elsewhere"), 0);
    EXPECT_TRUE(logHas("refused: HTTP status 302"));
    EXPECT_TRUE(logHas("refused: HTTP status 204"));
}

// A stale temporary that cannot be removed, or a target folder that cannot be
// written, fail the download before any request.
TEST_F(Downloader, LocalFailuresStopBeforeAnyRequest)
{
    std::filesystem::create_directories(file("target.bin.download_tmp") / "inside");
    server.serve("f", "new");
    EXPECT_FALSE(download("f"));
    EXPECT_TRUE(logHas("==> Could not remove stale temporary download"));

    DownloadHandle handle = gf_newDownloadHandle();
    EXPECT_FALSE(gf_downloadFile(handle.get(), server.base() + "f", file("no/such/folder/t"), true, kLimit));
    EXPECT_TRUE(logHas("Could not open temporary download file"));
    EXPECT_EQ(server.hits("f"), 0);
}

// The limit holds whether the server announces the length or streams without
// one; a stream that never ends is cut off at the limit too.
TEST_F(Downloader, TransferStopsAtItsSizeLimit)
{
    test::writeAll(file("target.bin"), "good");
    server.serve("exact", std::string(kLimit, 'e'));
    server.serve("announced", std::string(kLimit + 1, 'a'));
    server.serveEndless("endless");
    for (const char* path : {"announced", "endless"}) {
        EXPECT_FALSE(download(path)) << path;
        EXPECT_EQ(test::readAll(file("target.bin")), "good") << path;
        EXPECT_TRUE(leftovers().empty()) << path;
    }
    EXPECT_TRUE(logHas("==> Download of '" + server.base() + "endless' stopped: larger than 1000000 bytes"));
    EXPECT_TRUE(logHas("==> Download of '" + server.base() + "announced' stopped: larger than 1000000 bytes"));
    ASSERT_TRUE(download("exact"));
    EXPECT_EQ(std::filesystem::file_size(file("target.bin")), kLimit);
}

TEST_F(Downloader, StopRequestAbortsAStalledTransfer)
{
    test::writeAll(file("target.bin"), "good");
    server.stall("slow", "first part only", 1 << 20);
    auto result = std::async(std::launch::async, [this] { return download("slow"); });
    server.waitUntilStalled();
    ASSERT_TRUE(gf_isRunning());
    gf_requestStop(StopReason::NewSettings, 0);
    // libcurl polls the stop at least once a second; a bounded wait keeps a
    // hang from blocking the whole test run.
    ASSERT_EQ(result.wait_for(test::kEventWait), std::future_status::ready);
    EXPECT_FALSE(result.get());
    EXPECT_EQ(test::readAll(file("target.bin")), "good");
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Downloader, TransferBelowTheSpeedLimitIsCutOff)
{
    server.stall("slow", "a trickle", 1 << 20);
    // Limits far below the defaults keep the test short; the default of 1 byte
    // per second for 30 seconds works the same way.
    DownloadLimits limits;
    limits.lowSpeedLimitBytes = 1000;
    limits.lowSpeedTimeSeconds = 1;
    EXPECT_FALSE(download("slow", true, limits));
    EXPECT_FALSE(std::filesystem::exists(file("target.bin")));
    EXPECT_TRUE(leftovers().empty());
}

TEST_F(Downloader, InputFileComesFromTheInputFolderOfTheServer)
{
    useDownloadBase(server.base());
    server.serve("input/sub/dbase.enc", "bytes");
    ASSERT_TRUE(gf_downloadInputFile("sub/dbase.enc", file("dbase.enc"), 5));
    EXPECT_EQ(test::readAll(file("dbase.enc")), "bytes");
    EXPECT_TRUE(logHas("Downloaded '" + server.base() + "input/sub/dbase.enc' to '"));

    EXPECT_FALSE(gf_downloadInputFile("missing.enc", file("missing.enc"), 5));
    EXPECT_TRUE(logHas("==> Downloading '" + server.base() + "input/missing.enc' failed!"));
    EXPECT_FALSE(std::filesystem::exists(file("missing.enc")));
}

} // namespace
} // namespace zelk

#else

TEST(Downloader, NeedsTheLocalTestServer)
{
    GTEST_SKIP() << "cpp-httplib is not linked into this test program: the loopback server tests are left out";
}

#endif
