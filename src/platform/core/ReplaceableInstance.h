#pragma once
// The shared instance of a platform service that tests replace with a recording fake: the real
// one, made on first use and kept to the end of the process, unless a test has put its own in.
// Safe to ask for from any thread.

#include <atomic>

namespace quorvel {

template <typename Service> class ReplaceableInstance final {
public:
    Service& get()
    {
        static Service real;
        if (Service* replaced = replacement.load())
            return *replaced;
        return real;
    }
    // The service is not owned; nullptr returns to the real one.
    void replace(Service* service) { replacement.store(service); }

private:
    std::atomic<Service*> replacement { nullptr };
};

} // namespace quorvel
