// A link to a server that the test controls: it listens on a loopback port
// and forwards each connection to the server's port, until the test cuts it
// (every connection closed, new ones refused) and heals it again. POSIX only.
#pragma once

#include <cstdint>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

namespace kadrel::testing {

class TcpRelay {
public:
    explicit TcpRelay(uint16_t target);
    ~TcpRelay();
    TcpRelay(const TcpRelay&) = delete;
    TcpRelay& operator=(const TcpRelay&) = delete;

    // 0 when it could not listen.
    uint16_t port() const { return listening; }
    void cut();
    void heal();

private:
    void run();
    void closeLinks();
    void wakeUp();

    uint16_t target;
    uint16_t listening = 0;
    int listener = -1;
    int wake[2] = {-1, -1};
    std::mutex guard;
    bool severed = false;
    bool stopping = false;
    // Each connection: the client's end and the server's.
    std::vector<std::pair<int, int>> links;
    std::thread worker;
};

}  // namespace kadrel::testing
