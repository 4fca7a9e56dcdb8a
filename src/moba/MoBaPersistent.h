#pragma once
// The assignable base of protocol descriptions and device objects. Assign(Source) lets the source
// copy itself into the destination through the source's AssignTo; every class copies its own fields
// when the destination is of its class (or a descendant) after its base class has copied, so two
// objects of related classes share what they have in common. Objects of unrelated classes cannot be
// assigned: that raises EMoBaAssignError.

#include <stdexcept>
#include <string>

class EMoBaAssignError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TMoBaPersistent {
public:
    virtual ~TMoBaPersistent() = default;
    TMoBaPersistent(const TMoBaPersistent&) = delete;
    TMoBaPersistent& operator=(const TMoBaPersistent&) = delete;

    // Copies Source into this object (Source.AssignTo(*this)).
    void Assign(const TMoBaPersistent& Source) { Source.AssignTo(*this); }

    // Copies this object into Dest. The base refuses every destination.
    virtual void AssignTo(TMoBaPersistent& Dest) const;

    // Readable name of the object's class, for error texts.
    std::string ClassName() const;

protected:
    TMoBaPersistent() = default;
    // Raises the assignment error for Source assigned to this object.
    [[noreturn]] void AssignError(const TMoBaPersistent& Source) const;
};
