#pragma once
// The heap's free pages, handed back to the system. Building a large structure frees its
// scaffolding (growing buffers, parsed text) in the middle of the heap, where the allocator keeps
// those pages resident for reuse that may never come; after such a build they are returned.

namespace quorvel {

class FreeMemory final {
public:
    // Returns the pages that no allocation uses to the system, in every arena of the heap;
    // nothing allocated moves. Costs a walk over the heap: call it after large builds only.
    static void returnToSystem();
};

} // namespace quorvel
