// The extended-object registry and the base class's Clone.
#include "rastova/io/vector/RVExtendedObject.h"

#include <map>
#include <memory>
#include <typeinfo>

namespace rv {

namespace {

std::map<std::string, TRVExtendedObjectFactory>* Registry = nullptr;

}  // namespace

void CreateExtendedObjectRegistry() {
  if (!Registry) Registry = new std::map<std::string, TRVExtendedObjectFactory>();
}

void FreeExtendedObjectRegistry() {
  delete Registry;
  Registry = nullptr;
}

void RegisterExtendedObjectClass(const std::string& Name, TRVExtendedObjectFactory Factory) {
  if (Registry && Factory) (*Registry)[Name] = std::move(Factory);
}

TRVExtendedObject* CreateExtendedObjectByName(const std::string& Name) {
  if (!Registry) return nullptr;
  auto it = Registry->find(Name);
  return it == Registry->end() ? nullptr : it->second();
}

std::string GetExtendedObjectName(const TRVExtendedObject* Object) {
  if (!Registry || !Object) return {};
  // A class is known by the dynamic type of the instance its factory makes.
  for (const auto& [name, factory] : *Registry) {
    std::unique_ptr<TRVExtendedObject> probe(factory());
    const TRVExtendedObject* made = probe.get();
    if (made && typeid(*made) == typeid(*Object)) return name;
  }
  return {};
}

TRVExtendedObject* TRVExtendedObject::Clone() {
  TRVExtendedObject* copy = CreateExtendedObjectByName(GetExtendedObjectName(this));
  if (!copy) return nullptr;
  copy->Owner = Owner;
  copy->Initialize();
  return copy;
}

}  // namespace rv
