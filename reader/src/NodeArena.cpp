#include "NodeArena.h"

#include "ValueAST.h"

#include <antlr/ASTRefCount.hpp>

#include <algorithm>
#include <mutex>
#include <new>
#include <typeinfo>

namespace {

static_assert(sizeof(antlr::ASTRef) <= 16, "antlr's reference holder fits before its node");

// Block sizes by bytes of class file: with its Code attributes kept as bytes, a tree takes about
// 6 to 12 bytes of nodes per byte of its class (6.4 on the whole, the large classes taking the
// least), so a first block of 4 and further ones of 1 leave little unused.
const std::size_t kFirstBlockPerByte = 4;
const std::size_t kNextBlockPerByte = 1;
const std::size_t kMinBlock = 1024;
const std::size_t kMaxGrownBlock = 256 * 1024;

antlr::ASTRef* holderOf(const void* node) {
  return reinterpret_cast<antlr::ASTRef*>(const_cast<char*>(static_cast<const char*>(node)) - 16);
}

// Arenas released while nodes of theirs were still referred to from outside.
struct Kept {
  std::mutex mutex;
  std::vector<NodeArena*> arenas;
};

Kept& kept() {
  static Kept* k = new Kept;  // never destroyed: trees may go during the program's exit
  return *k;
}

}  // namespace

thread_local NodeArena* NodeArena::t_current = nullptr;
thread_local void* NodeArena::t_pending = nullptr;

NodeArena* NodeArena::create(std::size_t expectedBytes) {
  NodeArena* arena = new NodeArena;
  arena->m_nExpectedBytes = expectedBytes;
  arena->m_oSizes.reserve(expectedBytes / 4);
  return arena;
}

NodeArena::~NodeArena() {
  for (const Block& b : m_oBlocks) ::operator delete(b.begin);
}

NodeArena* NodeArena::makeCurrent(NodeArena* arena) {
  NodeArena* previous = t_current;
  t_current = arena;
  t_pending = nullptr;
  return previous;
}

void* NodeArena::allocateInNewBlock(std::size_t units) {
  if (units == 0 || units > kMaxUnits) return nullptr;
  const std::size_t need = kHolder + units * kUnit;
  std::size_t size = need;
  if (KAVRIN_NODE_BLOCKS) {
    // Sized by the class file when its size is known, else doubling.
    std::size_t block = m_nExpectedBytes * (m_oBlocks.empty() ? kFirstBlockPerByte : kNextBlockPerByte);
    if (m_nExpectedBytes == 0)
      block = m_oBlocks.empty()
                  ? kMinBlock
                  : std::min(kMaxGrownBlock, 2 * static_cast<std::size_t>(m_pEnd - m_oBlocks.back().begin));
    size = std::max({need, block, kMinBlock});
  }
  char* begin = static_cast<char*>(::operator new(size));
  if (!m_oBlocks.empty()) m_oBlocks.back().count = m_oSizes.size() - m_oBlocks.back().firstSize;
  m_oBlocks.push_back(Block{begin, begin + size, m_oSizes.size(), 0});
  m_pFree = begin + need;
  m_pEnd = begin + size;
  m_oSizes.push_back(static_cast<unsigned char>(units));
  t_pending = begin + kHolder;
  return begin + kHolder;
}

void NodeArena::placeHolder(ValueAST* node) {
  t_pending = nullptr;
  // The holder's count of one is the arena's own, never given up: antlr never deletes it.
  ::new (static_cast<void*>(holderOf(node))) antlr::ASTRef(static_cast<antlr::AST*>(node));
}

bool NodeArena::abandon(void* p) {
  NodeArena* arena = t_current;
  if (!arena) return false;
  bool ours = false;
  for (const Block& b : arena->m_oBlocks)
    ours = ours || (p >= static_cast<void*>(b.begin) && p < static_cast<void*>(b.end));
  if (!ours) return false;
  if (t_pending == p) {
    t_pending = nullptr;
    ::new (static_cast<void*>(holderOf(p))) antlr::ASTRef(nullptr);
  }
  holderOf(p)->count = 0;  // dead: skipped when the arena goes
  return true;
}

inline bool NodeArena::contains(const void* p) const {
  // The blocks are sorted by address when the arena goes. Most links lead to a node of the
  // block that the last one led to.
  if (m_oBlocks.empty()) return false;
  const Block& last = m_oBlocks[m_nLastBlock];
  if (p >= static_cast<const void*>(last.begin) && p < static_cast<const void*>(last.end)) return true;
  auto after = std::upper_bound(m_oBlocks.begin(), m_oBlocks.end(), p,
                                [](const void* q, const Block& b) { return q < static_cast<const void*>(b.begin); });
  if (after == m_oBlocks.begin()) return false;
  --after;
  if (p >= static_cast<const void*>(after->end)) return false;
  m_nLastBlock = static_cast<std::size_t>(after - m_oBlocks.begin());
  return true;
}

