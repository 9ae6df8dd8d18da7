#pragma once
// Owns one Winsock event object (manual-reset) and closes it.

#include <winsock2.h>

namespace zendrel {

class UniqueWsaEvent {
public:
    // A new event, not signalled; valid() tells whether one could be had.
    UniqueWsaEvent() : event_(WSACreateEvent()) {}
    ~UniqueWsaEvent() {
        if (valid()) WSACloseEvent(event_);
    }
    UniqueWsaEvent(const UniqueWsaEvent&) = delete;
    UniqueWsaEvent& operator=(const UniqueWsaEvent&) = delete;

    WSAEVENT get() const { return event_; }
    bool valid() const { return event_ != WSA_INVALID_EVENT; }

private:
    WSAEVENT event_;
};

}  // namespace zendrel
