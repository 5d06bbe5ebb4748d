#ifndef VARNETH_MFT_KIND_CHECK_H
#define VARNETH_MFT_KIND_CHECK_H

#include <wx/object.h>

// The run-time kind check of the record classes: object as a T when it is
// one (or derives from one), else null. Unlike wxDynamicCast, which casts the
// pointer to T before it checks, nothing is cast until the check has passed.
// The exact class, the usual case, is told by one comparison before the
// walk up the class tree.
template <typename T>
T* AsKindOf(wxObject* object)
{
    if (object == nullptr) {
        return nullptr;
    }
    const bool of_kind = object->GetClassInfo() == wxCLASSINFO(T) || object->IsKindOf(wxCLASSINFO(T));
    return of_kind ? static_cast<T*>(object) : nullptr;
}

#endif