template <typename Visit>
void NodeArena::forEachNode(Visit visit) const {
  for (const Block& b : m_oBlocks) {
    char* slot = b.begin;
    for (std::size_t i = 0; i < b.count; ++i) {
      const std::size_t units = m_oSizes[b.firstSize + i];
      antlr::ASTRef* holder = reinterpret_cast<antlr::ASTRef*>(slot);
      if (holder->count != 0) visit(holder, reinterpret_cast<ValueAST*>(slot + kHolder));
      slot += kHolder + units * kUnit;
    }
  }
}

bool NodeArena::onlyInternalReferences(std::size_t* outward) const {
  // Every count is at least the arena's own; beyond that, the counts add up to the links
  // between the nodes exactly when nothing else refers to any of them.
  std::size_t counted = 0;
  std::size_t links = 0;
  std::size_t others = 0;
  forEachNode([&](antlr::ASTRef* holder, ValueAST* node) {
    counted += holder->count - 1;
    const antlr::AST* down = node->down.get();
    const antlr::AST* right = node->right.get();
    if (down) ++(contains(down) ? links : others);
    if (right) ++(contains(right) ? links : others);
  });
  if (outward) *outward = others;
  return counted == links;
}

void NodeArena::destroyNodes(bool linksOnlyWithin) {
  // Links within the arena are dropped without counting, all before any node goes; links to
  // nodes outside it are released by the nodes' destructors as usual. The nodes of short and
  // int values hold nothing else to release.
  const auto destroy = [](ValueAST* node) {
    if (node->down || node->right || (typeid(*node) != typeid(ShortAST) && typeid(*node) != typeid(IntAST)))
      node->~ValueAST();
  };
  if (linksOnlyWithin) {
    forEachNode([&](antlr::ASTRef*, ValueAST* node) {
      ::new (static_cast<void*>(&node->down)) antlr::RefBaseAST();
      ::new (static_cast<void*>(&node->right)) antlr::RefBaseAST();
      destroy(node);
    });
    return;
  }
  forEachNode([&](antlr::ASTRef*, ValueAST* node) {
    if (node->down && contains(node->down.get())) ::new (static_cast<void*>(&node->down)) antlr::RefBaseAST();
    if (node->right && contains(node->right.get())) ::new (static_cast<void*>(&node->right)) antlr::RefBaseAST();
  });
  forEachNode([&](antlr::ASTRef*, ValueAST* node) { destroy(node); });
}

void NodeArena::sortBlocks() {
  if (!m_oBlocks.empty()) m_oBlocks.back().count = m_oSizes.size() - m_oBlocks.back().firstSize;
  std::sort(m_oBlocks.begin(), m_oBlocks.end(), [](const Block& a, const Block& b) { return a.begin < b.begin; });
  m_nLastBlock = 0;
}

bool NodeArena::recycle() {
  if (m_oSizes.empty()) return true;
  sortBlocks();
  std::size_t outward = 0;
  if (!onlyInternalReferences(&outward)) return false;
  destroyNodes(outward == 0);
  std::size_t keep = m_oBlocks.size();
  if (KAVRIN_NODE_BLOCKS) {
    keep = 0;
    for (std::size_t i = 1; i < m_oBlocks.size(); ++i)
      if (m_oBlocks[i].end - m_oBlocks[i].begin > m_oBlocks[keep].end - m_oBlocks[keep].begin) keep = i;
  }
  for (std::size_t i = 0; i < m_oBlocks.size(); ++i)
    if (i != keep) ::operator delete(m_oBlocks[i].begin);
  if (keep < m_oBlocks.size()) {
    const Block kept{m_oBlocks[keep].begin, m_oBlocks[keep].end, 0, 0};
    m_oBlocks.assign(1, kept);
    m_pFree = kept.begin;
    m_pEnd = kept.end;
  } else {
    m_oBlocks.clear();
    m_pFree = m_pEnd = nullptr;
  }
  m_oSizes.clear();
  t_pending = nullptr;
  return true;
}

void NodeArena::release() {
  if (m_nShares.fetch_sub(1, std::memory_order_acq_rel) != 1) return;
  sortBlocks();
  std::size_t outward = 0;
  // Under the sanitizer the tree goes regardless, so that a reference that outlives it is
  // reported where it is used.
  if (!onlyInternalReferences(&outward) && KAVRIN_NODE_BLOCKS) {
    Kept& k = kept();
    std::lock_guard<std::mutex> lock(k.mutex);
    k.arenas.push_back(this);
    return;
  }
  destroyNodes(outward == 0);
  delete this;
  releaseKept();
}

void NodeArena::releaseKept() {
  Kept& k = kept();
  std::vector<NodeArena*> gone;
  {
    std::lock_guard<std::mutex> lock(k.mutex);
    if (k.arenas.empty()) return;
    auto still = std::partition(k.arenas.begin(), k.arenas.end(),
                                [](NodeArena* a) { return !a->onlyInternalReferences(nullptr); });
    gone.assign(still, k.arenas.end());
    k.arenas.erase(still, k.arenas.end());
  }
  for (NodeArena* a : gone) {
    a->destroyNodes(false);
    delete a;
  }
}

std::size_t NodeArena::keptArenas() {
  Kept& k = kept();
  std::lock_guard<std::mutex> lock(k.mutex);
  return k.arenas.size();
}
