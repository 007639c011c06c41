// Memory for the nodes of class-file trees.
//
// A parse makes and a released tree frees thousands of small nodes at a time. The pool keeps
// freed nodes in per-thread lists by size (8-byte steps up to 256 bytes) and hands them out
// again, and carves new nodes from large slabs in address order; a thread's lists go to a shared
// depot when the thread ends, so memory freed on one thread serves the others. Memory taken for
// nodes is kept for reuse, not given back. Under AddressSanitizer nodes come straight from
// operator new, so that misuse is still caught.
#pragma once

#include <cstddef>

namespace node_pool {
void* allocate(std::size_t size);
void deallocate(void* p, std::size_t size) noexcept;
// The free nodes that the threads have handed to the shared depot (0 without the pool).
std::size_t sharedFreeNodes();
}  // namespace node_pool
