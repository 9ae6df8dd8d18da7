#pragma once
// Owners of a Winsock socket and of a Winsock event object, and Winsock's start.

#include <winsock2.h>

#include "common/unique_resource.h"

namespace zendrel {

struct SocketTraits {
    using Handle = SOCKET;
    static Handle None() noexcept { return INVALID_SOCKET; }
    static bool Close(Handle socket) noexcept { return closesocket(socket) == 0; }
};
using UniqueSocket = UniqueResource<SocketTraits>;

struct WsaEventTraits {
    using Handle = WSAEVENT;
    static Handle None() noexcept { return WSA_INVALID_EVENT; }
    static bool Close(Handle event) noexcept { return WSACloseEvent(event) != FALSE; }
};
// A manual-reset event object, from WSACreateEvent().
using UniqueWsaEvent = UniqueResource<WsaEventTraits>;

// Winsock is started once for the process and left running until it ends: sessions come and go on several threads.
inline bool StartWinsock() {
    static const bool started = [] {
        WSADATA data;
        return WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

}  // namespace zendrel
