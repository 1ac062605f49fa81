#include "store/Object.h"

#include <cstring>
#include <mutex>
#include <vector>

namespace runtime_classes {
namespace {
std::vector<const CRuntimeClass*>& Registry()
{
    static std::vector<const CRuntimeClass*> classes;
    return classes;
}
std::mutex& RegistryMutex()
{
    static std::mutex m;
    return m;
}
} // namespace

void Register(const CRuntimeClass& rc)
{
    std::lock_guard lock(RegistryMutex());
    for (const CRuntimeClass* known : Registry()) {
        if (known == &rc)
            return;
    }
    Registry().push_back(&rc);
}

const CRuntimeClass* Find(const std::string& name)
{
    std::lock_guard lock(RegistryMutex());
    for (const CRuntimeClass* rc : Registry()) {
        if (name == rc->name)
            return rc;
    }
    return nullptr;
}

} // namespace runtime_classes
