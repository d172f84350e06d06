// Live engine objects by key. Every handle or array that crosses the engine's
// boundary is looked up here before use, so a zero, stale, repeated or
// foreign value is refused instead of being dereferenced.
#ifndef TESK_ENGINE_HANDLE_REGISTRY_H
#define TESK_ENGINE_HANDLE_REGISTRY_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <unordered_map>

namespace tesk {

// A fresh nonzero handle, never handed out before in this process.
std::uint64_t NextHandle();

template <typename Key, typename T>
class Registry {
public:
    void Add(Key key, std::unique_ptr<T> object) {
        std::lock_guard<std::mutex> lock(mutex_);
        live_[key] = std::move(object);
    }
    // The object under key, or null. Callers do not overlap calls on one
    // object, so the pointer stays valid for the call.
    T* Find(Key key) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = live_.find(key);
        return it == live_.end() ? nullptr : it->second.get();
    }
    std::unique_ptr<T> Take(Key key) {
        std::lock_guard<std::mutex> lock(mutex_);
        auto it = live_.find(key);
        if (it == live_.end()) return nullptr;
        std::unique_ptr<T> object = std::move(it->second);
        live_.erase(it);
        return object;
    }

private:
    std::mutex mutex_;
    std::unordered_map<Key, std::unique_ptr<T>> live_;
};

// The process-wide registry of one kind. Never destroyed: objects still alive
// at exit are left to the operating system rather than released after the
// runtime's own statics may already be gone.
template <typename Key, typename T>
Registry<Key, T>& RegistryOf() {
    static auto* registry = new Registry<Key, T>();
    return *registry;
}

}  // namespace tesk

#endif
