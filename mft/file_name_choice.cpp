#include "mft/file_name_choice.h"

namespace {

template <typename Wanted>
const MFTFileNameAttr* FirstWhere(const MFTFileRecord& record, Wanted wanted)
{
    for (const MFTFileNameAttr* name : record.file_name_array) {
        if (name != nullptr && wanted(*name)) {
            return name;
        }
    }
    return nullptr;
}

bool IsDosName(const MFTFileNameAttr& name)
{
    return name.name_space == kNameSpaceDos;
}

}  // namespace

const MFTFileNameAttr* FirstFileName(const MFTFileRecord& record)
{
    return FirstWhere(record, [](const MFTFileNameAttr&) { return true; });
}

const MFTFileNameAttr* FirstWin32FileName(const MFTFileRecord& record)
{
    return FirstWhere(record, [](const MFTFileNameAttr& name) { return !IsDosName(name); });
}

const MFTFileNameAttr* FirstDosFileName(const MFTFileRecord& record)
{
    return FirstWhere(record, IsDosName);
}

const MFTFileNameAttr* PathFileName(const MFTFileRecord& record)
{
    return FirstWhere(record, [](const MFTFileNameAttr& name) { return !IsDosName(name) && !name.file_name.empty(); });
}

const MFTFileNameAttr* ListedFileName(const MFTFileRecord& record)
{
    if (record.file_name_array.size() == 1) {
        return record.file_name_array.front();
    }
    return FirstWin32FileName(record);
}
