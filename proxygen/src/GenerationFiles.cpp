#include "GenerationFiles.h"

#include "CppNames.h"
#include "GenerationLog.h"
#include "TypeMapping.h"

namespace {
thread_local GenerationFiles* currentGeneration = nullptr;
}  // namespace

GenerationFiles::GenerationFiles(const std::set<std::string>& proxies, const std::set<std::string>& impls,
                                 const std::set<std::string>& delegators) {
  nameKind(proxies, proxySuffix);
  nameKind(impls, implSuffix);
  nameKind(delegators, delegatorSuffix);
}

void GenerationFiles::nameKind(const std::set<std::string>& classes, const std::string& suffix) {
  // The names the classes give by their own, and the first class of each.
  std::map<std::string, std::string> owners;
  for (const std::string& name : classes) owners.emplace(generatedFileStem(name) + suffix, name);
  std::set<std::string> taken;
  for (const auto& owner : owners) taken.insert(owner.first);
  for (const std::string& name : classes) {
    const std::string stem = generatedFileStem(name);
    const std::string given = stem + suffix;
    const std::string& owner = owners[given];
    if (owner == name) continue;
    std::string own;
    for (unsigned number = 2; own.empty() || taken.count(own) != 0; ++number)
      own = stem + "_" + std::to_string(number) + suffix;
    taken.insert(own);
    m_ownNames[{suffix, name}] = own;
    m_renamedLines.push_back(kLogFileNameTaken + given + ".h/.cpp are " + owner + "'s; " + name + " is written to " +
                             own + ".h/.cpp");
  }
}

std::string GenerationFiles::fileStem(const std::string& dottedName, const std::string& suffix) const {
  const auto own = m_ownNames.find({suffix, dottedName});
  return own != m_ownNames.end() ? own->second : generatedFileStem(dottedName) + suffix;
}

bool GenerationFiles::claim(const std::string& path) { return m_claimedPaths.insert(path).second; }

GenerationFiles* publishedGeneration() { return currentGeneration; }

PublishedGeneration::PublishedGeneration(GenerationFiles& files) : m_pPrevious(currentGeneration) {
  currentGeneration = &files;
}

PublishedGeneration::~PublishedGeneration() { currentGeneration = m_pPrevious; }
