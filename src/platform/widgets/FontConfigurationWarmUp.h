#pragma once
// Reads the desktop's font configuration on a thread of its own while the application starts.
// The toolkit reads it (dozens of XML files and the font caches) when the first control lays out
// its text, on the main thread, before the first window can be drawn; read here first, it is
// found ready. Nothing depends on the thread finishing first: the library hands one
// configuration to whichever caller completes it first, and the toolkit reads it itself otherwise.
// Destroying this object waits for the thread.

#include <thread>

namespace quorvel {

class FontConfigurationWarmUp final {
public:
    FontConfigurationWarmUp();
    ~FontConfigurationWarmUp();
    FontConfigurationWarmUp(const FontConfigurationWarmUp&) = delete;
    FontConfigurationWarmUp& operator=(const FontConfigurationWarmUp&) = delete;

private:
    std::thread reading;
};

} // namespace quorvel
