#ifndef VARNETH_MFT_FILE_NAME_CHOICE_H
#define VARNETH_MFT_FILE_NAME_CHOICE_H

// Which of a record's $FILE_NAME attributes each use takes. A record may hold
// several (a Win32 and a DOS name, hard links), and each output has its own
// rule; every caller that needs a rule uses the one here. Each returns null
// when no name qualifies.

#include "mft/mft_file_record.h"

// The first one, whatever its namespace: the report's $FILE_NAME times.
const MFTFileNameAttr* FirstFileName(const MFTFileRecord& record);

// The first that is not a DOS name: the report's Filename and Ext.
const MFTFileNameAttr* FirstWin32FileName(const MFTFileRecord& record);

// The first DOS name: the report's DOSFilename.
const MFTFileNameAttr* FirstDosFileName(const MFTFileRecord& record);

// The first that is neither a DOS name nor empty: the name a record adds to a
// full path.
const MFTFileNameAttr* PathFileName(const MFTFileRecord& record);

// The only name whatever its namespace, else the first that is not a DOS
// name: the name the console listings show.
const MFTFileNameAttr* ListedFileName(const MFTFileRecord& record);

#endif
