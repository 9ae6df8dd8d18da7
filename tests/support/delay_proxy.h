#pragma once
// A TCP proxy on 127.0.0.1 that holds back every piece of data, in both directions, for a fixed time before passing
// it on: a distant server's round trip, made on loopback. Pieces keep their order; the delay does not limit the
// throughput, so a client that keeps many commands in flight pays it once per batch, as over a real network.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace zendrel::testsupport {

class DelayProxy {
public:
    // Listens on a free port of 127.0.0.1 and forwards each connection to targetHost:targetPort.
    static std::unique_ptr<DelayProxy> Start(const std::string& targetHost, int targetPort, int delayMs,
                                             std::string& reason);
    ~DelayProxy();
    DelayProxy(const DelayProxy&) = delete;
    DelayProxy& operator=(const DelayProxy&) = delete;

    int Port() const;

    // What passed through since the last call, over all connections: the byte counts each way, and what the clients
    // sent (their commands), kept up to kKeptClientBytes.
    struct Traffic {
        std::uint64_t toServerBytes = 0;
        std::uint64_t toClientBytes = 0;
        std::string toServer;
    };
    static constexpr std::size_t kKeptClientBytes = 4u << 20;
    Traffic TakeTraffic();

private:
    struct State;
    explicit DelayProxy(std::unique_ptr<State> state);
    std::unique_ptr<State> state_;
};

}  // namespace zendrel::testsupport
