#include "app/cli/Commands.h"

int CliLocal(const CliArgs&)
{
    CliError("not built yet");
    return 2;
}

int CliAdd(const CliArgs&)
{
    CliError("not built yet");
    return 2;
}
