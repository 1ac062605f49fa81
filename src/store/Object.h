#pragma once

#include <memory>
#include <string>

class CArchive;
class CObject;

// What the data file records about a class: its name and schema, and how to make an empty object
// of it when an archive names it.
struct CRuntimeClass
{
    const char* name;
    unsigned schema;
    std::unique_ptr<CObject> (*create)();
};

// Common base of the objects stored in the data file.
class CObject
{
public:
    virtual ~CObject() = default;
    virtual const CRuntimeClass& GetRuntimeClass() const = 0;
    virtual void Serialize(CArchive& ar) = 0;
    virtual std::unique_ptr<CObject> Clone() const = 0;

    bool IsKindOf(const CRuntimeClass& rc) const { return &GetRuntimeClass() == &rc; }

protected:
    CObject() = default;
    CObject(const CObject&) = default;
    CObject& operator=(const CObject&) = default;
};

// The classes an archive may name. Each class that can stand in an array of objects registers
// itself the first time its runtime class is asked for; the archive finds it by name when reading.
namespace runtime_classes {
void Register(const CRuntimeClass& rc);
const CRuntimeClass* Find(const std::string& name);
} // namespace runtime_classes
