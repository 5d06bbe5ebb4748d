#include <wx/init.h>

#include "app/run_sequence.h"
#include "base/platform.h"

int main(int argc, char** argv)
{
    wxInitializer initializer;
    if (!initializer.IsOk()) {
        return -1;
    }
    platform::UseByteExactFileNames();
    return RunVarneth(platform::WideArguments(argc, argv));
}
