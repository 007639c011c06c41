// Values worked out from the class repository's trees, kept for later use while the repository
// keeps those trees: under one cache generation (ClassRepository::cacheGeneration) a tree found
// again is the tree a value was worked out from, so the value still holds; another generation
// drops everything kept. Shared by the threads that generate (each call takes the lock).
#pragma once

#include <antlr/AST.hpp>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

template <typename Key, typename Value>
class KeptByTree {
 public:
  // The value kept under the key when it was worked out from this tree in this generation.
  std::shared_ptr<const Value> find(const Key& key, const antlr::AST* tree, uint64_t generation) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (generation != m_generation) {
      m_values.clear();
      m_generation = generation;
    }
    const auto found = m_values.find(key);
    if (found == m_values.end() || found->second.first != tree) return nullptr;
    return found->second.second;
  }

  // Keeps the value worked out from the tree in the generation (nothing once another began).
  void store(const Key& key, const antlr::AST* tree, uint64_t generation, std::shared_ptr<const Value> value) {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (generation == m_generation) m_values[key] = std::make_pair(tree, std::move(value));
  }

 private:
  std::mutex m_mutex;
  uint64_t m_generation = 0;
  // The tree is only compared: under one generation the repository keeps it alive.
  std::map<Key, std::pair<const antlr::AST*, std::shared_ptr<const Value>>> m_values;
};
