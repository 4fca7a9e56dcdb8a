#pragma once
// Announces the phone server as "_withrottle._tcp" by DNS-SD while it runs, so phone apps find it
// without an address typed in. On Linux through the Avahi client library; built without it (or
// without a running Avahi daemon) the announcement is simply not made.

#include <memory>
#include <string>

namespace withrottle {

class DnsSdAnnouncer {
public:
    DnsSdAnnouncer();
    ~DnsSdAnnouncer();
    DnsSdAnnouncer(const DnsSdAnnouncer&) = delete;
    DnsSdAnnouncer& operator=(const DnsSdAnnouncer&) = delete;

    static bool available();  // built with the library
    // Starts announcing `name` on `port` (a running announcement is withdrawn first). False when
    // the announcement cannot be made (no library, no daemon).
    bool announce(const std::string& name, int port);
    void withdraw();
    bool announcing() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace withrottle
