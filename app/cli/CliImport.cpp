#include "app/cli/Commands.h"

int CliImport(const CliArgs&)
{
    CliError("not built yet");
    return 2;
}
