// XPath selections, evaluated by pugixml on a mirror of the tree that is kept until the next
// change to any tree.
#include "DomNode.h"

namespace xmldom {

namespace {

// Builds the pugixml copy of the tree below `root`, mapping the nodes both ways.
void buildMirror(DomNode* root, Mirror& mirror) {
  mirror.doc.reset();
  mirror.toDom.clear();
  mirror.toPugi.clear();
  struct Item {
    DomNode* from;
    pugi::xml_node to;
  };
  std::vector<Item> stack;
  const auto add = [&](DomNode* node, pugi::xml_node parent) {
    pugi::xml_node made;
    switch (node->type()) {
      case NODE_ELEMENT:
        made = parent.append_child(node->name().c_str());
        for (const auto& a : node->attributes()) {
          made.append_attribute(a.first.c_str()) = a.second.c_str();
        }
        stack.push_back({node, made});
        break;
      case NODE_TEXT:
        made = parent.append_child(pugi::node_pcdata);
        made.set_value(node->value().c_str());
        break;
      default:
        made = parent.append_child(pugi::node_cdata);
        made.set_value(node->value().c_str());
        break;
    }
    mirror.toDom[made.internal_object()] = node;
    mirror.toPugi[node] = made;
  };
  if (root->type() == NODE_DOCUMENT) {
    mirror.toDom[mirror.doc.internal_object()] = root;
    mirror.toPugi[root] = mirror.doc;
    stack.push_back({root, mirror.doc});
  } else {
    add(root, mirror.doc);
  }
  while (!stack.empty()) {
    Item item = stack.back();
    stack.pop_back();
    for (DomNode* child : item.from->children()) add(child, item.to);
  }
}

}  // namespace

HRESULT DomNode::select(BSTR query, std::vector<DomNode*>& found) {
  found.clear();
  const std::string expression = com::fromBstr(query);
  DomNode* root = this;
  while (root->parent_ != nullptr) root = root->parent_;
  if (!root->mirror_) root->mirror_ = std::make_unique<Mirror>();
  Mirror& mirror = *root->mirror_;
  if (mirror.generation != treeGeneration() || mirror.toPugi.count(this) == 0) {
    buildMirror(root, mirror);
    mirror.generation = treeGeneration();
  }
  pugi::xpath_node_set nodes;
  try {
    pugi::xpath_query compiled(expression.c_str());
    if (!compiled) {
      return fail(E_FAIL, "Invalid XPath expression \"" + expression + "\": " + compiled.result().description());
    }
    if (compiled.return_type() != pugi::xpath_type_node_set) {
      return fail(E_FAIL, "The XPath expression \"" + expression + "\" does not select nodes");
    }
    nodes = compiled.evaluate_node_set(mirror.toPugi[this]);
  } catch (const pugi::xpath_exception& e) {
    return fail(E_FAIL, "Invalid XPath expression \"" + expression + "\": " + e.what());
  }
  nodes.sort();
  for (const pugi::xpath_node& n : nodes) {
    if (!n.node() || n.attribute()) continue;
    const auto it = mirror.toDom.find(n.node().internal_object());
    if (it != mirror.toDom.end() && it->second->type() != NODE_DOCUMENT) found.push_back(it->second);
  }
  return S_OK;
}

HRESULT DomNode::selectNodes(BSTR query, IXMLDOMNodeList** nodes) {
  if (nodes == nullptr) return E_POINTER;
  *nodes = nullptr;
  std::vector<DomNode*> found;
  if (HRESULT hr = select(query, found); FAILED(hr)) return hr;
  return makeNodeList(found, nodes);
}

HRESULT DomNode::selectSingleNode(BSTR query, IXMLDOMNode** node) {
  if (node == nullptr) return E_POINTER;
  *node = nullptr;
  std::vector<DomNode*> found;
  if (HRESULT hr = select(query, found); FAILED(hr)) return hr;
  if (found.empty()) return S_FALSE;
  *node = found.front()->asNode();
  (*node)->AddRef();
  return S_OK;
}

}  // namespace xmldom
