#include "tcp_relay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kadrel::testing {

namespace {

sockaddr_in loopback(uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

// Everything, or false when the other end is gone.
bool sendAll(int socket, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t sent = send(socket, data, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<size_t>(sent);
    }
    return true;
}

}  // namespace

TcpRelay::TcpRelay(uint16_t target) : target(target) {
    listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 64) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        pipe2(wake, O_CLOEXEC) != 0) {
        return;
    }
    listening = ntohs(address.sin_port);
    worker = std::thread([this] { run(); });
}

TcpRelay::~TcpRelay() {
    {
        const std::lock_guard lock(guard);
        stopping = true;
    }
    wakeUp();
    if (worker.joinable()) worker.join();
    closeLinks();
    for (const int fd : {listener, wake[0], wake[1]}) {
        if (fd >= 0) close(fd);
    }
}

void TcpRelay::cut() {
    const std::lock_guard lock(guard);
    severed = true;
    closeLinks();
}

void TcpRelay::heal() {
    const std::lock_guard lock(guard);
    severed = false;
}

void TcpRelay::wakeUp() {
    if (wake[1] >= 0) (void)::write(wake[1], "x", 1);
}

void TcpRelay::closeLinks() {
    for (const auto& [client, server] : links) {
        close(client);
        close(server);
    }
    links.clear();
}

void TcpRelay::run() {
    for (;;) {
        std::vector<pollfd> watched{{wake[0], POLLIN, 0}, {listener, POLLIN, 0}};
        {
            const std::lock_guard lock(guard);
            if (stopping) return;
            for (const auto& [client, server] : links) {
                watched.push_back({client, POLLIN, 0});
                watched.push_back({server, POLLIN, 0});
            }
        }
        // A cut made while this waits closes the sockets it watches: the
        // timeout brings it back to the current list soon.
        if (poll(watched.data(), watched.size(), 50) <= 0) continue;
        const std::lock_guard lock(guard);
        if (stopping) return;
        if ((watched[0].revents & POLLIN) != 0) {
            char drained[64];
            (void)read(wake[0], drained, sizeof drained);
        }
        for (size_t i = 2; i < watched.size(); ++i) {
            if (watched[i].revents == 0) continue;
            const auto link = std::find_if(links.begin(), links.end(), [&](const auto& pair) {
                return pair.first == watched[i].fd || pair.second == watched[i].fd;
            });
            // Gone with a cut, or with its other end a moment ago.
            if (link == links.end()) continue;
            const int to = link->first == watched[i].fd ? link->second : link->first;
            char buffer[65536];
            const ssize_t got = recv(watched[i].fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got < 0 && errno == EAGAIN) continue;
            if (got <= 0 || !sendAll(to, buffer, static_cast<size_t>(got))) {
                close(link->first);
                close(link->second);
                links.erase(link);
            }
        }
        // Accepted last, so that no new socket takes a number watched above.
        if ((watched[1].revents & POLLIN) != 0) {
            const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
            const int server = severed || client < 0 ? -1 : socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
            const sockaddr_in address = loopback(target);
            if (server >= 0 && connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
                links.emplace_back(client, server);
            } else {
                for (const int fd : {client, server}) {
                    if (fd >= 0) close(fd);
                }
            }
        }
    }
}

}  // namespace kadrel::testing
