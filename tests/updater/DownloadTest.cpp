// The updater's fetches against a small HTTP server on 127.0.0.1 that gives canned answers: an
// error page is no page, and a short or failed download leaves no file.

#include "CWndMain/UpdateWeb.h"
#include "foundation/PathUtil.h"

#include <winsock2.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

// Answers every connection with the same raw response, then closes it.
class CCannedServer {
public:
    explicit CCannedServer(std::string response) : m_response(std::move(response)) {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
        m_socket = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address = {};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        int size = sizeof(address);
        getsockname(m_socket, reinterpret_cast<sockaddr*>(&address), &size);
        m_port = ntohs(address.sin_port);
        listen(m_socket, 4);
        m_thread = std::thread([this] { Serve(); });
    }
    ~CCannedServer() {
        m_stop = true;
        closesocket(m_socket);
        m_thread.join();
        WSACleanup();
    }
    std::wstring Url(const wchar_t* path) const {
        return L"http://127.0.0.1:" + std::to_wstring(m_port) + path;
    }

private:
    void Serve() {
        while (!m_stop) {
            SOCKET client = accept(m_socket, nullptr, nullptr);
            if (client == INVALID_SOCKET) {
                return;
            }
            char request[4096];
            recv(client, request, sizeof(request), 0);
            send(client, m_response.data(), static_cast<int>(m_response.size()), 0);
            shutdown(client, SD_SEND);
            closesocket(client);
        }
    }
    std::string m_response;
    SOCKET m_socket = INVALID_SOCKET;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

std::string Response(const char* status, const std::string& body, size_t announced) {
    return std::string("HTTP/1.1 ") + status + "\r\nContent-Length: " + std::to_string(announced) +
           "\r\nConnection: close\r\n\r\n" + body;
}

std::wstring TargetPath() {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    return std::wstring(base) + L"vela-updater-download.zip";
}

TEST(UpdaterFetch, AnHttpErrorPageIsNoPage) {
    CCannedServer server(Response("404 Not Found", "1.99", 4));
    std::wstring text;
    EXPECT_FALSE(GetURLData(text, server.Url(L"/version.txt")));
    CCannedServer good(Response("200 OK", "1.40", 4));
    EXPECT_TRUE(GetURLData(text, good.Url(L"/version.txt")));
    EXPECT_EQ(L"1.40", text);
}

TEST(UpdaterFetch, DownloadsOnlyACompleteBody) {
    struct Case {
        const char* name;
        const char* status;
        std::string body;
        size_t announced;
        bool ok;
    };
    const std::string archive(5000, 'z');
    const Case cases[] = {
        {"complete", "200 OK", archive, archive.size(), true},
        {"short body", "200 OK", archive.substr(0, 1000), archive.size(), false},
        {"http error", "500 Internal Server Error", archive, archive.size(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring target = TargetPath();
        {
            std::ofstream old(std::filesystem::path(target), std::ios::binary | std::ios::trunc);
            old << "older archive";
        }
        CCannedServer server(Response(c.status, c.body, c.announced));
        utl::wininet::CWinInetDownload download(L"", server.Url(L"/archive/velaplayer141.zip"));
        EXPECT_EQ(c.ok, download.DownloadToFile(target));
        if (c.ok) {
            std::ifstream in(std::filesystem::path(target), std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            EXPECT_EQ(archive, bytes.str());
        } else {
            EXPECT_FALSE(FileExists(target)) << "a partial archive was left behind";
        }
        DeleteFileW(target.c_str());
    }
}

TEST(UpdaterFetch, AFailedWriteIsAFailedDownload) {
    CCannedServer server(Response("200 OK", "data", 4));
    utl::wininet::CWinInetDownload download(L"", server.Url(L"/a.zip"));
    EXPECT_FALSE(download.DownloadToFile(L"C:\\no-such-folder-vela\\a.zip"));
}

} // namespace
