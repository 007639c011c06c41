#include "ProjectSettings.h"

#include "ProxyGenerator.h"
#include "SettingsXml.h"

namespace projectsettings {

namespace {

using settingsxml::appendElement;
using settingsxml::boolAttribute;
using settingsxml::elements;
using settingsxml::firstElement;
using settingsxml::setAttribute;
using settingsxml::textAttribute;

const char* const kRoot = "KAVRIN";
const char* const kGlobalFilter = "GLOBALFILTER";
const char* const kNamesSubstituted = "NAMES_SUBSTITUTED";
const char* const kSubstitute = "SUBSTITUTE";
const char* const kModules = "MODULES";
const char* const kModule = "MODULE";
const char* const kClasses = "CLASSES";
const char* const kClass = "CLASS";
const char* const kFilter = "FILTER";
const char* const kMembers = "MEMBERS";
const char* const kMember = "MEMBER";
const char* const kLastBuild = "LAST_BUILD";
const char* const kInterface = "INTERFACE";
const char* const kDelegator = "DELEGATOR";

// The ten switches of GLOBALFILTER, in the file's order.
struct FilterSwitch {
  const char* name;
  bool GlobalFilter::*field;
};
const FilterSwitch kFilterSwitches[] = {
    {"fields_bAll", &GlobalFilter::fields_bAll},
    {"fields_bExcludeInherited", &GlobalFilter::fields_bExcludeInherited},
    {"fields_bExcludeRegular", &GlobalFilter::fields_bExcludeRegular},
    {"fields_bExcludeProtected", &GlobalFilter::fields_bExcludeProtected},
    {"fields_bExcludePrivate", &GlobalFilter::fields_bExcludePrivate},
    {"methods_bAll", &GlobalFilter::methods_bAll},
    {"methods_bExcludeInherited", &GlobalFilter::methods_bExcludeInherited},
    {"methods_bExcludeRegular", &GlobalFilter::methods_bExcludeRegular},
    {"methods_bExcludeProtected", &GlobalFilter::methods_bExcludeProtected},
    {"methods_bExcludePrivate", &GlobalFilter::methods_bExcludePrivate},
};

const char* const kUseGlobalFilter = "bUseGlobalFilter";
const char* const kIsInterfaceIml = "bIsInterfaceIml";
const char* const kIsDelegatorIml = "bIsDelegatorIml";
const char* const kIsMethodsIml = "bIsMethodsIml";
const char* const kClassPath = "strClassPath";
const char* const kType = "TYPE";
const char* const kName = "NAME";
const char* const kTo = "TO";
const char* const kFieldPrefix = "FLDPX";
const char* const kMethodPrefix = "MTHPX";

void readFilter(IXMLDOMElement* element, GlobalFilter& filter) {
  for (const FilterSwitch& s : kFilterSwitches) filter.*s.field = boolAttribute(element, s.name);
  setFieldsExcludeInherited(filter.fields_bExcludeInherited);
  setFieldsExcludeRegular(filter.fields_bExcludeRegular);
  setFieldsExcludePrivate(filter.fields_bExcludePrivate);
  setFieldsExcludeProtected(filter.fields_bExcludeProtected);
  setMethodsExcludeInherited(filter.methods_bExcludeInherited);
  setMethodsExcludeRegular(filter.methods_bExcludeRegular);
  setMethodsExcludePrivate(filter.methods_bExcludePrivate);
  setMethodsExcludeProtected(filter.methods_bExcludeProtected);
}

void readSubstitutions(IXMLDOMDocument* document, const ProjectSettingsModel& model) {
  model.substitutions->clear();
  if (IXMLDOMElementPtr names = firstElement(document, kNamesSubstituted)) {
    *model.fieldPrefix = boolAttribute(names, kFieldPrefix);
    *model.methodPrefix = boolAttribute(names, kMethodPrefix);
    for (const IXMLDOMNodePtr& child : settingsxml::children(names)) {
      IXMLDOMElementPtr substitute(child);
      if (!substitute) continue;  // text between the entries
      model.substitutions->emplace(textAttribute(substitute, kName), textAttribute(substitute, kTo));
    }
  }
  setAddFieldPrefix(*model.fieldPrefix);
  setAddMethodPrefix(*model.methodPrefix);
}

void readClass(IXMLDOMElement* element, ClassSettingsMap& classes) {
  const std::string name = textAttribute(element, kName);
  ClassSettings settings;
  if (IXMLDOMElementPtr filter = firstElement(element, kFilter)) {
    settings.bUseGlobalFilter = boolAttribute(filter, kUseGlobalFilter);
    settings.bIsInterfaceIml = boolAttribute(filter, kIsInterfaceIml);
    settings.bIsDelegatorIml = boolAttribute(filter, kIsDelegatorIml);
    settings.bIsMethodsIml = boolAttribute(filter, kIsMethodsIml);
    settings.strClassPath = textAttribute(filter, kClassPath);
    settings.TYPE = boolAttribute(filter, kType) ? 1 : 0;
  }
  for (const IXMLDOMElementPtr& member : elements(element, kMember)) {
    settings.members.insert(textAttribute(member, kName));
  }
  classes.emplace(CString(name), std::move(settings));
}

void readNames(IXMLDOMElement* parent, const char* tag, ClassNameSet& names) {
  for (const IXMLDOMElementPtr& element : elements(parent, tag)) names.insert(settingsxml::text(element));
}

void readLastBuild(IXMLDOMDocument* document, const ProjectSettingsModel& model) {
  if (IXMLDOMElementPtr lastBuild = firstElement(document, kLastBuild)) {
    readNames(lastBuild, kClass, *model.lastBuildClasses);
    readNames(lastBuild, kInterface, *model.lastBuildInterfaces);
    readNames(lastBuild, kDelegator, *model.lastBuildDelegators);
  }
}

void appendNames(IXMLDOMDocument* document, IXMLDOMElement* parent, const char* tag, const ClassNameSet& names) {
  for (const std::string& name : names) settingsxml::appendText(document, appendElement(document, parent, tag), name);
}

}  // namespace

std::string settingsPath(const std::string& projectFullName) {
  const std::string::size_type dsp = projectFullName.rfind(".dsp");
  return (dsp == std::string::npos ? projectFullName : projectFullName.substr(0, dsp)) + ".jniprj";
}

bool load(const std::string& path, const ProjectSettingsModel& model) {
  model.modules->clear();
  model.classSettings->clear();
  *model.globalFilter = GlobalFilter();

  IXMLDOMDocumentPtr document = settingsxml::newDocument();
  const settingsxml::LoadResult loaded = settingsxml::loadFile(document, path);
  if (loaded.status == settingsxml::LoadStatus::Missing) return false;
  if (loaded.status == settingsxml::LoadStatus::Unreadable) {
    com::raiseError(HRESULT_FROM_WIN32(ERROR_INVALID_DATA),
                    "The project settings file " + path + " cannot be read: " + loaded.problem);
  }

  try {
    IXMLDOMElementPtr filter = firstElement(document, kGlobalFilter);
    if (!filter) return true;  // nothing further is read without the filter
    readFilter(filter, *model.globalFilter);
    readSubstitutions(document, model);
    for (const IXMLDOMElementPtr& module : elements(document, kModule)) {
      const SHORT type = settingsxml::shortAttribute(module, kType);
      model.modules->emplace(CString(textAttribute(module, kName)), type);
    }
    if (IXMLDOMElementPtr classes = firstElement(document, kClasses)) {
      for (const IXMLDOMElementPtr& element : elements(classes, kClass)) readClass(element, *model.classSettings);
    }
    readLastBuild(document, model);
  } catch (const _com_error& error) {
    // The names of the last build still tell Generate which outputs to remove.
    try {
      readLastBuild(document, model);
    } catch (const _com_error&) {
    }
    com::raiseError(error.Error(), "The project settings file " + path + " cannot be read: " + com::describe(error));
  }
  return true;
}

void save(const std::string& path, const ProjectSettingsModel& model) {
  IXMLDOMDocumentPtr document = settingsxml::newDocument();
  IXMLDOMElementPtr root;
  com::check(document->createElement(_bstr_t(kRoot), &root));
  com::check(document->putref_documentElement(root));

  IXMLDOMElementPtr filter = appendElement(document, root, kGlobalFilter);
  for (const FilterSwitch& s : kFilterSwitches) setAttribute(filter, s.name, _variant_t(model.globalFilter->*s.field));

  IXMLDOMElementPtr names = appendElement(document, root, kNamesSubstituted);
  setAttribute(names, kFieldPrefix, _variant_t(*model.fieldPrefix));
  setAttribute(names, kMethodPrefix, _variant_t(*model.methodPrefix));
  for (const auto& substitution : *model.substitutions) {
    IXMLDOMElementPtr substitute = appendElement(document, names, kSubstitute);
    setAttribute(substitute, kName, _variant_t(substitution.first));
    setAttribute(substitute, kTo, _variant_t(substitution.second));
  }

  IXMLDOMElementPtr modules = appendElement(document, root, kModules);
  for (const auto& module : *model.modules) {
    IXMLDOMElementPtr element = appendElement(document, modules, kModule);
    setAttribute(element, kType, _variant_t(static_cast<SHORT>(module.second)));
    setAttribute(element, kName, _variant_t(module.first.str()));
  }

  IXMLDOMElementPtr classes = appendElement(document, root, kClasses);
  for (const auto& entry : *model.classSettings) {
    const ClassSettings& settings = entry.second;
    IXMLDOMElementPtr element = appendElement(document, classes, kClass);
    setAttribute(element, kName, _variant_t(entry.first.str()));
    IXMLDOMElementPtr filterElement = appendElement(document, element, kFilter);
    setAttribute(filterElement, kUseGlobalFilter, _variant_t(settings.bUseGlobalFilter));
    setAttribute(filterElement, kIsInterfaceIml, _variant_t(settings.bIsInterfaceIml));
    setAttribute(filterElement, kIsDelegatorIml, _variant_t(settings.bIsDelegatorIml));
    setAttribute(filterElement, kIsMethodsIml, _variant_t(settings.bIsMethodsIml));
    setAttribute(filterElement, kClassPath, _variant_t(settings.strClassPath));
    setAttribute(filterElement, kType, _variant_t(settings.TYPE != 0));
    IXMLDOMElementPtr members = appendElement(document, element, kMembers);
    for (const std::string& member : settings.members) {
      setAttribute(appendElement(document, members, kMember), kName, _variant_t(member));
    }
  }

  IXMLDOMElementPtr lastBuild = appendElement(document, root, kLastBuild);
  appendNames(document, lastBuild, kClass, *model.lastBuildClasses);
  appendNames(document, lastBuild, kInterface, *model.lastBuildInterfaces);
  appendNames(document, lastBuild, kDelegator, *model.lastBuildDelegators);

  settingsxml::save(document, path);
}

}  // namespace projectsettings
