#pragma once
// Hands what the reader threads read over to the GUI thread, in arrival order.
//
// Readers push items; the first item of an empty queue posts one queued call to the receiver's
// thread, which takes everything queued so far in one swap. The queue is bounded: a reader that
// finds it full waits for room, but that wait ends as soon as the reader is asked to stop, so the
// GUI thread never waits for a reader that waits for it.

#include "session/FeedbackLine.h"

#include <QObject>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

enum class SrcpChannel { Command, Info, Poll };

struct HandOverItem {
    enum class Kind { Line, ReaderEnded };
    Kind kind = Kind::Line;
    SrcpChannel channel = SrcpChannel::Command;
    std::string line;                        // the line read, or why the reader ended
    std::vector<FeedbackContact> contacts;   // decoded feedback of the line
    bool closedByPeer = false;               // ReaderEnded: the connection was closed or broke
};

class LineHandOver {
public:
    static constexpr std::size_t DefaultCapacity = 1 << 16;

    // `post` is called (from a reader thread) when the queue becomes non-empty; it must arrange
    // for drain() to run on the GUI thread.
    explicit LineHandOver(std::function<void()> post, std::size_t capacity = DefaultCapacity);

    // Reader side. Waits while the queue is full; returns false without queueing when `stop` is
    // or becomes set (wake such a wait with wakeAll()).
    bool push(HandOverItem item, const std::atomic<bool>& stop);
    void wakeAll();

    // GUI side: takes every queued item, in order.
    std::deque<HandOverItem> take();
    std::size_t size() const;

private:
    std::function<void()> m_post;
    std::size_t m_capacity;
    mutable std::mutex m_mutex;
    std::condition_variable m_room;
    std::deque<HandOverItem> m_items;
};
