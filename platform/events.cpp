// events.cpp -- the input queue: posts from any thread, takes on one
#include "platform/events.h"

void EventQueue::Post(InputEvent event) {
    event.time = tickCount_ ? tickCount_() : 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        queue_.push_back(event);
    }
    changed_.notify_all();
}

void EventQueue::PostQuit(int exitCode) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quitPending_ = true;
        quitCode_ = exitCode;
    }
    changed_.notify_all();
}

bool EventQueue::Take(InputEvent& event, int& exitCode) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return quitPending_ || !queue_.empty(); });
    if (quitPending_) {
        quitPending_ = false;
        exitCode = quitCode_;
        return false;
    }
    event = queue_.front();
    queue_.pop_front();
    return true;
}

bool EventQueue::Poll(InputEvent& event) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (quitPending_ || queue_.empty()) return false;
    event = queue_.front();
    queue_.pop_front();
    return true;
}

void EventQueue::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.clear();
    quitPending_ = false;
    quitCode_ = 0;
}
