// A watch for files that must not be opened and a port that must not be contacted, and a document
// that names files and addresses in every way XML allows.
#ifndef VELXMLN_TESTS_SUPPORT_NEVERREAD_H
#define VELXMLN_TESTS_SUPPORT_NEVERREAD_H

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace testsupport {

#ifdef _WIN32
using Native = SOCKET;
constexpr Native kInvalid = INVALID_SOCKET;
inline void closeNative(Native socket) {
    closesocket(socket);
}
inline Native listeningSocket() {
    WSADATA data;
    if (WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        return INVALID_SOCKET;
    }
    const SOCKET created = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    u_long nonBlocking = 1;
    if (created != INVALID_SOCKET) {
        ioctlsocket(created, FIONBIO, &nonBlocking);
    }
    return created;
}
inline int pollNative(pollfd* waiting, int milliseconds) {
    return WSAPoll(waiting, 1, milliseconds);
}
#else
using Native = int;
constexpr Native kInvalid = -1;
inline void closeNative(Native fd) {
    close(fd);
}
inline Native listeningSocket() {
    return ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
}
inline int pollNative(pollfd* waiting, int milliseconds) {
    return poll(waiting, 1, milliseconds);
}
#endif

class Descriptor {
  public:
    explicit Descriptor(Native fd) : fd_(fd) {
        if (fd_ == kInvalid) {
            throw std::runtime_error("cannot set up the test's watch");
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() { closeNative(fd_); }
    Native get() const { return fd_; }

  private:
    Native fd_;
};

// A listening TCP socket on the loopback interface that counts the connections made to it and
// closes each at once, so that a fetch fails fast instead of waiting for an answer.
class Listener {
  public:
    Listener() : socket_(listeningSocket()) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = static_cast<socklen_t>(sizeof address);
        sockaddr* raw = reinterpret_cast<sockaddr*>(&address);
        if (bind(socket_.get(), raw, size) != 0 || listen(socket_.get(), 16) != 0 ||
            getsockname(socket_.get(), raw, &size) != 0) {
            throw std::runtime_error("cannot listen on the loopback interface");
        }
        port_ = ntohs(address.sin_port);
        acceptor_ = std::thread([this] {
            while (!stop_) {
                pollfd waiting{socket_.get(), POLLIN, 0};
                if (pollNative(&waiting, 20) > 0) {
                    const Native connection = accept(socket_.get(), nullptr, nullptr);
                    if (connection != kInvalid) {
                        ++contacts_;
                        closeNative(connection);
                    }
                }
            }
        });
    }
    ~Listener() {
        stop_ = true;
        acceptor_.join();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_); }
    int contacts() const { return contacts_; }

  private:
    Descriptor socket_;
    unsigned port_ = 0;
    std::atomic<bool> stop_{false};
    std::atomic<int> contacts_{0};
    std::thread acceptor_;
};

#ifdef _WIN32
// Windows tells no one that a file was opened or read (its change notifications cover writes
// only), so the watch sees nothing there; the tests' files still show a read by what they would
// add to the document.
class FolderWatch {
  public:
    explicit FolderWatch(const std::string&) {}
    bool touched() const { return false; }
};
#else
// Reports whether anything in a folder (the folder itself included) was opened or read.
class FolderWatch {
  public:
    explicit FolderWatch(const std::string& folder) : inotify_(inotify_init1(IN_NONBLOCK)) {
        if (inotify_add_watch(inotify_.get(), folder.c_str(), IN_OPEN | IN_ACCESS) < 0) {
            throw std::runtime_error("cannot watch " + folder);
        }
    }
    bool touched() const {
        char events[4096];
        return read(inotify_.get(), events, sizeof events) > 0;
    }

  private:
    Descriptor inotify_;
};
#endif

// Every way a document can name something outside itself: the external DTD subset, external
// parameter and general entities (a path, a file URL, an HTTP URL) and schema locations.
inline const char* const kNaming = R"(<?xml version="1.0"?>
<!DOCTYPE root SYSTEM "{secrets}/secret.dtd" [
<!ENTITY % remote SYSTEM "{net}/remote.dtd"> %remote;
<!ENTITY % local SYSTEM "file://{secrets}/parameters.ent"> %local;
<!ENTITY file SYSTEM "{secrets}/text.ent">
<!ENTITY net SYSTEM "{net}/text.ent">
]>
<root xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance"
      xsi:noNamespaceSchemaLocation="{secrets}/schema.xsd">
<item a="1">&file;&net;</item>
<other xmlns="urn:x" xsi:schemaLocation="urn:x {net}/x.xsd"/>
</root>
)";

inline std::string substitute(std::string text, const std::string& name, const std::string& value) {
    for (std::size_t at = text.find(name); at != std::string::npos; at = text.find(name, at)) {
        text.replace(at, name.size(), value);
        at += value.size();
    }
    return text;
}

}  // namespace testsupport

#endif
