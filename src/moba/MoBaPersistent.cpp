#include "moba/MoBaPersistent.h"

#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <typeinfo>

std::string TMoBaPersistent::ClassName() const
{
    const char* mangled = typeid(*this).name();
    int status = 0;
    std::unique_ptr<char, void (*)(void*)> demangled(abi::__cxa_demangle(mangled, nullptr, nullptr, &status),
                                                     std::free);
    return status == 0 && demangled ? std::string(demangled.get()) : std::string(mangled);
}

void TMoBaPersistent::AssignTo(TMoBaPersistent& Dest) const
{
    Dest.AssignError(*this);
}

void TMoBaPersistent::AssignError(const TMoBaPersistent& Source) const
{
    throw EMoBaAssignError("Cannot assign a " + Source.ClassName() + " to a " + ClassName());
}
