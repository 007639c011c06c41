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

const std::size_t kGranule = 8;
const std::size_t kClasses = 33;  // sizes up to 256 bytes
const std::size_t kSlabBytes = 256 * 1024;
const std::size_t kBatch = 1024;         // nodes moved between a thread and the depot at a time
const std::size_t kMaxCached = 1 << 17;  // free nodes a thread keeps per size before giving back

struct FreeNode {
  FreeNode* next;
};

// Plain data without initialisers, so that a thread's lists need no construction on first use.
// A size's memory comes from its free list first and then from the unused end of the slab that
// it took last (fresh memory in address order, without a list to build).
struct List {
  FreeNode* head;
  std::size_t count;
  char* fresh;
  char* freshEnd;

  void push(FreeNode* n) {
    n->next = head;
    head = n;
    ++count;
  }
  FreeNode* pop() {
    FreeNode* n = head;
    head = n->next;
    --count;
    // The next node handed out is most likely this one's successor: fetch it meanwhile.
    if (head) __builtin_prefetch(head, 1);
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

Depot& depot() {
  static Depot* d = new Depot;
  return *d;
}

// Per-thread lists: plain data, usable until the thread's very end.
struct ThreadLists {
  List lists[kClasses];
  bool flushed;
};
thread_local ThreadLists t_lists;

__attribute__((noinline)) void giveBack(List& from, std::size_t classIndex, std::size_t count) {
  Depot& d = depot();
  std::lock_guard<std::mutex> lock(d.mutex);
  List& to = d.lists[classIndex];
  for (std::size_t i = 0; i < count && from.head; ++i) to.push(from.pop());
}

// Hands the thread's free nodes, and the unused rest of its slabs, to the depot when the thread
// ends.
struct ThreadExit {
  ~ThreadExit() {
    for (std::size_t c = 1; c < kClasses; ++c) {
      List& list = t_lists.lists[c];
      const std::size_t size = c * kGranule;
      for (; list.fresh && list.fresh + size <= list.freshEnd; list.fresh += size)
        list.push(reinterpret_cast<FreeNode*>(list.fresh));
      giveBack(list, c, list.count);
    }
    t_lists.flushed = true;
  }
};
thread_local ThreadExit t_exit;

// Makes the thread hand its lists to the depot when it ends: called before a thread's first use
// of its lists, whether it takes a node or gives one back first.
__attribute__((noinline)) void registerThreadExit() { (void)&t_exit; }

// Takes nodes from the depot, or else a new slab; returns a node of the size.
__attribute__((noinline)) void* refill(List& list, std::size_t classIndex) {
  registerThreadExit();
  {
    Depot& d = depot();
    std::lock_guard<std::mutex> lock(d.mutex);
    List& from = d.lists[classIndex];
    for (std::size_t i = 0; i < kBatch && from.head; ++i) list.push(from.pop());
  }
  if (list.head) return list.pop();
  char* slab = static_cast<char*>(::operator new(kSlabBytes));
  {
    Depot& d = depot();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.slabs.push_back(slab);
  }
  const std::size_t size = classIndex * kGranule;
  list.fresh = slab + size;
  list.freshEnd = slab + kSlabBytes;
  return slab;
}

}  // namespace

void* allocate(std::size_t size) {
  const std::size_t c = (size + kGranule - 1) / kGranule;
  if (c >= kClasses || c == 0) return ::operator new(size);
  List& list = t_lists.lists[c];
  if (list.head) return list.pop();
  const std::size_t rounded = c * kGranule;
  if (list.fresh && list.fresh + rounded <= list.freshEnd) {
    void* p = list.fresh;
    list.fresh += rounded;
    return p;
  }
  return refill(list, c);
}

void deallocate(void* p, std::size_t size) noexcept {
  if (!p) return;
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
  if (!list.head && !list.fresh) registerThreadExit();
  n->next = list.head;
  list.head = n;
  if (++list.count > kMaxCached) giveBack(list, c, kMaxCached / 2);
}

std::size_t sharedFreeNodes() {
  Depot& d = depot();
  std::lock_guard<std::mutex> lock(d.mutex);
  std::size_t count = 0;
  for (const List& list : d.lists) count += list.count;
  return count;
}

#else

void* allocate(std::size_t size) { return ::operator new(size); }

void deallocate(void* p, std::size_t) noexcept { ::operator delete(p); }

std::size_t sharedFreeNodes() { return 0; }

#endif

}  // namespace node_pool
