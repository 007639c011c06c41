// Memory for the nodes of one parsed class-file tree.
//
// A parse makes thousands of small nodes that live and die together. While a parse runs on a
// thread, the nodes made on that thread come from the parse's arena: each node is carved from a
// large block, with antlr's reference holder (ASTRef) placed just before it instead of being a
// heap object of its own. The arena holds one permanent count on every holder, so antlr never
// deletes one of these nodes or holders; references still count as usual.
//
// The arena is shared by the parser and by the root of the tree it made; when the last share
// goes, the whole tree goes at once. That is only sound when nothing outside the arena still
// refers to one of its nodes: before freeing anything the arena checks each node's count against
// the links that its own nodes hold. A tree whose nodes are still referred to from outside (an
// interior node kept after its root was dropped, a subtree grafted into another tree) is kept
// and checked again whenever a later arena goes. Under AddressSanitizer every node is a block of
// its own and the tree is freed regardless, so that a reference outliving its tree is reported
// at its next use.
#pragma once

#if defined(__SANITIZE_ADDRESS__)
#define KAVRIN_NODE_BLOCKS 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KAVRIN_NODE_BLOCKS 0
#endif
#endif
#ifndef KAVRIN_NODE_BLOCKS
#define KAVRIN_NODE_BLOCKS 1
#endif

#include <atomic>
#include <cstddef>
#include <vector>

class ValueAST;
namespace antlr {
class AST;
struct ASTRef;
}  // namespace antlr

class NodeArena {
 public:
  // A new arena with one share, held by the caller. `expectedBytes` sizes its first block
  // (the size of the class file to be parsed, or 0).
  static NodeArena* create(std::size_t expectedBytes);
  void retain() { m_nShares.fetch_add(1, std::memory_order_relaxed); }
  // Gives up one share; the last frees the tree (or keeps it while it is referred to).
  void release();
  // Whether nodes may still be made in the arena: some share of it is held.
  bool takesNodes() const { return m_nShares.load(std::memory_order_acquire) > 0; }
  // For an arena of nodes made only to be dropped again: frees every node at once and keeps the
  // largest block for the nodes to come. False, with nothing freed, while a node of the arena is
  // still referred to from outside it (the caller then releases the arena).
  bool recycle();

  // Makes `arena` (or none) the one that nodes made on this thread come from; returns the
  // previous one.
  static NodeArena* makeCurrent(NodeArena* arena);

  // --- For ValueAST ------------------------------------------------------------------------
  // Memory for a node of `size` bytes from the current arena, or null when there is none.
  static void* allocate(std::size_t size) {
    NodeArena* arena = t_current;
    if (!arena) return nullptr;
    const std::size_t units = (size + kUnit - 1) / kUnit;
    const std::size_t need = kHolder + units * kUnit;
    char* slot = arena->m_pFree;
    if (KAVRIN_NODE_BLOCKS && units <= kMaxUnits && static_cast<std::size_t>(arena->m_pEnd - slot) >= need) {
      arena->m_pFree = slot + need;
      arena->m_oSizes.push_back(static_cast<unsigned char>(units));
      t_pending = slot + kHolder;
      return slot + kHolder;
    }
    return arena->allocateInNewBlock(units);
  }
  // Called by every ValueAST constructor: when `node` is the last node allocate() gave on this
  // thread, places its reference holder and takes the arena's permanent count on it.
  static void adopt(ValueAST* node) {
    if (t_pending == node) placeHolder(node);
  }
  // True when `p` is arena memory of a node whose construction failed: the node is marked
  // dead and its memory stays with the arena.
  static bool abandon(void* p);

  // Arenas kept because nodes of theirs were still referred to when they were released.
  static std::size_t keptArenas();

 private:
  // The reference holder sits in the 16 bytes before its node; nodes take 8-byte units.
  static constexpr std::size_t kHolder = 16;
  static constexpr std::size_t kUnit = 8;
  static constexpr std::size_t kMaxUnits = 255;

  // A block of node memory: `count` nodes, whose sizes start at m_oSizes[firstSize].
  struct Block {
    char* begin;
    char* end;
    std::size_t firstSize;
    std::size_t count;
  };

  NodeArena() = default;
  ~NodeArena();
  NodeArena(const NodeArena&) = delete;
  NodeArena& operator=(const NodeArena&) = delete;

  static void placeHolder(ValueAST* node);
  void* allocateInNewBlock(std::size_t units);
  bool contains(const void* p) const;
  template <typename Visit>
  void forEachNode(Visit visit) const;
  // Whether the nodes are referred to by the arena and each other alone; `outward` counts their
  // links to nodes elsewhere.
  bool onlyInternalReferences(std::size_t* outward) const;
  void destroyNodes(bool linksOnlyWithin);
  // Counts the nodes of the last block and orders the blocks by address, for contains().
  void sortBlocks();
  static void releaseKept();

  static thread_local NodeArena* t_current;
  static thread_local void* t_pending;

  std::atomic<int> m_nShares{1};
  std::size_t m_nExpectedBytes = 0;
  std::vector<Block> m_oBlocks;
  mutable std::size_t m_nLastBlock = 0;
  char* m_pFree = nullptr;
  char* m_pEnd = nullptr;
  // The size of every node in allocation order, in 8-byte units.
  std::vector<unsigned char> m_oSizes;
};
