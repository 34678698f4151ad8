#include "app/cli/Commands.h"

int CliTranslate(const CliArgs&)
{
    CliError("not built yet");
    return 2;
}
