// The announcement as a phone app sees it: a browser on the same Avahi daemon finds the service
// with its port while it is announced, and loses it once withdrawn. Needs a running Avahi daemon
// (skipped without one, e.g. in a bare container).

#include "phone/DnsSdAnnouncer.h"

#include <gtest/gtest.h>

#include <avahi-client/client.h>
#include <avahi-client/lookup.h>
#include <avahi-common/thread-watch.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <map>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

// The services of one type the daemon reports, with their ports, updated on Avahi's thread.
class Browser {
public:
    Browser()
    {
        m_poll = avahi_threaded_poll_new();
        int error = 0;
        m_client = avahi_client_new(avahi_threaded_poll_get(m_poll), AvahiClientFlags(0), nullptr, nullptr, &error);
        if (!m_client)
            return;
        m_browser = avahi_service_browser_new(m_client, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, "_withrottle._tcp",
                                              nullptr, AvahiLookupFlags(0), browsed, this);
        avahi_threaded_poll_start(m_poll);
    }
    ~Browser()
    {
        avahi_threaded_poll_stop(m_poll);
        if (m_client)
            avahi_client_free(m_client);
        avahi_threaded_poll_free(m_poll);
    }
    bool daemonThere() const { return m_client && m_browser; }

    // Waits until `name` is listed (with `port`) or not listed, as asked.
    bool waitFor(const std::string& name, int port, bool listed)
    {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [&] {
            const bool withPort = std::any_of(m_seen.begin(), m_seen.end(), [&](const auto& e) {
                return e.first.name == name && e.second == port;
            });
            const bool anyPort = std::any_of(m_seen.begin(), m_seen.end(),
                                             [&](const auto& e) { return e.first.name == name; });
            return listed ? withPort : !anyPort;
        });
    }

private:
    static void browsed(AvahiServiceBrowser*, AvahiIfIndex interface, AvahiProtocol protocol, AvahiBrowserEvent event,
                        const char* name, const char* type, const char* domain, AvahiLookupResultFlags, void* self)
    {
        auto* b = static_cast<Browser*>(self);
        if (event == AVAHI_BROWSER_NEW) {
            {
                std::lock_guard lock(b->m_mutex);
                b->m_seen[{interface, protocol, name}] = -1;  // port known once resolved
            }
            avahi_service_resolver_new(b->m_client, interface, protocol, name, type, domain, AVAHI_PROTO_UNSPEC,
                                       AvahiLookupFlags(0), resolved, b);
        } else if (event == AVAHI_BROWSER_REMOVE) {
            std::lock_guard lock(b->m_mutex);
            b->m_seen.erase({interface, protocol, name});
        }
        b->m_changed.notify_all();
    }
    static void resolved(AvahiServiceResolver* r, AvahiIfIndex interface, AvahiProtocol protocol, AvahiResolverEvent event,
                         const char* name, const char*, const char*, const char*, const AvahiAddress*, uint16_t port,
                         AvahiStringList*, AvahiLookupResultFlags, void* self)
    {
        auto* b = static_cast<Browser*>(self);
        if (event == AVAHI_RESOLVER_FOUND) {
            std::lock_guard lock(b->m_mutex);
            if (auto it = b->m_seen.find({interface, protocol, name}); it != b->m_seen.end())
                it->second = port;
        }
        (void)r;  // kept running: it reports again when the record changes (freed with the client)
        b->m_changed.notify_all();
    }

    AvahiThreadedPoll* m_poll = nullptr;
    AvahiClient* m_client = nullptr;
    AvahiServiceBrowser* m_browser = nullptr;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    // One record per interface and address family, as the daemon reports them.
    struct Where {
        AvahiIfIndex interface;
        AvahiProtocol protocol;
        std::string name;
        auto operator<=>(const Where&) const = default;
    };
    std::map<Where, int> m_seen;
};

TEST(DnsSdAnnouncer, APhoneOnTheNetworkFindsTheServerWhileItRuns)
{
    Browser browser;
    if (!browser.daemonThere())
        GTEST_SKIP() << "no Avahi daemon running";
    const std::string name = "Quarn test " + std::to_string(::getpid());
    withrottle::DnsSdAnnouncer announcer;
    ASSERT_TRUE(announcer.announce(name, 12090));
    EXPECT_TRUE(browser.waitFor(name, 12090, true));
    // A new port (the user changed it): a phone that looks now finds the new one.
    ASSERT_TRUE(announcer.announce(name, 12091));
    Browser later;
    EXPECT_TRUE(later.waitFor(name, 12091, true));
    announcer.withdraw();
    EXPECT_FALSE(announcer.announcing());
    EXPECT_TRUE(browser.waitFor(name, 0, false));
}

}  // namespace
