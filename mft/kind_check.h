#ifndef VARNETH_MFT_KIND_CHECK_H
#define VARNETH_MFT_KIND_CHECK_H

#include <wx/object.h>

// The run-time kind check of the record classes: object as a T when it is
// one (or derives from one), else null. Unlike wxDynamicCast, which casts the
// pointer to T before it checks, nothing is cast until the check has passed.
template <typename T>
T* AsKindOf(wxObject* object)
{
    return object != nullptr && object->IsKindOf(wxCLASSINFO(T)) ? static_cast<T*>(object) : nullptr;
}

#endif
