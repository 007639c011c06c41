// The names of the files of one generation, and the record of the files it has written.
//
// A class's files are named after it: the dotted name with every '.' made '_' (generatedFileStem),
// then the suffix of their kind ("JNIProxy", "JNIImpl", "JNIDelegator"), then ".h" and ".cpp".
// Two classes can give one name that way - com.foo_bar.Baz and com.foo.bar_Baz both give
// com_foo_bar_BazJNIProxy - and the later class would overwrite the files of the other. Within a
// generation every class of a kind therefore gets a name of its own: the first class with a name
// (in the generation's order, the byte-wise order of the class names) keeps it, and each later
// one takes the name's stem followed by "_2", "_3", ... , the first that no class of the kind
// names and none has taken. The names follow from the classes alone, so the Generate command,
// which adds the files to the project and deletes those of the last build, and the run, which
// writes them, agree.
#pragma once

#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

class GenerationFiles {
 public:
  // A generation without classes: every class has the name it is given by its own.
  GenerationFiles() = default;
  // The dotted names of the classes that get a proxy, an interface implementation and a
  // delegator.
  GenerationFiles(const std::set<std::string>& proxies, const std::set<std::string>& impls,
                  const std::set<std::string>& delegators);

  // The name of a class's files of a kind without ".h" or ".cpp": generatedFileStem of the
  // dotted name followed by the suffix (proxySuffix, implSuffix, delegatorSuffix), or the name of
  // its own that the class got.
  std::string fileStem(const std::string& dottedName, const std::string& suffix) const;
  // One line for the generation log per class whose files got a name of their own:
  // "FILE NAME TAKEN: com_foo_bar_BazJNIProxy.h/.cpp are com.foo_bar.Baz's; com.foo.bar_Baz is
  // written to com_foo_bar_Baz_2JNIProxy.h/.cpp".
  const std::vector<std::string>& renamedLines() const { return m_renamedLines; }

  // Records that the generation writes the file at the path; false when it has written it
  // already, so that no file of a generation is written twice.
  bool claim(const std::string& path);

 private:
  void nameKind(const std::set<std::string>& classes, const std::string& suffix);

  // (suffix, dotted name) to the name of its own.
  std::map<std::pair<std::string, std::string>, std::string> m_ownNames;
  std::vector<std::string> m_renamedLines;
  std::set<std::string> m_claimedPaths;
};

// The generation under way on this thread, or null. The writers name their files through it
// (ProxyGenerator::outputStem), "defproxies.h" its include lines, and every generated file
// claims its path from it (GeneratedFile). Without one every class has the name it is given by
// its own and nothing is checked.
GenerationFiles* publishedGeneration();

// Publishes a generation on this thread while it lives (the one published before comes back
// afterwards).
class PublishedGeneration {
 public:
  explicit PublishedGeneration(GenerationFiles& files);
  ~PublishedGeneration();
  PublishedGeneration(const PublishedGeneration&) = delete;
  PublishedGeneration& operator=(const PublishedGeneration&) = delete;

 private:
  GenerationFiles* m_pPrevious;
};
