#include "phone/DnsSdAnnouncer.h"

#ifdef QUARN_HAVE_AVAHI
#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/thread-watch.h>
#endif

namespace withrottle {

#ifdef QUARN_HAVE_AVAHI

// Avahi calls back on its own poll thread; everything it touches is guarded by the poll's lock.
struct DnsSdAnnouncer::Impl {
    AvahiThreadedPoll* poll = nullptr;
    AvahiClient* client = nullptr;
    AvahiEntryGroup* group = nullptr;
    std::string name;
    int port = 0;

    static void groupCallback(AvahiEntryGroup* g, AvahiEntryGroupState state, void* self)
    {
        auto* d = static_cast<Impl*>(self);
        if (state == AVAHI_ENTRY_GROUP_COLLISION) {
            char* other = avahi_alternative_service_name(d->name.c_str());
            d->name = other;
            avahi_free(other);
            d->publish(avahi_entry_group_get_client(g));
        }
    }

    static void clientCallback(AvahiClient* c, AvahiClientState state, void* self)
    {
        auto* d = static_cast<Impl*>(self);
        if (state == AVAHI_CLIENT_S_RUNNING)
            d->publish(c);
        else if ((state == AVAHI_CLIENT_S_COLLISION || state == AVAHI_CLIENT_S_REGISTERING) && d->group)
            avahi_entry_group_reset(d->group);
    }

    void publish(AvahiClient* c)
    {
        if (!group)
            group = avahi_entry_group_new(c, groupCallback, this);
        if (!group)
            return;
        avahi_entry_group_reset(group);
        if (avahi_entry_group_add_service(group, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC, AvahiPublishFlags(0),
                                          name.c_str(), "_withrottle._tcp", nullptr, nullptr,
                                          static_cast<uint16_t>(port), nullptr) < 0)
            return;
        avahi_entry_group_commit(group);
    }
};

DnsSdAnnouncer::DnsSdAnnouncer() = default;
DnsSdAnnouncer::~DnsSdAnnouncer() { withdraw(); }

bool DnsSdAnnouncer::available() { return true; }

bool DnsSdAnnouncer::announce(const std::string& name, int port)
{
    withdraw();
    auto impl = std::make_unique<Impl>();
    impl->name = name;
    impl->port = port;
    impl->poll = avahi_threaded_poll_new();
    if (!impl->poll)
        return false;
    int error = 0;
    impl->client = avahi_client_new(avahi_threaded_poll_get(impl->poll), AvahiClientFlags(0), Impl::clientCallback,
                                    impl.get(), &error);
    if (!impl->client || avahi_threaded_poll_start(impl->poll) < 0) {
        if (impl->client)
            avahi_client_free(impl->client);
        avahi_threaded_poll_free(impl->poll);
        return false;
    }
    d = std::move(impl);
    return true;
}

void DnsSdAnnouncer::withdraw()
{
    if (!d)
        return;
    avahi_threaded_poll_stop(d->poll);
    avahi_client_free(d->client);  // frees its entry group too
    avahi_threaded_poll_free(d->poll);
    d.reset();
}

bool DnsSdAnnouncer::announcing() const { return d != nullptr; }

#else

struct DnsSdAnnouncer::Impl {};
DnsSdAnnouncer::DnsSdAnnouncer() = default;
DnsSdAnnouncer::~DnsSdAnnouncer() = default;
bool DnsSdAnnouncer::available() { return false; }
bool DnsSdAnnouncer::announce(const std::string&, int) { return false; }
void DnsSdAnnouncer::withdraw() {}
bool DnsSdAnnouncer::announcing() const { return false; }

#endif

}  // namespace withrottle
