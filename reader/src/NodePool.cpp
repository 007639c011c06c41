#include "NodePool.h"

#include <mutex>
#include <new>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define KAVRIN_NODE_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KAVRIN_NODE_POOL 0
#endif
#endif
#ifndef KAVRIN_NODE_POOL
#define KAVRIN_NODE_POOL 1
#endif

namespace node_pool {

#if KAVRIN_NODE_POOL

namespace {

const std::size_t kGranule = 16;
const std::size_t kClasses = 17;          // sizes up to 256 bytes
const std::size_t kSlabBytes = 64 * 1024;
const std::size_t kBatch = 256;           // nodes moved between a thread and the depot at a time
const std::size_t kMaxCached = 4096;      // nodes a thread keeps per size before giving back

struct FreeNode {
    FreeNode* next;
};

// Plain data without initialisers, so that a thread's lists need no construction on first use.
struct List {
    FreeNode* head;
    std::size_t count;

    void push(FreeNode* n)
    {
        n->next = head;
        head = n;
        ++count;
    }
    FreeNode* pop()
    {
        FreeNode* n = head;
        head = n->next;
        --count;
        return n;
    }
};

// Free nodes shared by all threads. Never destroyed: nodes may be freed during the program's
// exit, after every other object has gone.
struct Depot {
    std::mutex mutex;
    List lists[kClasses] = {};
    std::vector<void*> slabs;  // every block taken for nodes, kept for reuse
};

Depot& depot()
{
    static Depot* d = new Depot;
    return *d;
}

// Per-thread lists: plain data, usable until the thread's very end.
struct ThreadLists {
    List lists[kClasses];
    bool flushed;
};
thread_local ThreadLists t_lists;

__attribute__((noinline)) void giveBack(List& from, std::size_t classIndex, std::size_t count)
{
    Depot& d = depot();
    std::lock_guard<std::mutex> lock(d.mutex);
    List& to = d.lists[classIndex];
    for (std::size_t i = 0; i < count && from.head; ++i)
        to.push(from.pop());
}

// Hands the thread's free nodes to the depot when the thread ends.
struct ThreadExit {
    ~ThreadExit()
    {
        for (std::size_t c = 0; c < kClasses; ++c)
            giveBack(t_lists.lists[c], c, t_lists.lists[c].count);
        t_lists.flushed = true;
    }
};
thread_local ThreadExit t_exit;

// Makes the thread hand its lists to the depot when it ends: called before a thread's first use
// of its lists, whether it takes a node or gives one back first.
__attribute__((noinline)) void registerThreadExit()
{
    (void)&t_exit;
}

__attribute__((noinline)) void refill(List& list, std::size_t classIndex)
{
    registerThreadExit();
    {
        Depot& d = depot();
        std::lock_guard<std::mutex> lock(d.mutex);
        List& from = d.lists[classIndex];
        for (std::size_t i = 0; i < kBatch && from.head; ++i)
            list.push(from.pop());
    }
    if (list.head)
        return;
    const std::size_t size = classIndex * kGranule;
    char* slab = static_cast<char*>(::operator new(kSlabBytes));
    {
        Depot& d = depot();
        std::lock_guard<std::mutex> lock(d.mutex);
        d.slabs.push_back(slab);
    }
    for (std::size_t off = 0; off + size <= kSlabBytes; off += size)
        list.push(reinterpret_cast<FreeNode*>(slab + off));
}

}  // namespace

void* allocate(std::size_t size)
{
    const std::size_t c = (size + kGranule - 1) / kGranule;
    if (c >= kClasses || c == 0)
        return ::operator new(size);
    List& list = t_lists.lists[c];
    if (!list.head)
        refill(list, c);
    return list.pop();
}

void deallocate(void* p, std::size_t size) noexcept
{
    if (!p)
        return;
    const std::size_t c = (size + kGranule - 1) / kGranule;
    if (c >= kClasses || c == 0) {
        ::operator delete(p);
        return;
    }
    FreeNode* n = static_cast<FreeNode*>(p);
    if (t_lists.flushed) {
        // The thread is ending: its lists have gone to the depot already.
        Depot& d = depot();
        std::lock_guard<std::mutex> lock(d.mutex);
        d.lists[c].push(n);
        return;
    }
    List& list = t_lists.lists[c];
    if (!list.head)
        registerThreadExit();
    list.push(n);
    if (list.count > kMaxCached)
        giveBack(list, c, kMaxCached / 2);
}

std::size_t sharedFreeNodes()
{
    Depot& d = depot();
    std::lock_guard<std::mutex> lock(d.mutex);
    std::size_t count = 0;
    for (const List& list : d.lists)
        count += list.count;
    return count;
}

#else

void* allocate(std::size_t size)
{
    return ::operator new(size);
}

void deallocate(void* p, std::size_t) noexcept
{
    ::operator delete(p);
}

std::size_t sharedFreeNodes()
{
    return 0;
}

#endif

}  // namespace node_pool
